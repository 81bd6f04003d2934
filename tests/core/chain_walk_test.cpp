// One chain walk serves every message of a browse: a walk after a looping, a too long or a long
// chain must see only its own blocks, and the lists handed over must not change as it goes on.
#include <gtest/gtest.h>

#include "dbx/chain_walk.h"
#include "dbx/layout.h"

namespace vireo::testing {
namespace {

using dbx::ChainWalk;

dbx::BlockHeader used(int32_t count) {
  dbx::BlockHeader header;
  header.used = count;
  return header;
}

TEST(ChainWalk, ARestartedWalkSeesOnlyItsOwnBlocks) {
  ChainWalk walk(ChainWalk::Lengths::asStored);
  // A long chain (past the short scan) running forward, then back into itself.
  for (uint32_t k = 0; k < 40; ++k) ASSERT_TRUE(walk.take(10000 + 528 * k, used(512)));
  EXPECT_TRUE(walk.seen(10000));
  EXPECT_TRUE(walk.seen(10000 + 528 * 39));  // the last, largest block: a loop onto itself
  EXPECT_FALSE(walk.seen(10000 + 528 * 40));
  EXPECT_FALSE(walk.seen(10001));
  const std::vector<BlockRef> first(walk.blocks().begin(), walk.blocks().end());
  ASSERT_EQ(first.size(), 40u);

  // The next chain runs backwards through the same stretch, with blocks of its own in between.
  walk.restart(ChainWalk::Lengths::capped);
  EXPECT_EQ(walk.size(), 0);
  EXPECT_TRUE(walk.blocks().empty());
  for (uint32_t k = 0; k < 40; ++k) ASSERT_TRUE(walk.take(10264 + 528 * (39 - k), used(600)));
  EXPECT_EQ(walk.size(), 40 * dbx::kBlockDataMax);  // capped now
  for (uint32_t k = 0; k < 40; ++k) {
    EXPECT_FALSE(walk.seen(10000 + 528 * k)) << k;  // the first chain's blocks
    EXPECT_TRUE(walk.seen(10264 + 528 * k)) << k;
  }
  const BlockSpan second = walk.blocks();
  ASSERT_EQ(second.size(), 40u);
  EXPECT_EQ(second.front().offset, 10264 + 528 * 39 + dbx::kBlockHeaderSize);
  EXPECT_EQ(second.front().length, dbx::kBlockDataMax);
  EXPECT_EQ(first.front().offset, 10000 + dbx::kBlockHeaderSize);

  // A chain too long to be a message, then a short one after it.
  walk.restart(ChainWalk::Lengths::asStored);
  uint32_t at = 0;
  while (walk.take(at, used(32767))) at += 32783;
  EXPECT_EQ(walk.size(), dbx::kMaxMessageSize);
  walk.restart(ChainWalk::Lengths::asStored);
  ASSERT_TRUE(walk.take(500, used(100)));
  ASSERT_TRUE(walk.take(2000, used(50)));
  EXPECT_EQ(walk.size(), 150);
  EXPECT_FALSE(walk.seen(0));
  EXPECT_TRUE(walk.seen(500));
  EXPECT_EQ(walk.blocks().size(), 2u);
}

}  // namespace
}  // namespace vireo::testing
