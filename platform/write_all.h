#pragma once
#include <cstddef>

namespace vireo {

// Writes all of data to the descriptor, going on after short writes and interruptions; false on
// a write error (errno tells which).
bool writeAll(int fd, const void* data, size_t length);

}  // namespace vireo
