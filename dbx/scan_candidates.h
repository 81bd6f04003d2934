#pragma once
// The possible data blocks that recovery finds: every offset whose word equals the offset, and
// what became of each while chains are joined.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vireo::dbx {

inline constexpr int32_t kOwnerUnused = -1;        // not yet part of a chain
inline constexpr int32_t kOwnerContinuation = -2;  // a later block of some chain

struct ScanCandidate {
  uint32_t offset = 0;
  int32_t owner = kOwnerUnused;  // or the index of the record whose block list starts here
};

// Candidates in strictly ascending offset order, with the header words the scan saw. Capacity grows by kCandidateStep entries at a
// time; each step is a page of its own, so growing never copies what is already there (a 2 GB base
// holds millions of candidates, and copying the whole array at every step would be quadratic).
class CandidateArray {
 public:
  size_t size() const { return size_; }
  size_t capacity() const { return pages_.size() * kPageSize; }

  // offset must be above every offset appended before. Inline: the scan appends every candidate.
  void append(uint32_t offset) { appendEntry(offset); }
  // With the used count and next offset of the block header found there, so that joining need not
  // read the file again for it.
  void append(uint32_t offset, int32_t used, uint32_t next) {
    Entry& slot = appendEntry(offset);
    slot.used = used;
    slot.next = next;
  }
  // Every candidate of `later`, whose offsets all lie above these, with the headers it saw; none
  // is owned yet (a scan made in parts joins its parts' arrays).
  void appendAll(const CandidateArray& later);
  ScanCandidate& operator[](size_t index) { return entry(index).candidate; }
  const ScanCandidate& operator[](size_t index) const { return entry(index).candidate; }
  // False when the header was not seen by the scan (it ran past the chunk) and must be read.
  // Inline: joining asks it for every block.
  bool knownHeader(size_t index, int32_t& used, uint32_t& next) const {
    const Entry& slot = entry(index);
    used = slot.used;
    next = slot.next;
    return used != kUnseenUsed || next != kUnseenNext;
  }

 private:
  // 16 bytes: a base holds a candidate every few hundred bytes, and they are all new memory.
  struct Entry {
    ScanCandidate candidate;
    int32_t used = kUnseenUsed;
    uint32_t next = kUnseenNext;
  };
  // A header the scan did not see: it is read from the file. A header that holds these very
  // values is read again too, and gives them again.
  static constexpr int32_t kUnseenUsed = INT32_MIN;
  static constexpr uint32_t kUnseenNext = UINT32_MAX;
  Entry& entry(size_t index) { return pages_[index / kPageSize][index % kPageSize]; }
  const Entry& entry(size_t index) const { return pages_[index / kPageSize][index % kPageSize]; }
  Entry& appendEntry(uint32_t offset) {
    assert(size_ == 0 || (*this)[size_ - 1].offset < offset);
    if (size_ == capacity()) addPage();
    Entry& slot = entry(size_++);
    slot = Entry{};
    slot.candidate.offset = offset;
    return slot;
  }
  void addPage();

  static constexpr size_t kPageSize = 1000;  // the candidate growth step
  std::vector<std::unique_ptr<Entry[]>> pages_;
  size_t size_ = 0;

  friend int64_t findCandidate(const CandidateArray& candidates, uint32_t offset);
};

// Binary search by offset: the index of the candidate with exactly this offset, or -1.
int64_t findCandidate(const CandidateArray& candidates, uint32_t offset);
// The same, trying first the candidate right after index `previous`: the next block of a chain
// usually lies just after the current one.
inline int64_t findCandidate(const CandidateArray& candidates, uint32_t offset, size_t previous) {
  if (previous + 1 < candidates.size() && candidates[previous + 1].offset == offset) {
    return static_cast<int64_t>(previous + 1);
  }
  return findCandidate(candidates, offset);
}

}  // namespace vireo::dbx
