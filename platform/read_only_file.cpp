#include "platform/read_only_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/piece_mapped_file.h"

namespace vireo {

ReadOnlyFile::~ReadOnlyFile() { close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      map_(std::move(other.map_)),
      error_(std::move(other.error_)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    map_ = std::move(other.map_);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool ReadOnlyFile::open(const std::string& path, Accept accept) {
  close();
  if (std::shared_ptr<const PieceMap> map = findPieceMap(path)) {
    // The source itself is opened as it lies on disk: a map never leads on to another.
    if (!openOnDisk(map->source, Accept::regularFilesAndBlockDevices)) return false;
    size_ = map->size;
    map_ = std::move(map);
    return true;
  }
  return openOnDisk(path, accept);
}

bool ReadOnlyFile::openOnDisk(const std::string& path, Accept accept) {
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
  map_.reset();
}

size_t ReadOnlyFile::readAt(uint64_t offset, void* buffer, size_t length) {
  if (fd_ < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  return map_ ? readMapped(offset, out, length) : readSource(offset, out, length);
}

size_t ReadOnlyFile::readMapped(uint64_t offset, char* out, size_t length) {
  if (offset >= size_) return 0;
  length = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
  const std::vector<MappedPiece>& pieces = map_->pieces;
  // The first piece that ends past offset.
  auto piece = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                [](uint64_t at, const MappedPiece& p) { return at < p.offset + p.length; });
  size_t done = 0;
  while (done < length) {
    const uint64_t at = offset + done;
    const size_t left = length - done;
    if (piece == pieces.end() || at < piece->offset) {
      // A hole: zeros up to the next piece, as a sparse copy reads.
      const uint64_t holeEnd = piece == pieces.end() ? size_ : piece->offset;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(left, holeEnd - at));
      std::memset(out + done, 0, take);
      done += take;
      continue;
    }
    const size_t take = static_cast<size_t>(std::min<uint64_t>(left, piece->offset + piece->length - at));
    const size_t got = readSource(piece->sourceOffset + (at - piece->offset), out + done, take);
    // What the source cannot give reads as zeros too: recovery skips it like any damage.
    std::memset(out + done + got, 0, take - got);
    done += take;
    ++piece;
  }
  return done;
}

size_t ReadOnlyFile::readSource(uint64_t offset, char* out, size_t length) {
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
