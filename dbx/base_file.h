#pragma once
// The working file of a reading operation, opened read-only: the one bounded reader of file
// bytes. Browsing and recovery read many small headers scattered over the file, so reads go
// through cached windows instead of one system call each. Each window reads ahead like a stream:
// a miss just past a window's end continues that stream with twice its read-ahead (up to 256 KiB,
// never more than the file holds); any other miss reads only a few pages, so scattered blocks of
// a fragmented base cost a page each, not a megabyte. There are many windows, most of them small:
// a fragmented base's chains are walked as many streams at once (one per block position), and the
// pages one message's scattered blocks brought in still hold its neighbours' blocks when the next
// message is walked. Read errors (a bad sector on an
// old disk) come back as short reads, never as a signal, which is why this does not memory-map
// the file.
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbx/layout.h"
#include "platform/read_only_file.h"

namespace vireo::dbx {

class BaseFile {
 public:
  BaseFile();
  [[nodiscard]] bool open(const std::string& path);  // false: error() says why
  // Opens the file `other` holds open once more, with read-ahead of its own, so that another
  // thread can stream another stretch of the same file; false when it cannot (a file read
  // through a piece map, no /proc).
  [[nodiscard]] bool openAgain(const BaseFile& other);
  void close();
  const std::string& error() const { return file_.error(); }
  uint64_t size() const { return file_.size(); }

  static bool reachable(uint32_t offset) { return dbx::reachable(offset); }

  // Reads exactly length bytes at offset; false when the offset is unreachable or fewer bytes
  // could be read.
  [[nodiscard]] bool readExact(uint32_t offset, void* buffer, size_t length) {
    const Window& w = windows_[last_];
    // Most reads fall inside the window the read before used: they are a copy and nothing else.
    if (offset >= w.start && uint64_t{offset} + length <= w.start + w.length && length > 0 && reachable(offset)) {
      windows_[last_].lastUse = ++clock_;
      std::memcpy(buffer, w.bytes.get() + (offset - w.start), length);
      bytesRead_ += length;
      return true;
    }
    return readExactMissed(offset, buffer, length);
  }
  // The length bytes at offset where they lie in one window, counted as read; null when they do
  // not (they straddle two windows, pass the end of the file, or are too long for a window), and
  // then nothing is counted: readExact gives them. The pointer holds until the next read.
  [[nodiscard]] const uint8_t* view(uint32_t offset, size_t length) {
    const Window& w = windows_[last_];
    if (offset >= w.start && uint64_t{offset} + length <= w.start + w.length && length > 0 && reachable(offset)) {
      windows_[last_].lastUse = ++clock_;
      bytesRead_ += length;
      return w.bytes.get() + (offset - w.start);
    }
    return viewMissed(offset, length);
  }
  // Reads up to length bytes at a 64-bit offset, bypassing the cache; returns the count read.
  [[nodiscard]] size_t readSome(uint64_t offset, void* buffer, size_t length);
  // True when length bytes at offset lie inside the file as it was opened.
  bool holds(uint32_t offset, size_t length) const {
    return reachable(offset) && uint64_t{offset} + length <= size();
  }

  // Read-ahead stops at this offset (the end of the stretch the caller works on), so readers
  // that share out the file between threads do not each read their neighbours' bytes too. A miss
  // beyond it still reads what it needs.
  void limitReadAhead(uint64_t end) { readAheadEnd_ = end; }
  // Tells the kernel the file will be read from start to end: its own read-ahead grows.
  void adviseSequential();
  // Asks the kernel to start reading this stretch now, so the disk works while we parse.
  void adviseWillNeed(uint64_t offset, uint64_t length);

  // Bytes handed to callers since opening: the measure of an operation's reading work.
  uint64_t bytesRead() const { return bytesRead_; }
  // Bytes the system calls brought in since opening: what the disk (or the page cache) gave.
  uint64_t bytesFetched() const { return bytesFetched_; }

 private:
  struct Window {
    uint64_t start = 0;
    size_t length = 0;     // bytes held
    size_t readAhead = 0;  // bytes asked for when it was filled
    uint64_t lastUse = 0;
    size_t capacity = 0;
    std::unique_ptr<uint8_t[]> bytes;
  };
  static constexpr size_t kMinReadAhead = 8 * 1024;
  static constexpr size_t kMaxReadAhead = 256 * 1024;
  static constexpr size_t kWindows = 128;
  static constexpr size_t kLargeWindows = 8;  // the others hold a page's worth: at most 3 MiB in all
  Window& windowFor(uint64_t offset, size_t length);
  bool readExactMissed(uint32_t offset, void* buffer, size_t length);
  const uint8_t* viewMissed(uint32_t offset, size_t length);
  size_t fetch(uint64_t offset, void* buffer, size_t length);

  ReadOnlyFile file_;
  std::array<Window, kWindows> windows_;
  size_t last_ = 0;  // most reads fall in the window the read before used
  size_t windowSize_ = kMaxReadAhead;  // the file's size in whole pages, at most kMaxReadAhead
  uint64_t readAheadEnd_ = UINT64_MAX;
  uint64_t clock_ = 0;
  uint64_t bytesRead_ = 0;
  uint64_t bytesFetched_ = 0;
};

}  // namespace vireo::dbx
