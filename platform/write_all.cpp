#include "platform/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace vireo {

bool writeAll(int fd, const void* data, size_t length) {
  const char* at = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t wrote = ::write(fd, at, length);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    at += wrote;
    length -= static_cast<size_t>(wrote);
  }
  return true;
}

}  // namespace vireo
