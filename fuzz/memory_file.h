#pragma once
// Fuzz inputs as files: the core opens bases by path, exactly as the program does, so the bytes
// go into a memory-backed file that has a path (/proc/self/fd/N) and never touch the disk.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vireo::fuzz {

class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size);
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::string folder() const { return "/proc/self/fd"; }
  std::string name() const { return std::to_string(fd_); }
  std::string path() const { return folder() + "/" + name(); }

 private:
  int fd_ = -1;
};

// Messages the core would show go nowhere: a fuzz run has nobody to read them.
void silenceMessages();

}  // namespace vireo::fuzz
