#include "dbx/chunk_prefetch.h"

#include <algorithm>
#include <system_error>

namespace vireo::dbx {

ChunkPrefetch::ChunkPrefetch(BaseFile& file, size_t chunkSize, size_t overlap, ChunkStretch stretch)
    : file_(file), chunkSize_(chunkSize), overlap_(overlap), stretch_(stretch), syncStart_(stretch.begin) {
  // A file of one chunk is read in turn into one buffer of its own size: opening a small base
  // then costs neither a thread nor megabytes of buffers. Buffers are never cleared: only the
  // bytes read into them are handed out.
  if (file_.size() <= chunkSize_) {
    slots_[0].bytes = std::make_unique_for_overwrite<uint8_t[]>(std::max<size_t>(1, file_.size()));
    threaded_ = false;
    return;
  }
  if (stretch_.begin != 0 || stretch_.end != UINT64_MAX) {
    slots_[0].bytes = std::make_unique_for_overwrite<uint8_t[]>(chunkSize_);
    file_.adviseSequential();
    threaded_ = false;
    return;
  }
  for (Slot& slot : slots_) slot.bytes = std::make_unique_for_overwrite<uint8_t[]>(chunkSize_);
  file_.adviseSequential();
  try {
    producer_ = std::thread([this] { produce(); });
    threaded_ = true;
  } catch (const std::system_error&) {
    threaded_ = false;  // no thread to be had: read in turn
  }
}

ChunkPrefetch::~ChunkPrefetch() {
  if (!threaded_) return;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  producer_.join();
}

void ChunkPrefetch::fill(Slot& slot, uint64_t start) {
  slot.start = start;
  // Never more than the file held when opened, which is all a buffer of a small file has room for.
  const uint64_t left = start < file_.size() ? file_.size() - start : 0;
  slot.length = file_.readSome(start, slot.bytes.get(), static_cast<size_t>(std::min<uint64_t>(chunkSize_, left)));
}

void ChunkPrefetch::produce() {
  uint64_t start = 0;
  for (int slotIndex = 0;; slotIndex = (slotIndex + 1) % kSlots) {
    Slot& slot = slots_[slotIndex];
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return quit_ || (!slot.filled && consumerSlot_ != slotIndex); });
      if (quit_) return;
    }
    fill(slot, start);
    const bool last = slot.length != chunkSize_;
    {
      std::lock_guard lock(mutex_);
      slot.filled = true;
    }
    changed_.notify_all();
    if (last) return;
    start += chunkSize_ - overlap_;
  }
}

ChunkPrefetch::Chunk ChunkPrefetch::next() {
  if (!threaded_) {
    Slot& slot = slots_[0];
    if (syncEnded_) return {};
    fill(slot, syncStart_);
    syncStart_ += chunkSize_ - overlap_;
    syncEnded_ = slot.length != chunkSize_ || syncStart_ >= stretch_.end;
    return {slot.bytes.get(), slot.length, slot.start};
  }
  std::unique_lock lock(mutex_);
  if (consumerSlot_ >= 0) {
    const bool wasLast = slots_[consumerSlot_].length != chunkSize_;
    slots_[consumerSlot_].filled = false;
    consumerSlot_ = -1;
    changed_.notify_all();
    if (wasLast) return {};
  }
  Slot& slot = slots_[nextSlot_];
  changed_.wait(lock, [&] { return slot.filled; });
  consumerSlot_ = nextSlot_;
  nextSlot_ = (nextSlot_ + 1) % kSlots;
  return {slot.bytes.get(), slot.length, slot.start};
}

}  // namespace vireo::dbx
