// Browsing a base through its index and chain table, built with the test writer and then
// damaged at the offsets it reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dbx/layout.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

using ::testing::HasSubstr;

std::string numbered(int i) { return simpleMessage("message " + std::to_string(i)); }

// The subjects of the valid records, read back through their block lists, in table order.
std::vector<std::string> listedSubjects(const OpenedBase& base) {
  std::vector<std::string> subjects;
  for (size_t i = 0; i < base.reader.records.size(); ++i) {
    if (base.reader.records[i].invalid) continue;
    const std::string bytes = readThroughBlocks(base.reader, static_cast<int>(i));
    const size_t at = bytes.find("Subject: ");
    subjects.push_back(at == std::string::npos ? "?" : bytes.substr(at + 9, bytes.find("\r\n", at) - at - 9));
  }
  return subjects;
}

std::vector<std::string> expectedSubjects(int n) {
  std::vector<std::string> subjects;
  for (int i = 0; i < n; ++i) subjects.push_back("message " + std::to_string(i));
  return subjects;
}

TEST(BrowseIndex, ListsEveryMessageOfADeepTreeInIndexOrder) {
  DbxWriter writer;
  writer.setEntriesPerNode(2);
  for (int i = 0; i < 40; ++i) writer.add(numbered(i));
  const DbxImage image = writer.build();
  int deepest = 0;
  for (const WrittenNode& node : writer.nodes()) deepest = std::max(deepest, node.depth);
  ASSERT_GE(deepest, 2);

  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_FALSE(base.reader.browseFailed);
  EXPECT_TRUE(base.shown.texts.empty());
  EXPECT_EQ(listedSubjects(base), expectedSubjects(40));
  for (int i = 0; i < base.reader.count(); ++i) {
    EXPECT_EQ(base.reader.records[static_cast<size_t>(i)].number, i);
    EXPECT_FALSE(base.reader.records[static_cast<size_t>(i)].deleted);
  }
}

TEST(BrowseIndex, ReadsMessagesOfManyBlocksAndIndirectAttributes) {
  DbxWriter writer;
  MessageSpec item;
  item.text = simpleMessage("long", std::string(5000, 'x') + "\r\n");
  item.indirectAttribute = true;
  item.dataPerBlock = 100;
  writer.add(item);
  OpenedBase base(writer.build());
  ASSERT_EQ(base.reader.count(), 1);
  EXPECT_EQ(base.reader.records[0].size, static_cast<int>(item.text.size()));
  EXPECT_EQ(base.reader.blocksOf(0).size(), (item.text.size() + 99) / 100);
  EXPECT_EQ(readThroughBlocks(base.reader, 0), item.text);
}

TEST(BrowseIndex, FailsWhenASubtreeHoldsFewerMessagesThanCounted) {
  DbxWriter writer;
  writer.setEntriesPerNode(2);
  for (int i = 0; i < 10; ++i) writer.add(numbered(i));
  DbxImage image = writer.build();
  // Drop one entry of a leaf: its parent still counts it.
  for (const WrittenNode& node : writer.nodes()) {
    if (node.depth == 0 || node.entries < 2) continue;
    image.put32(node.offset + dbx::kNodeHeaderSize + dbx::kEntryRecord, 0);
    break;
  }
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 0);
  EXPECT_TRUE(base.reader.browseFailed);
  EXPECT_TRUE(base.showedBadFormat());
  EXPECT_EQ(base.reader.count(), 0);
}

TEST(BrowseIndex, ChecksTheHeaderCountAndTheNodeEntryCount) {
  DbxWriter writer;
  writer.add(numbered(0));
  const DbxImage sound = writer.build();

  DbxImage tooMany = sound;
  tooMany.put32(dbx::kMessageCountOffset, 1000000);
  OpenedBase overCount(tooMany);
  EXPECT_TRUE(overCount.showedBadFormat());
  EXPECT_THAT(overCount.shown.texts.back(), HasSubstr("message count out of range"));

  DbxImage negative = sound;
  negative.put32(dbx::kMessageCountOffset, 0xFFFFFFFF);
  EXPECT_TRUE(OpenedBase(negative).showedBadFormat());

  // 999,999 passes the header check and fails only in the walk, on the counts.
  DbxImage largest = sound;
  largest.put32(dbx::kMessageCountOffset, 999999);
  OpenedBase maxCount(largest);
  EXPECT_TRUE(maxCount.showedBadFormat());
  EXPECT_THAT(maxCount.shown.texts.back(), ::testing::Not(HasSubstr("message count out of range")));

  for (uint8_t entries : {uint8_t{52}, uint8_t{128}, uint8_t{255}}) {
    DbxImage image = sound;
    image.put8(writer.rootOffset() + dbx::kNodeEntryCount, entries);
    EXPECT_TRUE(OpenedBase(image).showedBadFormat()) << int{entries};
  }
}

TEST(BrowseIndex, ReadsANodeOfFiftyOneEntries) {
  DbxWriter writer;
  for (int i = 0; i < 51; ++i) writer.add(numbered(i));
  const DbxImage image = writer.build();
  ASSERT_EQ(writer.nodes().size(), 1u);
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(listedSubjects(base), expectedSubjects(51));
}

TEST(BrowseIndex, WalksTheChildOfAnEmptyEntry) {
  DbxWriter writer;
  writer.setEntriesPerNode(2);
  for (int i = 0; i < 7; ++i) writer.add(numbered(i));
  DbxImage image = writer.build();
  // Empty a root entry that has a child: it adds nothing and is not counted, but the
  // messages below it are still found.
  const uint32_t root = writer.rootOffset();
  const uint32_t firstEntry = root + dbx::kNodeHeaderSize;
  ASSERT_NE(image.get32(firstEntry + dbx::kEntryChild), 0u);
  image.put32(firstEntry + dbx::kEntryRecord, 0);
  image.put32(dbx::kMessageCountOffset, 6);
  // Every count that included the emptied entry drops by one: here only the root's own count.
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(base.reader.count(), 6);
}

TEST(BrowseIndex, ListsOnceTwoEntriesWithTheSameDataOffset) {
  DbxWriter writer;
  for (int i = 0; i < 3; ++i) writer.add(numbered(i));
  DbxImage image = writer.build();
  // Point the second entry at the first message's record.
  const uint32_t root = writer.rootOffset();
  image.put32(root + dbx::kNodeHeaderSize + dbx::kIndexEntrySize + dbx::kEntryRecord,
              writer.messages()[0].recordOffset);
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(listedSubjects(base), (std::vector<std::string>{"message 0", "message 2"}));
}

TEST(BrowseIndex, AddsNewLooseRecordsAsDeletedAndSkipsListedOnes) {
  DbxWriter writer;
  writer.add(numbered(0));
  MessageSpec loose;
  loose.text = numbered(1);
  loose.listing = MessageSpec::Listing::loose;
  loose.chainSlot = 2048;  // the last slot, at 8,860
  writer.add(loose);
  loose.text = numbered(2);
  loose.chainSlot = 5;
  writer.add(loose);
  DbxImage image = writer.build();
  // A second loose record in slot 5's chain whose data is message 0's: already listed.
  const uint32_t duplicate = image.reserve(dbx::kLooseHeaderSize + 40);
  image.put32(duplicate, duplicate);
  image.put32(duplicate + dbx::kLooseNext, image.get32(dbx::kChainTableFirstSlot + 5 * 4));
  image.put8(duplicate + dbx::kLooseHeaderSize, dbx::kAttributeDirect | dbx::kAttributeDataOffset);
  const uint32_t firstBlock = writer.messages()[0].blockOffsets[0];
  image.put8(duplicate + dbx::kLooseHeaderSize + 1, static_cast<uint8_t>(firstBlock));
  image.put16(duplicate + dbx::kLooseHeaderSize + 2, static_cast<uint16_t>(firstBlock >> 8));
  image.put32(dbx::kChainTableFirstSlot + 5 * 4, duplicate);

  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  // Slots are scanned in order, so slot 5's chain comes before slot 2048's.
  EXPECT_EQ(listedSubjects(base), (std::vector<std::string>{"message 0", "message 2", "message 1"}));
  ASSERT_EQ(base.reader.count(), 3);
  EXPECT_FALSE(base.reader.records[0].deleted);
  EXPECT_TRUE(base.reader.records[1].deleted);
  EXPECT_TRUE(base.reader.records[2].deleted);
}

TEST(BrowseIndex, MarksAMessageDeletedByItsFirstBlockSize) {
  DbxWriter writer;
  writer.add(numbered(0));
  MessageSpec deleted;
  deleted.text = numbered(1);
  deleted.deleted = true;
  writer.add(deleted);
  OpenedBase base(writer.build());
  ASSERT_EQ(base.reader.count(), 2);
  EXPECT_FALSE(base.reader.records[0].deleted);
  EXPECT_TRUE(base.reader.records[1].deleted);
}

TEST(BrowseIndex, BrowsesOnlyLooseRecordsWhenTheIndexIsEmpty) {
  DbxWriter writer;
  MessageSpec loose;
  loose.text = numbered(0);
  loose.listing = MessageSpec::Listing::loose;
  writer.add(loose);
  const DbxImage image = writer.build();
  EXPECT_EQ(image.get32(dbx::kMessageCountOffset), 0u);
  EXPECT_EQ(image.get32(dbx::kRootNodeOffset), 0u);
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(listedSubjects(base), expectedSubjects(1));
}

TEST(BrowseIndex, SkipsMessagesWhoseFirstBlockDoesNotCarryItsOffset) {
  DbxWriter writer;
  for (int i = 0; i < 3; ++i) writer.add(numbered(i));
  DbxImage image = writer.build();
  image.put32(writer.messages()[1].blockOffsets[0], 12345);
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(listedSubjects(base), (std::vector<std::string>{"message 0", "message 2"}));
}

TEST(BrowseIndex, FailsWhenAMessageBlockLiesBeyondTheEnd) {
  DbxWriter writer;
  MessageSpec item;
  item.text = simpleMessage("two blocks", std::string(600, 'y'));
  writer.add(item);
  DbxImage image = writer.build();
  image.put32(writer.messages()[0].blockOffsets[0] + dbx::kBlockNext, image.size() + 4096);
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 0);
  EXPECT_TRUE(base.showedBadFormat());
}

// Damage that loops or nests must end the browse, never hang it or exhaust memory.
TEST(BrowseIndex, EndsLoopingChainsAndRejectsSharedOrDeepNodes) {
  DbxWriter writer;
  MessageSpec item;
  item.text = simpleMessage("loop", std::string(2000, 'z'));
  writer.add(item);
  MessageSpec loose;
  loose.text = numbered(1);
  loose.listing = MessageSpec::Listing::loose;
  writer.add(loose);
  const DbxImage sound = writer.build();

  // A data chain whose last block links back to its first: the message keeps its blocks once.
  DbxImage dataLoop = sound;
  const auto& blocks = writer.messages()[0].blockOffsets;
  dataLoop.put32(blocks.back() + dbx::kBlockNext, blocks.front());
  OpenedBase looped(dataLoop);
  EXPECT_EQ(looped.reader.ok, 1);
  ASSERT_GE(looped.reader.count(), 1);
  EXPECT_EQ(looped.reader.blocksOf(0).size(), blocks.size());

  // A chain-table record that names itself as the next one.
  DbxImage tableLoop = sound;
  const uint32_t record = writer.messages()[1].recordOffset;
  tableLoop.put32(record + dbx::kLooseNext, record);
  OpenedBase tableLooped(tableLoop);
  EXPECT_EQ(tableLooped.reader.ok, 1);
  EXPECT_EQ(tableLooped.reader.count(), 2);

  // A root whose entry's child is its own left child as well: walked twice, it would count
  // the same messages twice.
  DbxWriter treeWriter;
  treeWriter.setEntriesPerNode(1);
  for (int i = 0; i < 3; ++i) treeWriter.add(numbered(i));
  DbxImage shared = treeWriter.build();
  const uint32_t root = treeWriter.rootOffset();
  const uint32_t left = shared.get32(root + dbx::kNodeLeftChild);
  ASSERT_NE(left, 0u) << "three messages at one entry a node make a root with a left child";
  shared.put32(root + dbx::kNodeHeaderSize + dbx::kEntryChild, left);
  shared.put32(root + dbx::kNodeHeaderSize + dbx::kEntryChildCount, shared.get32(root + dbx::kNodeLeftCount));
  shared.put32(dbx::kMessageCountOffset, 2 * shared.get32(root + dbx::kNodeLeftCount) + 1);
  EXPECT_TRUE(OpenedBase(shared).showedBadFormat());

  // A chain of 100 nodes, each the left child of the one before, all passing the node checks.
  DbxImage deep;
  deep.ensure(9412);
  deep.put32(dbx::kKindWordOffset, dbx::kKindWordMessages);
  deep.put32(dbx::kMessageCountOffset, 0);
  uint32_t parent = 0;
  uint32_t node = deep.reserve(dbx::kNodeHeaderSize);
  deep.put32(dbx::kRootNodeOffset, node);
  for (int level = 0; level < 100; ++level) {
    deep.put32(node + dbx::kNodeSelf, node);
    deep.put32(node + dbx::kNodeParent, parent);
    const uint32_t child = level < 99 ? deep.reserve(dbx::kNodeHeaderSize) : 0;
    deep.put32(node + dbx::kNodeLeftChild, child);
    parent = node;
    node = child;
  }
  OpenedBase deepBase(deep);
  EXPECT_TRUE(deepBase.showedBadFormat());
  EXPECT_THAT(deepBase.shown.texts.back(), HasSubstr("deeper"));
}

TEST(BrowseIndex, StoredLengthsNeverOverrunTheReadBuffer) {
  DbxWriter writer;
  writer.add(numbered(0));
  writer.add(numbered(1));
  writer.add(numbered(2));
  DbxImage image = writer.build();
  // A huge used count on message 0's only block, a negative one on message 1's.
  image.put32(writer.messages()[0].blockOffsets[0] + dbx::kBlockUsed, 0x7FFFFFF0);
  image.put32(writer.messages()[1].blockOffsets[0] + dbx::kBlockUsed, 0xFFFFFF00);
  OpenedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(listedSubjects(base), (std::vector<std::string>{"message 2"}));
  EXPECT_EQ(base.reader.records[2].number, 0);
}

TEST(BrowseIndex, ShowsBothMessagesWhenTheBaseCannotBeOpened) {
  MessageBaseReader reader;
  CapturedMessages shown;
  reader.baseFolder = "/nonexistent-folder";
  reader.baseName = "missing.dbx";
  reader.openBase(false);
  EXPECT_EQ(reader.ok, 0);
  ASSERT_EQ(shown.texts.size(), 2u);
  EXPECT_THAT(shown.texts[0], HasSubstr("Cannot open dbx file /nonexistent-folder/missing.dbx\n"));
  EXPECT_THAT(shown.texts[1], HasSubstr("Bad file format, use message base recovery."));
}

TEST(BrowseIndex, GrowsTheTableInStepsOf500) {
  DbxWriter writer;
  for (int i = 0; i < 500; ++i) writer.add(numbered(i));
  OpenedBase base(writer.build());
  EXPECT_EQ(base.reader.count(), 500);
  EXPECT_EQ(base.reader.capacity, 1000);
}

}  // namespace
}  // namespace vireo::testing
