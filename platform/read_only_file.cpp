#include "platform/read_only_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vireo {

ReadOnlyFile::~ReadOnlyFile() { close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), error_(std::move(other.error_)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    error_ = std::move(other.error_);
  }
  return *this;
}

bool ReadOnlyFile::open(const std::string& path, Accept accept) {
  close();
  // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; it is refused below anyway.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(path.c_str(), flags | O_NOATIME);
  if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), flags);  // not the owner: no O_NOATIME
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  const bool device = S_ISBLK(st.st_mode) && accept == Accept::regularFilesAndBlockDevices;
  if (device && ::ioctl(fd, BLKGETSIZE64, &size) != 0) {
    error_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode) && !device) {
    error_ = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = size;
  error_.clear();
  return true;
}

void ReadOnlyFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

size_t ReadOnlyFile::readAt(uint64_t offset, void* buffer, size_t length) {
  if (fd_ < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      break;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace vireo
