#pragma once
// Builds one message's block list while following its chain, with the guards a damaged base
// needs: a chain that comes back to one of its own blocks loops and ends there; a used count
// that cannot be a block's (negative, or beyond the 16-bit length of a block reference) ends the
// chain before that block; a chain too long to be a message ends with a size that marks the
// record as never a message. One walk is reused for every message of a browse: its list grows
// in a buffer that keeps its capacity, and each message gets an exact-size copy, so a message of
// many blocks costs one allocation instead of one per doubling.
#include <cstdint>
#include <vector>

#include "dbx/data_block.h"
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
  bool take(uint32_t at, const BlockHeader& header);
  // Appends blocks already known to follow one another by their links (none of them in the chain
  // yet), each as take would; returns how many were taken before the chain ended.
  size_t takeRun(const BlockRef* blocks, size_t count);
  // True when the block at this header offset is already part of the chain.
  bool seen(uint32_t at);
  int32_t size() const;  // sum of the lengths; kMaxMessageSize when the chain was too long
  const BlockList& blocks() const { return blocks_; }
  // The chain's list at its exact size; the walk keeps its buffer for the next restart.
  BlockList release();

 private:
  Lengths lengths_;
  BlockList blocks_;
  int64_t total_ = 0;
  bool tooLong_ = false;
  OffsetSet visited_;  // used once the chain is longer than a short scan
  size_t visitedCount_ = 0;  // blocks in visited_, caught up when it is asked
};

}  // namespace vireo::dbx
