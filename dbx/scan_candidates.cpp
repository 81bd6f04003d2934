#include "dbx/scan_candidates.h"

#include <algorithm>

#include "dbx/layout.h"

namespace vireo::dbx {

static_assert(kCandidateStep == 1000, "a page is one growth step");
static_assert(sizeof(ScanCandidate) == 8);

void CandidateArray::addPage() { pages_.push_back(std::make_unique<Entry[]>(kPageSize)); }

void CandidateArray::appendAll(const CandidateArray& later) {
  for (size_t i = 0; i < later.size(); ++i) {
    const Entry& from = later.entry(i);
    Entry& slot = appendEntry(from.candidate.offset);
    slot.used = from.used;
    slot.next = from.next;
  }
}

int64_t findCandidate(const CandidateArray& candidates, uint32_t offset) {
  if (candidates.size_ == 0) return -1;
  const size_t lastPage = (candidates.size_ - 1) / CandidateArray::kPageSize;
  // The page whose first offset is the last one not above the wanted offset, then within it.
  const auto pagesEnd = candidates.pages_.begin() + static_cast<std::ptrdiff_t>(lastPage + 1);
  const auto after = std::upper_bound(candidates.pages_.begin(), pagesEnd, offset,
                                      [](uint32_t value, const auto& page) { return value < page[0].candidate.offset; });
  if (after == candidates.pages_.begin()) return -1;
  const size_t page = static_cast<size_t>(after - candidates.pages_.begin()) - 1;
  const CandidateArray::Entry* first = candidates.pages_[page].get();
  const size_t inPage =
      page == lastPage ? candidates.size_ - page * CandidateArray::kPageSize : CandidateArray::kPageSize;
  const CandidateArray::Entry* found =
      std::lower_bound(first, first + inPage, offset,
                       [](const CandidateArray::Entry& e, uint32_t value) { return e.candidate.offset < value; });
  if (found == first + inPage || found->candidate.offset != offset) return -1;
  return static_cast<int64_t>(page * CandidateArray::kPageSize) + (found - first);
}

}  // namespace vireo::dbx
