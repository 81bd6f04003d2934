#pragma once
#include "reader/message_base_reader.h"

namespace vireo::dbx {

// The parse limit and the read buffer: 1,000,000 bytes plus headroom for the block that
// crosses the limit.
inline constexpr int kParseLimit = 1000000;
inline constexpr int kReadBufferSize = 1000528;
inline constexpr int kMaxMessageSize = 100000000;  // at or above: never a message

// Reads the first 1,000,000 bytes of every record's message through its block list and parses
// its headers; valid records are numbered 0, 1, 2 ... in table order.
void readMessages(MessageBaseReader& reader);

}  // namespace vireo::dbx
namespace vireo {
using dbx::readMessages;
}
