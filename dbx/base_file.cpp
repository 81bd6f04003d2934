#include "dbx/base_file.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vireo::dbx {
namespace {
constexpr uint64_t kPage = 4096;
// Files up to this size fit one window and are read whole.
constexpr uint64_t kWholeFileRead = 256 * 1024;
}

BaseFile::BaseFile() = default;

bool BaseFile::open(const std::string& path) {
  for (Window& w : windows_) w.length = 0;
  bytesRead_ = 0;
  bytesFetched_ = 0;
  readAheadEnd_ = UINT64_MAX;
  if (!file_.open(path)) return false;
  // A small base needs no megabyte windows: opening one then costs what the base holds.
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>((size() + kPage - 1) & ~(kPage - 1), kMaxReadAhead));
  const size_t fitted = std::max<size_t>(wanted, kMinReadAhead);
  if (fitted != windowSize_)
    for (Window& w : windows_) {
      w.bytes.reset();
      w.capacity = 0;
    }
  windowSize_ = fitted;
  return true;
}

bool BaseFile::openAgain(const BaseFile& other) {
  const int descriptor = other.file_.descriptor();
  if (descriptor < 0) return false;
  // The descriptor's own link names the file it has open, even if its path has been replaced.
  if (!open("/proc/self/fd/" + std::to_string(descriptor))) return false;
  if (size() == other.size()) return true;
  close();
  return false;
}

void BaseFile::close() {
  file_.close();
  for (Window& w : windows_) {
    w.length = 0;
    w.bytes.reset();
    w.capacity = 0;
  }
}

void BaseFile::adviseSequential() {
  if (file_.isOpen()) (void)::posix_fadvise(file_.descriptor(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

void BaseFile::adviseWillNeed(uint64_t offset, uint64_t length) {
  if (file_.isOpen() && length > 0)
    (void)::posix_fadvise(file_.descriptor(), static_cast<off_t>(offset), static_cast<off_t>(length),
                          POSIX_FADV_WILLNEED);
}

size_t BaseFile::fetch(uint64_t offset, void* buffer, size_t length) {
  const size_t got = file_.readAt(offset, buffer, length);
  bytesFetched_ += got;
  return got;
}

BaseFile::Window& BaseFile::windowFor(uint64_t offset, size_t length) {
  Window& last = windows_[last_];
  if (last.length > 0 && offset >= last.start && offset < last.start + last.length) {
    last.lastUse = ++clock_;
    return last;
  }
  Window* oldest = &windows_[0];
  Window* oldestLarge = nullptr;
  size_t large = 0;
  Window* stream = nullptr;
  for (size_t k = 0; k < kWindows; ++k) {
    Window& w = windows_[k];
    const uint64_t end = w.start + w.length;
    if (w.length > 0 && offset >= w.start && offset < end) {
      w.lastUse = ++clock_;
      last_ = k;
      return w;
    }
    if (w.length > 0 && w.length == w.readAhead && offset >= end && offset < end + w.readAhead) stream = &w;
    if (w.lastUse < oldest->lastUse) oldest = &w;
    if (w.capacity > kMinReadAhead) {
      ++large;
      if (!oldestLarge || w.lastUse < oldestLarge->lastUse) oldestLarge = &w;
    }
  }
  uint64_t start = offset & ~(kPage - 1);
  const size_t needed = (offset - start + length + kPage - 1) & ~(kPage - 1);
  size_t readAhead = 0;
  if (size() <= kWholeFileRead) {
    // A small base is read whole at the first miss: one system call instead of one per page
    // that a damaged base's scattered links touch.
    start = 0;
    readAhead = windowSize_;
  } else {
    readAhead = stream ? std::min(2 * stream->readAhead, windowSize_) : kMinReadAhead;
    // Bytes past the end of the caller's stretch belong to another reader: not read ahead.
    if (readAheadEnd_ > start) readAhead = static_cast<size_t>(std::min<uint64_t>(readAhead, readAheadEnd_ - start));
    readAhead = std::min(std::max(readAhead, needed), windowSize_);
  }
  Window* target = stream ? stream : oldest;
  if (readAhead > kMinReadAhead && target->capacity < readAhead && large >= kLargeWindows) {
    // No more large windows: a stream goes on a page at a time, a large read takes the large
    // window used longest ago.
    readAhead = std::max(needed, std::min(readAhead, kMinReadAhead));
    if (readAhead > kMinReadAhead) target = oldestLarge;
  }
  // Reused windows are not cleared: only the bytes read into them are ever looked at. A window
  // holds a page's worth until it streams.
  const size_t capacity = readAhead > kMinReadAhead ? windowSize_ : kMinReadAhead;
  if (target->capacity < capacity) {
    target->bytes = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    target->capacity = capacity;
  }
  target->start = start;
  target->readAhead = readAhead;
  target->length = fetch(start, target->bytes.get(), readAhead);
  target->lastUse = ++clock_;
  last_ = static_cast<size_t>(target - windows_.data());
  return *target;
}

bool BaseFile::readExactMissed(uint32_t offset, void* buffer, size_t length) {
  if (!reachable(offset)) return false;
  if (length == 0) return true;
  if (length > windowSize_ / 2) {
    const size_t got = fetch(offset, buffer, length);
    bytesRead_ += got;
    return got == length;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t at = offset;
  size_t left = length;
  while (left > 0) {
    // Past the end of the file as opened there is nothing to fetch: a damaged base's stray links
    // would otherwise cost a system call each (for a small base, a read of the whole file).
    if (at >= size()) return false;
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

const uint8_t* BaseFile::viewMissed(uint32_t offset, size_t length) {
  if (!reachable(offset) || length == 0 || length > windowSize_ / 2 || offset >= size()) return nullptr;
  Window& w = windowFor(offset, length);
  if (offset < w.start || uint64_t{offset} + length > w.start + w.length) return nullptr;
  bytesRead_ += length;
  return w.bytes.get() + (offset - w.start);
}

size_t BaseFile::readSome(uint64_t offset, void* buffer, size_t length) {
  const size_t got = fetch(offset, buffer, length);
  bytesRead_ += got;
  return got;
}

}  // namespace vireo::dbx
