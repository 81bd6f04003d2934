// The browse's duplicate and loop checks stand on OffsetSet: it must answer as a set does, for
// offset 0, for offsets that collide in the array, across growth and after clearing.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dbx/offset_set.h"

namespace vireo::testing {
namespace {

TEST(OffsetSet, AnswersAsASetDoesAcrossGrowthAndClearing) {
  std::mt19937 random(11);
  dbx::OffsetSet set;
  for (int round = 0; round < 3; ++round) {
    std::set<uint32_t> expected;
    for (int i = 0; i < 50000; ++i) {
      uint32_t offset;
      switch (i % 4) {
        case 0: offset = static_cast<uint32_t>(random()); break;
        case 1: offset = static_cast<uint32_t>(random() % 64); break;       // 0 among them
        case 2: offset = static_cast<uint32_t>(random() % 4096) * 528; break;  // evenly spaced blocks
        default: offset = static_cast<uint32_t>(random() % 16) << 28; break;   // same low bits
      }
      ASSERT_EQ(set.insert(offset), expected.insert(offset).second) << offset;
      const auto probe = static_cast<uint32_t>(random() % 70000);
      ASSERT_EQ(set.contains(probe), expected.count(probe) > 0) << probe;
    }
    EXPECT_EQ(set.size(), expected.size());
    for (const uint32_t offset : expected) ASSERT_TRUE(set.contains(offset));
    set.clear();
    EXPECT_EQ(set.size(), 0u);
    EXPECT_FALSE(set.contains(0));
    for (const uint32_t offset : expected) ASSERT_FALSE(set.contains(offset));
  }
}

// Offsets mostly come in file order, with stragglers behind: the sorted run and the hashed part
// must together answer as one set, also for a repeat of the run's last offset and for 0 arriving
// first or late.
TEST(OffsetSet, AnswersAsASetDoesForForwardRunsWithStragglers) {
  std::mt19937 random(12);
  dbx::OffsetSet set;
  for (int round = 0; round < 4; ++round) {
    std::set<uint32_t> expected;
    uint32_t next = round % 2 == 0 ? 0 : 528;
    for (int i = 0; i < 20000; ++i) {
      uint32_t offset = next;
      switch (random() % 8) {
        case 0: offset = static_cast<uint32_t>(random() % (next + 1)); break;  // behind the run
        case 1: offset = expected.empty() ? 0 : *expected.rbegin(); break;   // the run's last again
        case 2: offset = 0; break;
        default: next += 1 + static_cast<uint32_t>(random() % 1056); break;
      }
      ASSERT_EQ(set.contains(offset), expected.count(offset) > 0) << offset;
      ASSERT_EQ(set.insert(offset), expected.insert(offset).second) << offset;
      ASSERT_TRUE(set.contains(offset));
      const auto probe = static_cast<uint32_t>(random() % (next + 2000));
      ASSERT_EQ(set.contains(probe), expected.count(probe) > 0) << probe;
    }
    EXPECT_EQ(set.size(), expected.size());
    for (const uint32_t offset : expected) ASSERT_TRUE(set.contains(offset));
    set.clear();
    EXPECT_EQ(set.size(), 0u);
    for (const uint32_t offset : expected) ASSERT_FALSE(set.contains(offset));
  }
}

}  // namespace
}  // namespace vireo::testing
