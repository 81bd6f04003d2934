#include "table/message_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace vireo {
namespace {

std::vector<uint32_t> offsets(const MessageTable& table, size_t record) {
  std::vector<uint32_t> out;
  for (const BlockRef& block : table.blocksOf(record)) out.push_back(block.offset);
  return out;
}

// The table keeps every list in one array; lists given later (as recovery gives them, after
// joining) land behind the ones already there, each at its own record.
TEST(MessageTable, ListsAddedAndGivenLaterStayWithTheirRecords) {
  MessageTable table;
  const std::vector<BlockRef> first = {{100, 10}, {200, 20}};
  table.addRecord(MessageRecord{}, first);
  table.addRecord(MessageRecord{}, BlockSpan{});
  const std::vector<BlockRef> third = {{300, 30}};
  table.addRecord(MessageRecord{}, third);

  table.addRecord(BlockSpan{});
  table.addRecord(BlockSpan{});
  table.addRecord(BlockSpan{});
  const std::vector<BlockList> given = {BlockList{{{400, 1}, {500, 2}, {600, 3}}}, BlockList{}, BlockList{{{700, 4}}}};
  ASSERT_TRUE(table.giveLastLists(3, given));

  ASSERT_EQ(table.listCount(), 6u);
  EXPECT_EQ(offsets(table, 0), (std::vector<uint32_t>{100, 200}));
  EXPECT_TRUE(offsets(table, 1).empty());
  EXPECT_EQ(offsets(table, 2), (std::vector<uint32_t>{300}));
  EXPECT_EQ(offsets(table, 3), (std::vector<uint32_t>{400, 500, 600}));
  EXPECT_TRUE(offsets(table, 4).empty());
  EXPECT_EQ(offsets(table, 5), (std::vector<uint32_t>{700}));
  EXPECT_EQ(table.blocksOf(3)[2].length, 3);

  // A copy of the table carries its own lists.
  MessageTable copy = table;
  table.clearTable();
  EXPECT_EQ(table.listCount(), 0u);
  EXPECT_EQ(offsets(copy, 5), (std::vector<uint32_t>{700}));
}

}  // namespace
}  // namespace vireo
