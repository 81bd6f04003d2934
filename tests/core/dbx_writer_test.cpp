// The writer builds every other test's input, so these check the invariants whose silent loss
// would make those tests meaningless. They read the image back with ByteView only.
#include "tools/dbx_writer/dbx_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbx/byte_view.h"
#include "dbx/layout.h"

namespace vireo::testing {
namespace {

using namespace vireo::dbx;

std::string numbered(int i, size_t length) {
  std::string text = "Message " + std::to_string(i) + "\r\n";
  while (text.size() < length) text += static_cast<char>('a' + (text.size() + static_cast<size_t>(i)) % 26);
  text.resize(length);
  return text;
}

// Follows a chain from `block`, checking each header, and returns the concatenated data.
std::string readChain(const ByteView& file, uint32_t block, std::vector<uint32_t>* offsets = nullptr) {
  std::string text;
  for (int guard = 0; block != 0 && guard < 100000; ++guard) {
    EXPECT_EQ(file.u32(block + kBlockSelf), block);
    const int32_t used = file.i32(block + kBlockUsed);
    EXPECT_GE(used, 0);
    EXPECT_TRUE(file.has(block + kBlockHeaderSize, static_cast<size_t>(used)));
    for (int32_t i = 0; i < used; ++i) text += static_cast<char>(file.u8(block + kBlockHeaderSize + static_cast<uint32_t>(i)));
    if (offsets) offsets->push_back(block);
    block = file.u32(block + kBlockNext);
  }
  return text;
}

// Attribute 4 of an information record, scanned for as a reader must.
uint32_t firstBlockOfRecord(const ByteView& file, uint32_t record) {
  EXPECT_EQ(file.u32(record + kInfoSelf), record);
  const int attributes = file.i8(record + kInfoAttributeCount);
  const uint32_t dataArea = record + kInfoHeaderSize + kAttributeSize * static_cast<uint32_t>(attributes);
  for (int a = 0; a < attributes; ++a) {
    const uint32_t at = record + kInfoHeaderSize + kAttributeSize * static_cast<uint32_t>(a);
    if ((file.u8(at) & kAttributeIdMask) != kAttributeDataOffset) continue;
    EXPECT_GT(a, 0) << "other attributes should come first";
    const uint32_t value = file.u24(at + 1);
    return (file.u8(at) & kAttributeDirect) ? value : file.u32(dataArea + value);
  }
  ADD_FAILURE() << "no attribute 4 in the record at " << record;
  return 0;
}

struct Walk {
  std::vector<std::string> texts;
  int maxDepth = 0;
  int nodes = 0;
};

// In-order walk with every check a browse makes; returns the subtree's message count.
uint32_t walkNode(const ByteView& file, uint32_t node, uint32_t parent, int depth, Walk& walk) {
  EXPECT_EQ(file.u32(node + kNodeSelf), node);
  EXPECT_EQ(file.u32(node + kNodeParent), parent);
  walk.maxDepth = std::max(walk.maxDepth, depth);
  ++walk.nodes;
  const uint32_t entries = file.u8(node + kNodeEntryCount);
  EXPECT_LE(entries, kMaxNodeEntries);
  uint32_t found = 0;
  if (const uint32_t left = file.u32(node + kNodeLeftChild); left != 0) {
    const uint32_t below = walkNode(file, left, node, depth + 1, walk);
    EXPECT_EQ(below, file.u32(node + kNodeLeftCount)) << "left count of node " << node;
    found += below;
  } else {
    EXPECT_EQ(file.u32(node + kNodeLeftCount), 0u);
  }
  for (uint32_t e = 0; e < entries; ++e) {
    const uint32_t entry = node + kNodeHeaderSize + kIndexEntrySize * e;
    walk.texts.push_back(readChain(file, firstBlockOfRecord(file, file.u32(entry + kEntryRecord))));
    ++found;
    if (const uint32_t child = file.u32(entry + kEntryChild); child != 0) {
      const uint32_t below = walkNode(file, child, node, depth + 1, walk);
      EXPECT_EQ(below, file.u32(entry + kEntryChildCount)) << "entry " << e << " of node " << node;
      found += below;
    }
  }
  return found;
}

struct TreeCase {
  int messages;
  int perNode;
  IndexShape shape;
  int minDepth;
};

class DbxWriterIndex : public ::testing::TestWithParam<TreeCase> {};

TEST_P(DbxWriterIndex, InOrderWalkGivesAddedOrderWithCountsThatAddUp) {
  const TreeCase c = GetParam();
  DbxWriter writer;
  writer.setEntriesPerNode(c.perNode);
  writer.setIndexShape(c.shape);
  std::vector<std::string> added;
  for (int i = 0; i < c.messages; ++i) {
    MessageSpec item;
    item.text = numbered(i, 40 + static_cast<size_t>(i) * 37 % 900);
    item.indirectAttribute = i % 3 == 1;
    item.dataPerBlock = i % 2 ? 512 : 100;
    added.push_back(item.text);
    writer.add(item);
    if (i % 7 == 3) writer.add(MessageSpec{"not indexed", MessageSpec::Listing::none});
  }
  const DbxImage image = writer.build();
  const ByteView file(image.bytes.data(), image.bytes.size());

  EXPECT_EQ(file.u32(kMessageCountOffset), static_cast<uint32_t>(c.messages));
  EXPECT_EQ(file.u32(kRootNodeOffset), writer.rootOffset());
  Walk walk;
  EXPECT_EQ(walkNode(file, writer.rootOffset(), 0, 0, walk), static_cast<uint32_t>(c.messages));
  EXPECT_EQ(walk.texts, added);
  EXPECT_GE(walk.maxDepth, c.minDepth);

  ASSERT_EQ(static_cast<int>(writer.nodes().size()), walk.nodes);
  int entries = 0;
  for (const WrittenNode& node : writer.nodes()) {
    EXPECT_EQ(file.u32(node.offset + kNodeParent), node.parent);
    EXPECT_EQ(static_cast<int>(file.u8(node.offset + kNodeEntryCount)), node.entries);
    EXPECT_LE(node.entries, c.perNode);
    entries += node.entries;
  }
  EXPECT_EQ(entries, c.messages);
  EXPECT_EQ(writer.nodes().front().offset, writer.rootOffset());
  EXPECT_EQ(std::max_element(writer.nodes().begin(), writer.nodes().end(),
                             [](const WrittenNode& a, const WrittenNode& b) { return a.depth < b.depth; })->depth,
            walk.maxDepth);
}

INSTANTIATE_TEST_SUITE_P(DbxWriter, DbxWriterIndex,
                         ::testing::Values(TreeCase{40, 2, IndexShape::balanced, 3},
                                           TreeCase{1, 2, IndexShape::balanced, 0},
                                           TreeCase{7, 1, IndexShape::balanced, 2},
                                           TreeCase{300, 51, IndexShape::balanced, 1},
                                           TreeCase{60, 3, IndexShape::chain, 19}));

TEST(DbxWriter, HeaderCarriesKindCountRootAndNewsMarker) {
  DbxWriter empty(kKindWordFolders);
  empty.setNewsMarker(0);
  empty.add(MessageSpec{"loose", MessageSpec::Listing::loose});
  const DbxImage image = empty.build();
  const ByteView file(image.bytes.data(), image.bytes.size());
  EXPECT_GE(image.size(), kNewsMarkerOffset + 4);
  EXPECT_NE(file.u32(0), 0u);  // a zero signature would look like a block at offset 0
  EXPECT_EQ(file.u32(kKindWordOffset), kKindWordFolders);
  EXPECT_EQ(file.u32(kMessageCountOffset), 0u);
  EXPECT_EQ(file.u32(kRootNodeOffset), 0u);
  EXPECT_EQ(empty.rootOffset(), 0u);
  EXPECT_TRUE(empty.nodes().empty());
  EXPECT_EQ(file.u8(kNewsMarkerOffset), 0);

  DbxWriter mail;
  mail.add("one");
  const DbxImage again = mail.build();
  EXPECT_EQ(ByteView(again.bytes.data(), again.bytes.size()).u8(kNewsMarkerOffset), 1);
  EXPECT_EQ(ByteView(again.bytes.data(), again.bytes.size()).u32(kKindWordOffset), kKindWordMessages);
}

TEST(DbxWriter, ChainTableLinksLooseRecordsPerSlotInAddedOrder) {
  DbxWriter writer;
  writer.add("indexed");
  const int slots[] = {0, 2048, 0, 5, 0, 2048};
  std::vector<int> ids;
  for (int i = 0; i < 6; ++i) {
    MessageSpec item{"loose " + std::to_string(i), MessageSpec::Listing::loose};
    item.chainSlot = slots[i];
    ids.push_back(writer.add(item));
  }
  const DbxImage image = writer.build();
  const ByteView file(image.bytes.data(), image.bytes.size());

  auto chainTexts = [&](int slot) {
    std::vector<std::string> texts;
    for (uint32_t record = file.u32(DbxWriter::chainSlotOffset(slot)); record != 0 && texts.size() < 10;
         record = file.u32(record + kLooseNext)) {
      // Only a direct attribute 4 among the ten counts in a loose record.
      uint32_t block = 0;
      for (uint32_t a = 0; a < kLooseAttributeCount && block == 0; ++a) {
        const uint32_t at = record + kLooseHeaderSize + kAttributeSize * a;
        if (file.u8(at) == (kAttributeDirect | kAttributeDataOffset)) block = file.u24(at + 1);
      }
      texts.push_back(readChain(file, block));
    }
    return texts;
  };
  EXPECT_EQ(chainTexts(0), (std::vector<std::string>{"loose 0", "loose 2", "loose 4"}));
  EXPECT_EQ(chainTexts(2048), (std::vector<std::string>{"loose 1", "loose 5"}));
  EXPECT_EQ(chainTexts(5), (std::vector<std::string>{"loose 3"}));
  EXPECT_EQ(file.u32(DbxWriter::chainSlotOffset(1)), 0u);
  EXPECT_EQ(DbxWriter::chainSlotOffset(2048), kChainTableLastSlot);
  EXPECT_EQ(file.u32(kMessageCountOffset), 1u);
  EXPECT_EQ(file.u32(DbxWriter::chainSlotOffset(0)), writer.messages()[static_cast<size_t>(ids[0])].recordOffset);
}

class DbxWriterBlocks : public ::testing::TestWithParam<BlockPlacement> {};

TEST_P(DbxWriterBlocks, ChainsReassembleEachMessageAndMarkDeletion) {
  DbxWriter writer;
  writer.setPlacement(GetParam());
  std::vector<MessageSpec> specs;
  const size_t lengths[] = {1500, 0, 512, 513, 3000, 7};
  for (size_t i = 0; i < std::size(lengths); ++i) {
    MessageSpec item{numbered(static_cast<int>(i), lengths[i])};
    item.deleted = i == 0 || i == 4;
    item.dataPerBlock = i == 4 ? 200 : 512;
    item.listing = i == 3 ? MessageSpec::Listing::none : MessageSpec::Listing::index;
    specs.push_back(item);
    writer.add(item);
  }
  const DbxImage image = writer.build();
  const ByteView file(image.bytes.data(), image.bytes.size());
  ASSERT_EQ(writer.messages().size(), specs.size());
  for (size_t i = 0; i < specs.size(); ++i) {
    SCOPED_TRACE(i);
    const WrittenMessage& written = writer.messages()[i];
    std::vector<uint32_t> chain;
    EXPECT_EQ(readChain(file, written.blockOffsets.front(), &chain), specs[i].text);
    EXPECT_EQ(chain, written.blockOffsets);
    const size_t per = static_cast<size_t>(specs[i].dataPerBlock);
    EXPECT_EQ(chain.size(), std::max<size_t>(1, (specs[i].text.size() + per - 1) / per));
    for (size_t b = 0; b < chain.size(); ++b) {
      EXPECT_EQ(file.u32(chain[b] + kBlockSizeField), b == 0 && specs[i].deleted ? kDeletedBlockSize : 512u);
    }
    if (specs[i].listing == MessageSpec::Listing::none) {
      EXPECT_EQ(written.recordOffset, 0u);
    } else {
      EXPECT_EQ(firstBlockOfRecord(file, written.recordOffset), chain.front());
    }
    // Recovery tells chains apart by where blocks lie: check the placement really holds.
    for (size_t b = 1; b < chain.size(); ++b) {
      if (GetParam() == BlockPlacement::reversed) {
        EXPECT_LT(chain[b], chain[b - 1]);
      } else {
        EXPECT_GT(chain[b], chain[b - 1]);
      }
    }
  }
  const auto& m = writer.messages();
  if (GetParam() == BlockPlacement::interleaved) {
    EXPECT_LT(m[1].blockOffsets[0], m[0].blockOffsets[1]);
  } else {
    EXPECT_GT(*std::min_element(m[1].blockOffsets.begin(), m[1].blockOffsets.end()),
              *std::max_element(m[0].blockOffsets.begin(), m[0].blockOffsets.end()));
  }
}

INSTANTIATE_TEST_SUITE_P(DbxWriter, DbxWriterBlocks,
                         ::testing::Values(BlockPlacement::contiguous, BlockPlacement::interleaved,
                                           BlockPlacement::reversed));

TEST(DbxWriter, SameInputsGiveSameBytes) {
  auto make = [] {
    DbxWriter writer;
    writer.setEntriesPerNode(3);
    writer.setPlacement(BlockPlacement::interleaved);
    for (int i = 0; i < 25; ++i) writer.add(numbered(i, 700));
    writer.add(MessageSpec{"loose", MessageSpec::Listing::loose});
    return writer.build().bytes;
  };
  EXPECT_EQ(make(), make());
}

TEST(DbxWriter, FirstBlockBeyondSixteenMegabytesForcesIndirectAttribute) {
  DbxWriter writer;
  writer.add(std::string(17 << 20, 'x'));
  writer.add("after the big one");
  const DbxImage image = writer.build();
  const ByteView file(image.bytes.data(), image.bytes.size());
  const WrittenMessage& late = writer.messages()[1];
  ASSERT_GT(late.blockOffsets.front(), 0xFFFFFFu);
  EXPECT_NE(late.indirectWordOffset, 0u);
  EXPECT_EQ(file.u32(late.indirectWordOffset), late.blockOffsets.front());
  EXPECT_EQ(readChain(file, firstBlockOfRecord(file, late.recordOffset)), "after the big one");
  EXPECT_EQ(writer.messages()[0].indirectWordOffset, 0u);
}

}  // namespace
}  // namespace vireo::testing
