#pragma once
// What went wrong and where, said the same way by every operation that reads a base or writes a
// file, so a damaged base or a failed export can be diagnosed from the message alone.
#include <cstdint>
#include <optional>
#include <string>

namespace vireo {

struct FailureReason {
  std::string what;                // "index node names another parent", "cannot write"
  std::string file;                // the file concerned; empty when the message names it already
  std::optional<uint64_t> offset;  // where in that file
  std::string detail;              // the system's reason ("No space left on device"), if any
};

// "<what> at offset <n> of <file>: <detail>", leaving out the parts that are empty.
std::string describeFailure(const FailureReason& reason);

// The system's text for an errno value.
std::string systemErrorText(int error);

}  // namespace vireo
