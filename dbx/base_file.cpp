#include "dbx/base_file.h"

#include <algorithm>
#include <cstring>

namespace vireo::dbx {

BaseFile::BaseFile() = default;

bool BaseFile::open(const std::string& path) {
  for (Window& w : windows_) w.length = 0;
  return file_.open(path);
}

void BaseFile::close() {
  file_.close();
  for (Window& w : windows_) {
    w.length = 0;
    w.bytes.reset();
  }
}

BaseFile::Window& BaseFile::windowFor(uint64_t offset) {
  Window* oldest = &windows_[0];
  for (Window& w : windows_) {
    if (w.length > 0 && offset >= w.start && offset < w.start + w.length) {
      w.lastUse = ++clock_;
      return w;
    }
    if (w.lastUse < oldest->lastUse) oldest = &w;
  }
  if (!oldest->bytes) oldest->bytes = std::make_unique<uint8_t[]>(kWindowSize);
  oldest->start = offset & ~uint64_t{4095};
  oldest->length = file_.readAt(oldest->start, oldest->bytes.get(), kWindowSize);
  oldest->lastUse = ++clock_;
  return *oldest;
}

bool BaseFile::readExact(uint32_t offset, void* buffer, size_t length) {
  if (!reachable(offset)) return false;
  if (length == 0) return true;
  if (length > kWindowSize / 2) return file_.readAt(offset, buffer, length) == length;
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t at = offset;
  size_t left = length;
  while (left > 0) {
    Window& w = windowFor(at);
    if (at < w.start || at >= w.start + w.length) return false;  // beyond the end or unreadable
    const size_t take = std::min<uint64_t>(left, w.start + w.length - at);
    std::memcpy(out, w.bytes.get() + (at - w.start), take);
    out += take;
    at += take;
    left -= take;
  }
  return true;
}

size_t BaseFile::readSome(uint64_t offset, void* buffer, size_t length) {
  return file_.readAt(offset, buffer, length);
}

}  // namespace vireo::dbx
