#pragma once
// A set of file offsets in one flat array (open addressing, linear probing): the duplicate and
// loop checks of a browse insert and look up an offset per block, and node-based hash sets spent
// more time allocating and chasing nodes than checking. Clearing keeps the array for reuse.
// Offsets mostly come in file order (a sound base's chains and records run forward): those that
// are larger than every offset before them are appended to a sorted run instead, and looking up an
// offset beyond the run's end is one comparison. Only the others cost a random access each.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vireo::dbx {

class OffsetSet {
 public:
  // True when offset was not in the set before.
  bool insert(uint32_t offset) {
    if (ascending_.empty() || offset > ascending_.back()) {
      ascending_.push_back(offset);
      return true;
    }
    if (inAscending(offset)) return false;
    if (offset == kEmpty) return !std::exchange(hasEmptyValue_, true);
    return insertHashed(offset);
  }
  bool contains(uint32_t offset) const {
    // Everything in the hashed part is below the run's last offset.
    if (ascending_.empty() || offset > ascending_.back()) return false;
    if (inAscending(offset)) return true;
    if (offset == kEmpty) return hasEmptyValue_;
    if (slots_.empty()) return false;
    for (size_t at = home(offset);; at = (at + 1) & mask_) {
      if (slots_[at] == offset) return true;
      if (slots_[at] == kEmpty) return false;
    }
  }
  void clear() {
    ascending_.clear();
    if (size_ > 0) std::fill(slots_.begin(), slots_.end(), kEmpty);
    size_ = 0;
    hasEmptyValue_ = false;
  }
  size_t size() const { return ascending_.size() + size_ + (hasEmptyValue_ ? 1 : 0); }

 private:
  static constexpr uint32_t kEmpty = 0;
  bool insertHashed(uint32_t offset) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    for (size_t at = home(offset);; at = (at + 1) & mask_) {
      if (slots_[at] == offset) return false;
      if (slots_[at] == kEmpty) {
        slots_[at] = offset;
        ++size_;
        return true;
      }
    }
  }
  bool inAscending(uint32_t offset) const { return std::binary_search(ascending_.begin(), ascending_.end(), offset); }
  // Offsets of blocks are spaced evenly: Fibonacci hashing spreads them over the whole array.
  size_t home(uint32_t offset) const { return static_cast<size_t>((offset * uint64_t{0x9E3779B97F4A7C15}) >> shift_) & mask_; }
  void grow() {
    std::vector<uint32_t> old;
    old.swap(slots_);
    const size_t capacity = old.empty() ? 64 : 2 * old.size();
    slots_.assign(capacity, kEmpty);
    mask_ = capacity - 1;
    shift_ = 64 - static_cast<unsigned>(__builtin_ctzll(capacity));
    size_ = 0;
    for (const uint32_t offset : old)
      if (offset != kEmpty) insertHashed(offset);
  }

  std::vector<uint32_t> ascending_;  // offsets each larger than all before them, in order
  std::vector<uint32_t> slots_;
  size_t mask_ = 0;
  unsigned shift_ = 64;
  size_t size_ = 0;  // offsets in slots_
  bool hasEmptyValue_ = false;
};

}  // namespace vireo::dbx
