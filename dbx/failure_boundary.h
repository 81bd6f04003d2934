#pragma once
// The edge of a reading operation: whatever fails inside (a format violation, a stop, a failed
// allocation, a file that cannot be opened) ends the operation with ok = 0. Files and temporary
// arrays are RAII, so leaving the body frees them.
#include <new>
#include <string>

#include "dbx/read_failure.h"
#include "platform/message_sink.h"
#include "reader/allocation.h"
#include "reader/message_base_reader.h"

namespace vireo::dbx {

template <class Body>
void runInFailureBoundary(MessageBaseReader& reader, Body&& body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    showOutOfMemory();
    reader.ok = 0;
  } catch (...) {
    reader.ok = 0;
  }
}

// Shows "Cannot open dbx file <path>" with the reason on the next line, and fails.
[[noreturn]] inline void failCannotOpen(const std::string& path, const std::string& reason) {
  showMessage("%s %s\n%s", "Cannot open dbx file", path.c_str(), reason.c_str());
  throw ReadFailure(ReadFailure::Kind::cannotOpen, 0, "cannot open " + path);
}

}  // namespace vireo::dbx
