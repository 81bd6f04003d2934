#pragma once
// Builds one message's block list while following its chain, with the guards a damaged base
// needs: a chain that comes back to one of its own blocks loops and ends there; a used count
// that cannot be a block's (negative, or beyond the 16-bit length of a block reference) ends the
// chain before that block; a chain too long to be a message ends with a size that marks the
// record as never a message. One walk is reused for every message of a browse: its list grows
// in a buffer that keeps its capacity, and each message gets an exact-size copy, so a message of
// many blocks costs one allocation instead of one per doubling.
#include <cstdint>
#include <limits>
#include <vector>

#include "dbx/data_block.h"
#include "dbx/layout.h"
#include "dbx/offset_set.h"
#include "table/block_list.h"

namespace vireo::dbx {

class ChainWalk {
 public:
  enum class Lengths {
    asStored,  // indexed messages: the used count as stored
    capped,    // loose records and recovery: counts above 512 count as 512
  };
  static constexpr size_t kMaxBlocks = 1000000;

  explicit ChainWalk(Lengths lengths) : lengths_(lengths) {}

  // Starts another chain, forgetting the last one but keeping the buffers.
  void restart(Lengths lengths);

  // Appends the block whose header starts at `at`; false when the chain ends before it.
  bool take(uint32_t at, const BlockHeader& header) {
    int32_t used = header.used;
    if (lengths_ == Lengths::capped && used > kBlockDataMax) used = kBlockDataMax;
    if (used < 0 || used > std::numeric_limits<int16_t>::max()) return false;
    if (blocks_.entries.size() >= kMaxBlocks || total_ >= kMaxMessageSize) {
      tooLong_ = true;
      return false;
    }
    blocks_.entries.push_back(BlockRef{at + kBlockHeaderSize, static_cast<int16_t>(used)});
    total_ += used;
    if (at > highest_) highest_ = at;
    return true;
  }
  // Appends blocks already known to follow one another by their links (none of them in the chain
  // yet), each as take would; returns how many were taken before the chain ended.
  size_t takeRun(const BlockRef* blocks, size_t count);
  // True when the block at this header offset is already part of the chain.
  bool seen(uint32_t at) {
    // A chain that runs forward links past all its blocks: nothing to look through.
    if (blocks_.entries.empty() || at > highest_) return false;
    return seenAmong(at);
  }
  // The sum of the lengths; kMaxMessageSize when the chain was too long.
  int32_t size() const {
    if (tooLong_ || total_ >= kMaxMessageSize) return kMaxMessageSize;
    return static_cast<int32_t>(total_);
  }
  // The chain's blocks so far; the walk keeps its buffer for the next restart.
  BlockSpan blocks() const { return blocks_.entries; }

 private:
  bool seenAmong(uint32_t at);

  Lengths lengths_;
  BlockList blocks_;
  uint32_t highest_ = 0;  // the largest header offset in the chain
  int64_t total_ = 0;
  bool tooLong_ = false;
  OffsetSet visited_;  // used once the chain is longer than a short scan
  size_t visitedCount_ = 0;  // blocks in visited_, caught up when it is asked
};

}  // namespace vireo::dbx
