#include "dbx/chain_walk.h"

#include <algorithm>

#include "dbx/layout.h"

namespace vireo::dbx {
namespace {
constexpr size_t kLinearScanLimit = 32;
}

void ChainWalk::restart(Lengths lengths) {
  lengths_ = lengths;
  blocks_.entries.clear();
  total_ = 0;
  tooLong_ = false;
  highest_ = 0;
  visited_.clear();
  visitedCount_ = 0;
}

size_t ChainWalk::takeRun(const BlockRef* blocks, size_t count) {
  blocks_.entries.reserve(blocks_.entries.size() + std::min(count, kMaxBlocks));
  BlockHeader header;
  for (size_t i = 0; i < count; ++i) {
    header.used = blocks[i].length;
    if (!take(blocks[i].offset - kBlockHeaderSize, header)) return i;
  }
  return count;
}

bool ChainWalk::seenAmong(uint32_t at) {
  if (blocks_.entries.size() > kLinearScanLimit) {
    for (; visitedCount_ < blocks_.entries.size(); ++visitedCount_)
      visited_.insert(blocks_.entries[visitedCount_].offset - kBlockHeaderSize);
    return visited_.contains(at);
  }
  return std::any_of(blocks_.entries.begin(), blocks_.entries.end(),
                     [at](const BlockRef& ref) { return ref.offset - kBlockHeaderSize == at; });
}

}  // namespace vireo::dbx
