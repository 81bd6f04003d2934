#pragma once
// The possible data blocks that recovery finds: every offset whose word equals the offset, and
// what became of each while chains are joined.
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

// Candidates in strictly ascending offset order. Capacity grows by kCandidateStep entries at a
// time; each step is a page of its own, so growing never copies what is already there (a 2 GB base
// holds millions of candidates, and copying the whole array at every step would be quadratic).
class CandidateArray {
 public:
  size_t size() const { return size_; }
  size_t capacity() const { return pages_.size() * kPageSize; }

  // offset must be above every offset appended before.
  void append(uint32_t offset);
  ScanCandidate& operator[](size_t index) { return pages_[index / kPageSize][index % kPageSize]; }
  const ScanCandidate& operator[](size_t index) const { return pages_[index / kPageSize][index % kPageSize]; }

 private:
  static constexpr size_t kPageSize = 1000;  // the candidate growth step
  std::vector<std::unique_ptr<ScanCandidate[]>> pages_;
  size_t size_ = 0;

  friend int64_t findCandidate(const CandidateArray& candidates, uint32_t offset);
};

// Binary search by offset: the index of the candidate with exactly this offset, or -1.
int64_t findCandidate(const CandidateArray& candidates, uint32_t offset);

}  // namespace vireo::dbx
