#pragma once
// Allocation failures never escape the reading and parsing code: they show the out-of-memory
// message and end the running operation.
#include <string_view>

namespace vireo {

extern const std::string_view kOutOfMemoryMessage;

// Shows the out-of-memory message.
void showOutOfMemory();

}  // namespace vireo
