#include "dbx/base_file.h"

#include <algorithm>
#include <cstring>

namespace vireo::dbx {

BaseFile::BaseFile() = default;

bool BaseFile::open(const std::string& path) {
  for (Window& w : windows_) w.length = 0;
  bytesRead_ = 0;
  return file_.open(path);
}

void BaseFile::close() {
  file_.close();
  for (Window& w : windows_) {
    w.length = 0;
    w.bytes.reset();
  }
}

BaseFile::Window& BaseFile::windowFor(uint64_t offset, size_t length) {
  Window* oldest = &windows_[0];
  Window* stream = nullptr;
  for (Window& w : windows_) {
    const uint64_t end = w.start + w.length;
    if (w.length > 0 && offset >= w.start && offset < end) {
      w.lastUse = ++clock_;
      return w;
    }
    if (w.length > 0 && w.length == w.readAhead && offset >= end && offset < end + w.readAhead) stream = &w;
    if (w.lastUse < oldest->lastUse) oldest = &w;
  }
  Window& target = stream ? *stream : *oldest;
  const uint64_t start = offset & ~uint64_t{4095};
  const size_t needed = (offset - start + length + 4095) & ~size_t{4095};
  size_t readAhead = stream ? std::min(2 * stream->readAhead, kMaxReadAhead) : kMinReadAhead;
  readAhead = std::min(std::max(readAhead, needed), kMaxReadAhead);
  if (!target.bytes) target.bytes = std::make_unique<uint8_t[]>(kMaxReadAhead);
  target.start = start;
  target.readAhead = readAhead;
  target.length = file_.readAt(start, target.bytes.get(), readAhead);
  target.lastUse = ++clock_;
  return target;
}

bool BaseFile::readExact(uint32_t offset, void* buffer, size_t length) {
  if (!reachable(offset)) return false;
  if (length == 0) return true;
  if (length > kMaxReadAhead / 2) {
    const size_t got = file_.readAt(offset, buffer, length);
    bytesRead_ += got;
    return got == length;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t at = offset;
  size_t left = length;
  while (left > 0) {
    Window& w = windowFor(at, left);
    if (at < w.start || at >= w.start + w.length) return false;  // beyond the end or unreadable
    const size_t take = std::min<uint64_t>(left, w.start + w.length - at);
    std::memcpy(out, w.bytes.get() + (at - w.start), take);
    out += take;
    at += take;
    left -= take;
    bytesRead_ += take;
  }
  return true;
}

size_t BaseFile::readSome(uint64_t offset, void* buffer, size_t length) {
  const size_t got = file_.readAt(offset, buffer, length);
  bytesRead_ += got;
  return got;
}

}  // namespace vireo::dbx
