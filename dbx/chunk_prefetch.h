#pragma once
// Sequential chunks of a file, each overlapping the one before by a few bytes, read one chunk
// ahead on a second thread: recovery's scan of a chunk then overlaps the read of the next, so
// the pass takes about as long as reading the file. A few chunks are kept in flight so that
// neither thread waits on the other's jitter. Without a thread it reads in turn.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "dbx/base_file.h"

namespace vireo::dbx {

// A stretch of the file: the chunks that start from `begin` (a chunk's start) and before `end`.
struct ChunkStretch {
  uint64_t begin = 0;
  uint64_t end = UINT64_MAX;
};

class ChunkPrefetch {
 public:
  struct Chunk {
    const uint8_t* bytes = nullptr;
    size_t length = 0;  // 0: the file has ended (or could not be read further)
    uint64_t start = 0;
  };

  // Any stretch but the whole file is read in turn on the caller's thread, which then finds the
  // bytes in its own core's cache (a scan made in parts, each stretch on one thread).
  ChunkPrefetch(BaseFile& file, size_t chunkSize, size_t overlap, ChunkStretch stretch = {});
  ~ChunkPrefetch();
  ChunkPrefetch(const ChunkPrefetch&) = delete;
  ChunkPrefetch& operator=(const ChunkPrefetch&) = delete;

  // The next chunk; the previous one's bytes are no longer valid. A chunk shorter than the
  // chunk size is the last.
  Chunk next();

 private:
  struct Slot {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
    uint64_t start = 0;
    bool filled = false;
  };
  void fill(Slot& slot, uint64_t start);
  void produce();

  BaseFile& file_;
  const size_t chunkSize_;
  const size_t overlap_;
  const ChunkStretch stretch_;
  static constexpr int kSlots = 4;
  Slot slots_[kSlots];
  int consumerSlot_ = -1;  // the slot the caller holds
  int nextSlot_ = 0;       // the slot next() hands out
  bool quit_ = false;
  bool threaded_ = false;
  uint64_t syncStart_ = 0;  // without a thread: where the next chunk starts
  bool syncEnded_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread producer_;
};

}  // namespace vireo::dbx
