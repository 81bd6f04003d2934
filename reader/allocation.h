#pragma once
// Allocation failures never escape the reading and parsing code: they show the out-of-memory
// message and end the running operation. The tables grow in fixed steps.
#include <string_view>

namespace vireo {

inline constexpr int kRecordTableStep = 500;
inline constexpr int kCandidateStep = 1000;
inline constexpr int kIndexEntryStep = 500;

extern const std::string_view kOutOfMemoryMessage;

// Shows the out-of-memory message.
void showOutOfMemory();

}  // namespace vireo
