#pragma once
// What a mail program files a message under: who sent it and when, read from the message's own
// header lines. Mailbox formats and file dates need these as the header states them (the date in
// UTC, the address alone), not as the message list shows them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vireo {

// The unfolded value of the first header line called name (without regard to case) in the
// header section of message (up to the first empty line); nothing when there is none.
std::optional<std::string> headerValue(std::string_view message, std::string_view name);

// Seconds since 1970 (UTC) of the message's Date header, else its Resent-Date; nothing when
// neither parses.
std::optional<int64_t> messageDateSeconds(std::string_view message);

// The address of the From header ("ann@example.org" of "Ann <ann@example.org>"), else of
// Sender; empty when neither holds one. Never contains white space.
std::string senderAddress(std::string_view message);

}  // namespace vireo
