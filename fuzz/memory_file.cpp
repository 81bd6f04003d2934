#include "fuzz/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/message_sink.h"

namespace vireo::fuzz {

MemoryFile::MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("vireo-fuzz", MFD_CLOEXEC)) {
  if (fd_ < 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t wrote = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
    if (wrote <= 0) std::abort();
    done += static_cast<size_t>(wrote);
  }
}

MemoryFile::~MemoryFile() { close(fd_); }

void silenceMessages() {
  static const bool once = [] {
    setMessageHandler([](const std::string&) {});
    return true;
  }();
  (void)once;
}

}  // namespace vireo::fuzz
