#pragma once
// The mboxrd format: each message starts with a "From " line naming its sender and date, every
// body line that already starts with ">"s and "From " gains one more ">" (so a reader can take
// exactly one away again), and an empty line follows each message. The message's own line ends
// are kept as stored.
#include <cstdint>
#include <string>
#include <string_view>

namespace vireo {

// "Tue Dec  5 10:00:00 2006": the asctime form of a UTC time, with English names whatever the
// locale.
std::string asctimeUtc(int64_t secondsSince1970);

// "From <sender> <asctime>\n": the sender's address and the Date header's time, or
// "MAILER-DAEMON" and fallbackSeconds for what the message does not state.
std::string mboxFromLine(std::string_view message, int64_t fallbackSeconds);

// Appends the message as one mboxrd entry: the From line, the quoted message, a line end when the
// message lacks a last one, and the empty separating line.
void appendMboxEntry(std::string& out, std::string_view message, int64_t fallbackSeconds);

}  // namespace vireo
