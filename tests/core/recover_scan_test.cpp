// Recovery: joining candidate blocks into messages, hostile chains, stops, and whole bases.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dbx/layout.h"
#include "dbx/recover_scan.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "reader/message_base_reader.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

// Runs only the scan, so the records' blocks and sizes can be checked before any reading.
struct ScannedBase {
  ScratchDir folder;
  MessageBaseReader reader;
  CapturedMessages shown;
  explicit ScannedBase(const DbxImage& image, ProgressSink* progress = nullptr, ManualResetEvent* stop = nullptr) {
    reader.workingPath = folder.file("base.dbx");
    image.save(reader.workingPath);
    reader.progress = progress;
    reader.stopEvent = stop;
    const dbx::OperationOutcome outcome = dbx::recoverScan(reader.workingPath, reader, {stop, progress});
    reader.ok = outcome.ok() ? 1 : 0;
  }
  // Block header offsets of a record, in list order.
  std::vector<uint32_t> blocks(size_t record) const {
    std::vector<uint32_t> out;
    for (const BlockRef& b : reader.blocksOf(record)) out.push_back(b.offset - dbx::kBlockHeaderSize);
    return out;
  }
  std::vector<int> lengths(size_t record) const {
    std::vector<int> out;
    for (const BlockRef& b : reader.blocksOf(record)) out.push_back(b.length);
    return out;
  }
};

using Offsets = std::vector<uint32_t>;

void block(DbxImage& image, uint32_t at, uint32_t next, int32_t used = 100, char fill = 'a') {
  image.writeBlock(at, 512, used, next, std::string(static_cast<size_t>(std::clamp(used, 0, 512)), fill));
}

TEST(RecoverScan, PutsAnEarlierFoundChainBehindTheChainThatRunsIntoIt) {
  DbxImage image;
  block(image, 0x3000, 0x1000, 100, 'a');
  block(image, 0x1000, 0x5000, 200, 'b');
  block(image, 0x5000, 0, 50, 'c');
  image.ensure(0x6000);
  ScannedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  ASSERT_EQ(base.reader.count(), 1);
  EXPECT_EQ(base.blocks(0), (Offsets{0x3000, 0x1000, 0x5000}));
  EXPECT_EQ(base.lengths(0), (std::vector<int>{100, 200, 50}));
  EXPECT_EQ(base.reader.records[0].size, 350);
  EXPECT_TRUE(base.reader.records[0].invalid);
  EXPECT_FALSE(base.reader.records[0].deleted);
  EXPECT_EQ(readThroughBlocks(base.reader, 0), std::string(100, 'a') + std::string(200, 'b') + std::string(50, 'c'));
}

TEST(RecoverScan, OrdersRecordsByEachMessagesLowestBlock) {
  DbxImage image;
  block(image, 0x4000, 0x2000);  // message A: lowest block 0x2000
  block(image, 0x2000, 0);
  block(image, 0x3000, 0x6000);  // message B: lowest block 0x3000
  block(image, 0x6000, 0);
  block(image, 0x7000, 0x1800);  // message C: lowest block 0x1800, deleted-looking first block
  block(image, 0x1800, 0);
  image.put32(0x7004, dbx::kDeletedBlockSize);
  image.ensure(0x8000);
  ScannedBase base(image);
  ASSERT_EQ(base.reader.count(), 3);
  EXPECT_EQ(base.blocks(0), (Offsets{0x7000, 0x1800}));
  EXPECT_EQ(base.blocks(1), (Offsets{0x4000, 0x2000}));
  EXPECT_EQ(base.blocks(2), (Offsets{0x3000, 0x6000}));
  for (const MessageRecord& r : base.reader.records) EXPECT_FALSE(r.deleted);
}

TEST(RecoverScan, UsedCountsBoundBlocksAndChains) {
  DbxImage image;
  block(image, 0x1000, 0, 0);      // nothing used: no message
  block(image, 0x2000, 0, 529);    // beyond a block: no message
  block(image, 0x3000, 0, -5);     // negative: no message
  block(image, 0x4000, 0, 513);    // counts as 512
  block(image, 0x5000, 0, 528);    // counts as 512
  block(image, 0x6000, 0x7000, 300);
  block(image, 0x7000, 0x8000, 600);  // stops the chain before it
  block(image, 0x8000, 0, 10);
  block(image, 0x9000, 0xA000, 300);
  block(image, 0xA000, 0, 0);         // stops the chain before it
  image.ensure(0xB000);
  ScannedBase base(image);
  ASSERT_EQ(base.reader.count(), 5);
  EXPECT_EQ(base.lengths(0), std::vector<int>{512});
  EXPECT_EQ(base.lengths(1), std::vector<int>{512});
  EXPECT_EQ(base.blocks(2), Offsets{0x6000});
  EXPECT_EQ(base.reader.records[2].size, 300);
  // The block after the oversized one was never reached through a link, so it stands alone.
  EXPECT_EQ(base.blocks(3), Offsets{0x8000});
  EXPECT_EQ(base.blocks(4), Offsets{0x9000});
}


TEST(RecoverScan, ChainRunningIntoAnotherChainsMiddleEndsBeforeIt) {
  DbxImage image;
  block(image, 0x1000, 0x2000, 100, 'a');
  block(image, 0x2000, 0x3000, 100, 'b');
  block(image, 0x3000, 0, 100, 'c');
  block(image, 0x4000, 0x2000, 100, 'd');  // into 0x2000, already a continuation
  image.ensure(0x5000);
  ScannedBase base(image);
  ASSERT_EQ(base.reader.count(), 2);
  EXPECT_EQ(base.blocks(0), (Offsets{0x1000, 0x2000, 0x3000}));
  EXPECT_EQ(base.blocks(1), Offsets{0x4000});
  EXPECT_EQ(base.reader.records[1].size, 100);
}

TEST(RecoverScan, BlockJoinedBehindANewStartIsNoLongerAStart) {
  // 0x2000 is put in front of 0x1000; 0x3000 also links to 0x1000, which by then lies inside a
  // message, so 0x3000 must not be put in front of 0x2000 (it never linked there).
  DbxImage image;
  block(image, 0x1000, 0, 100, 'a');
  block(image, 0x2000, 0x1000, 100, 'b');
  block(image, 0x3000, 0x1000, 100, 'c');
  image.ensure(0x4000);
  ScannedBase base(image);
  ASSERT_EQ(base.reader.count(), 2);
  EXPECT_EQ(base.blocks(0), (Offsets{0x2000, 0x1000}));
  EXPECT_EQ(base.reader.records[0].size, 200);
  EXPECT_EQ(base.blocks(1), Offsets{0x3000});
}

TEST(RecoverScan, JoinsManyChainsInFrontOfOneMessage) {
  // Blocks lying in descending order: every chain found later is the message's new beginning.
  DbxImage image;
  const uint32_t blocks = 3000;
  std::string expected;
  for (uint32_t i = 0; i < blocks; ++i) {
    const uint32_t at = 0x1000 + (blocks - 1 - i) * 0x100;
    const char fill = static_cast<char>('a' + i % 26);
    block(image, at, i + 1 < blocks ? at - 0x100 : 0, 200, fill);
    expected += std::string(200, fill);
  }
  ScannedBase base(image);
  ASSERT_EQ(base.reader.count(), 1);
  EXPECT_EQ(base.reader.blocksOf(0).size(), static_cast<size_t>(blocks));
  EXPECT_EQ(base.reader.records[0].size, static_cast<int>(200 * blocks));
  EXPECT_EQ(readThroughBlocks(base.reader, 0), expected);
}

TEST(RecoverScan, LoopingChainsTakeEachBlockOnce) {
  DbxImage image;
  block(image, 0x1000, 0x1000, 10, 'a');  // links to itself
  block(image, 0x2000, 0x3000, 10, 'b');  // 0x2000 -> 0x3000 -> 0x2000 ...
  block(image, 0x3000, 0x2000, 10, 'c');
  block(image, 0x5000, 0x4000, 10, 'd');  // a ring: 0x4000 -> 0x6000 -> 0x5000 -> 0x4000
  block(image, 0x6000, 0x5000, 10, 'e');
  block(image, 0x4000, 0x6000, 10, 'f');
  image.ensure(0x7000);
  ScannedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  ASSERT_EQ(base.reader.count(), 3);
  EXPECT_EQ(base.blocks(0), Offsets{0x1000});
  EXPECT_EQ(base.blocks(1), (Offsets{0x2000, 0x3000}));
  EXPECT_EQ(base.blocks(2), (Offsets{0x4000, 0x6000, 0x5000}));
  EXPECT_EQ(base.reader.records[2].size, 30);
}

TEST(RecoverScan, LinksThatLeadNowhereEndTheChain) {
  DbxImage image;
  block(image, 0x1000, 0x90000, 10);       // beyond the end of the file
  block(image, 0x2000, 0x80000000u, 10);   // negative as a file position
  block(image, 0x3000, 0x3800, 10);        // no block there
  image.put32(0x3800, 0x3801);
  block(image, 0x4000, 0x4FFC, 10);        // a candidate whose header runs past the end
  image.truncate(0x5000);
  image.put32(0x4FFC, 0x4FFC);
  image.ensure(0x5001);
  ScannedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  ASSERT_EQ(base.reader.count(), 4);
  for (size_t r = 0; r < 4; ++r) EXPECT_EQ(base.reader.blocksOf(r).size(), 1u);
}

TEST(RecoverScan, HugeOverlappingChainSizeDoesNotOverflow) {
  // Headers every 16 bytes, each block's data being the next headers: more than 2^31 bytes of
  // "message" in a 64 MiB file.
  const uint32_t blocks = (uint32_t{1} << 22) + 8;
  DbxImage image;
  image.ensure(size_t{blocks} * 16 + 16);
  for (uint32_t i = 0; i < blocks; ++i) {
    const uint32_t at = 16 * i;
    image.put32(at, at);
    image.put32(at + 4, 512);
    image.put32(at + 8, 512);
    image.put32(at + 12, i + 1 < blocks ? at + 16 : 0);
  }
  ScannedBase base(image);
  EXPECT_EQ(base.reader.ok, 1);
  ASSERT_GE(base.reader.count(), 1);
  EXPECT_EQ(base.reader.records[0].size, std::numeric_limits<int32_t>::max());
}

TEST(RecoverScan, BadInputsEndWithWhatTheyHold) {
  {
    DbxImage tiny;
    tiny.ensure(4);
    ScannedBase base(tiny);
    EXPECT_EQ(base.reader.ok, 1);
    EXPECT_EQ(base.reader.count(), 0);
  }
  {
    std::mt19937 random(3);
    DbxImage noise;
    noise.ensure(3 * 1000 * 1000);
    for (uint8_t& b : noise.bytes) b = static_cast<uint8_t>(random());
    ScannedBase base(noise);
    EXPECT_EQ(base.reader.ok, 1);
  }
  {
    // Every aligned word holds its own offset: the first few form chains (their used counts,
    // the words at +8, are small), the rest have used counts far beyond a block.
    DbxImage selfWords;
    for (uint32_t at = 0; at < 2 * 1000 * 1000; at += 4) selfWords.put32(at, at);
    ScannedBase base(selfWords);
    EXPECT_EQ(base.reader.ok, 1);
    for (size_t r = 0; r < static_cast<size_t>(base.reader.count()); ++r) {
      for (const BlockRef& b : base.reader.blocksOf(r)) EXPECT_LE(b.offset, 528u + 16u);
    }
  }
  {
    // The reader shows why: the file and the system's reason.
    ScannedBase missing(DbxImage{});
    MessageBaseReader reader;
    reader.baseFolder = missing.folder.path();
    reader.baseName = "absent.dbx";
    reader.recoverMode = 1;
    CapturedMessages shown;
    reader.openBase(false);
    EXPECT_EQ(reader.ok, 0);
    ASSERT_EQ(shown.texts.size(), 1u);
    EXPECT_EQ(shown.texts[0], "Cannot open dbx file " + reader.workingPath + "\nNo such file or directory");
  }
}


TEST(RecoverScan, JoinsBlocksWhoseHeadersStraddleAScanChunk) {
  // The first chunk ends at 1,000,000: the header at 999,990 runs past it, the one at 999,996
  // is tested only in the second chunk.
  DbxImage image;
  block(image, 0x1000, 0, 20, 'b');
  block(image, 999990, 0x1000, 6, 'a');
  image.ensure(2 * 1000 * 1000);
  DbxImage second;
  block(second, 0x1000, 0, 20, 'b');
  block(second, 999996, 0x1000, 30, 'c');
  second.ensure(2 * 1000 * 1000);
  for (const DbxImage* layout : {&image, &second}) {
    ScannedBase base(*layout);
    ASSERT_EQ(base.reader.count(), 1);
    EXPECT_EQ(base.blocks(0), (Offsets{layout == &image ? 999990u : 999996u, 0x1000}));
  }
}

}  // namespace
}  // namespace vireo::testing
