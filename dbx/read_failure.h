#pragma once
// The one exception of the reading operations. Thrown from the dbx readers and caught at the
// operation's edge (the failure boundary). It says what was wrong and where, so a damaged base
// can be diagnosed.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/failure_reason.h"

namespace vireo::dbx {

class ReadFailure : public std::runtime_error {
 public:
  enum class Kind { format, stopped, cannotOpen, outOfMemory };
  ReadFailure(Kind kind, FailureReason reason)
      : std::runtime_error(describeFailure(reason)), kind_(kind), reason_(std::move(reason)) {}
  Kind kind() const { return kind_; }
  const FailureReason& reason() const { return reason_; }

 private:
  Kind kind_;
  FailureReason reason_;
};

[[noreturn]] inline void failFormat(uint64_t offset, const std::string& what) {
  throw ReadFailure(ReadFailure::Kind::format, FailureReason{what, {}, offset, {}});
}
[[noreturn]] inline void failStopped() { throw ReadFailure(ReadFailure::Kind::stopped, FailureReason{"stopped", {}, {}, {}}); }
// The reason is the system's: the caller's message names the path.
[[noreturn]] inline void failCannotOpen(const std::string& systemReason) {
  throw ReadFailure(ReadFailure::Kind::cannotOpen, FailureReason{systemReason, {}, {}, {}});
}

}  // namespace vireo::dbx
