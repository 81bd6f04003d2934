#pragma once
// The one exception of the reading operations. Thrown from the dbx readers and caught at the
// operation's edge (the failure boundary), which sets the reader's ok to 0. It says what was
// wrong and where, so a damaged base can be diagnosed.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vireo::dbx {

class ReadFailure : public std::runtime_error {
 public:
  enum class Kind { format, stopped, cannotOpen, outOfMemory };
  ReadFailure(Kind kind, uint64_t offset, const std::string& what)
      : std::runtime_error(what), kind_(kind), offset_(offset) {}
  Kind kind() const { return kind_; }
  uint64_t offset() const { return offset_; }

 private:
  Kind kind_;
  uint64_t offset_;
};

[[noreturn]] inline void failFormat(uint64_t offset, const std::string& what) {
  throw ReadFailure(ReadFailure::Kind::format, offset, what);
}
[[noreturn]] inline void failStopped() { throw ReadFailure(ReadFailure::Kind::stopped, 0, "stopped"); }

}  // namespace vireo::dbx
