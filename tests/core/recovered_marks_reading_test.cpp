// The marks follow the index's chains through recovery's block lists instead of the file: they
// must come out exactly as when every listed chain was walked through the file, on sound,
// damaged and carved bases, and read only a small part of the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dbx/base_file.h"
#include "dbx/data_block.h"
#include "dbx/image_carve.h"
#include "dbx/index_browse.h"
#include "dbx/layout.h"
#include "dbx/message_reading.h"
#include "dbx/recover_scan.h"
#include "dbx/recovered_marks.h"
#include "reader/image_carve_run.h"
#include "reader/message_base_reader.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

// The marks as they were made before: block headers and first bytes read one record at a time,
// and a whole browse of the index walking every listed chain through the file.
namespace reference {

bool beginsWithHeaderField(dbx::BaseFile& file, const BlockRef& first) {
  uint8_t bytes[77] = {};
  const size_t length = std::min<size_t>(sizeof bytes, static_cast<size_t>(std::max<int16_t>(first.length, 0)));
  if (length == 0 || !file.readExact(first.offset, bytes, length)) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] == ':') return i > 0;
    if (bytes[i] < 33 || bytes[i] > 126) return false;
  }
  return false;
}

void markFragments(const std::string& path, MessageTable& table) {
  dbx::BaseFile file;
  if (!file.open(path)) return;
  for (size_t i = 0; i < table.records.size(); ++i) {
    MessageRecord& record = table.records[i];
    const BlockSpan blocks = table.blocksOf(i);
    record.fragment = false;
    if (blocks.empty() || record.size <= 0 || record.size >= dbx::kMaxMessageSize) continue;
    dbx::BlockHeader first, last;
    if (!dbx::readBlockHeader(file, blocks.front().offset - dbx::kBlockHeaderSize, first) ||
        !dbx::readBlockHeader(file, blocks.back().offset - dbx::kBlockHeaderSize, last))
      continue;
    const bool messageBlock = first.sizeField == dbx::kNormalBlockSize || first.sizeField == dbx::kDeletedBlockSize;
    const bool headless = !beginsWithHeaderField(file, blocks.front());
    const bool inFile = std::all_of(blocks.begin(), blocks.end(), [&](const BlockRef& b) {
      return b.length >= 0 && uint64_t{b.offset} + static_cast<uint64_t>(b.length) <= file.size();
    });
    if (record.invalid) {
      if (messageBlock && headless && inFile) {
        record.clearTexts();
        record.invalid = false;
        record.fragment = true;
      }
    } else if (last.next != 0 || headless) {
      record.fragment = true;
    }
  }
  table.validCount = 0;
  for (MessageRecord& record : table.records)
    if (!record.invalid) record.number = table.validCount++;
}

bool markUnindexed(const std::string& path, MessageTable& table) {
  MessageTable listed;
  const dbx::BrowseResult browse = dbx::browseIndex(path, listed, {});
  if (!browse.outcome.ok() || browse.browseFailed) return false;
  std::vector<uint32_t> reached;
  for (const BlockRef& block : listed.blocks) reached.push_back(block.offset);
  std::sort(reached.begin(), reached.end());
  for (size_t i = 0; i < table.records.size(); ++i) {
    const BlockSpan blocks = table.blocksOf(i);
    table.records[i].unindexed = !blocks.empty() && !std::binary_search(reached.begin(), reached.end(), blocks.front().offset);
  }
  return true;
}

}  // namespace reference

struct Marked {
  MessageTable table;
  bool indexRead = false;
};

// What recovery leaves before the marks: records, block lists and parsed headers.
MessageTable recovered(const std::string& path) {
  MessageBaseReader reader;
  reader.workingPath = path;
  if (dbx::recoverScan(path, reader, {}).ok())
    (void)dbx::readMessages(path, reader, {}, [&reader](const char* text, int length, int recordIndex) {
      return reader.parseHeaders(text, length, recordIndex);
    });
  return static_cast<const MessageTable&>(reader);
}

// The same table through recovery's one read, with what it saw of the records' ends.
MessageTable recoveredInOneRead(const std::string& path, dbx::SeenRecordEnds& seen) {
  MessageBaseReader reader;
  reader.workingPath = path;
  (void)dbx::recoverMessages(path, reader, {}, &MessageBaseReader::parseHeadersInto, &seen);
  return static_cast<const MessageTable&>(reader);
}

// Compares the marks made each way on the base at path; returns the records marked not in the
// index (by the reference) so cases can check they test something.
int expectSameMarks(const std::string& path) {
  const MessageTable before = recovered(path);
  Marked expected{before, false}, separate{before, false}, together{before, false};
  reference::markFragments(path, expected.table);
  expected.indexRead = reference::markUnindexed(path, expected.table);
  dbx::markFragments(path, separate.table);
  separate.indexRead = dbx::markUnindexed(path, separate.table, {});
  together.indexRead = dbx::markRecovered(path, together.table, {});
  // As the reader makes them: from what recovery's scan and joining saw, reading only the rest.
  dbx::SeenRecordEnds seen;
  const MessageTable oneRead = recoveredInOneRead(path, seen);
  Marked fromScan{oneRead, false};
  fromScan.indexRead = dbx::markRecovered(path, fromScan.table, {}, nullptr, &seen);
  // Half of what it saw (as when the assembly ran out of memory, or joining did not keep the
  // links): the rest is read, each record's bytes from wherever they come.
  dbx::SeenRecordEnds startsOnly = seen, linksOnly = seen;
  startsOnly.lastNext.clear();
  for (size_t i = 0; i < linksOnly.starts.size(); i += 2) linksOnly.starts[i].length = -1;
  Marked fromStarts{oneRead, false}, fromLinks{oneRead, false};
  fromStarts.indexRead = dbx::markRecovered(path, fromStarts.table, {}, nullptr, &startsOnly);
  fromLinks.indexRead = dbx::markRecovered(path, fromLinks.table, {}, nullptr, &linksOnly);

  int unindexed = 0;
  for (const Marked* made : {&separate, &together, &fromScan, &fromStarts, &fromLinks}) {
    SCOPED_TRACE(made == &separate   ? "marked one after the other"
                 : made == &together ? "marked together"
                 : made == &fromScan ? "from the scan"
                                     : "from part of the scan");
    EXPECT_EQ(made->indexRead, expected.indexRead);
    EXPECT_EQ(made->table.validCount, expected.table.validCount);
    EXPECT_EQ(made->table.records.size(), expected.table.records.size());
    int differing = 0;
    for (size_t i = 0; i < expected.table.records.size() && differing < 5; ++i) {
      const MessageRecord& want = expected.table.records[i];
      const MessageRecord& got = made->table.records[i];
      if (got.invalid == want.invalid && got.fragment == want.fragment && got.unindexed == want.unindexed &&
          got.number == want.number && got.subject() == want.subject())
        continue;
      ++differing;
      ADD_FAILURE() << "record " << i << ": invalid " << got.invalid << "/" << want.invalid << ", fragment "
                    << got.fragment << "/" << want.fragment << ", not in the index " << got.unindexed << "/"
                    << want.unindexed;
    }
  }
  for (const MessageRecord& r : expected.table.records) unindexed += r.unindexed ? 1 : 0;
  return unindexed;
}

int expectSameMarks(const DbxImage& image) {
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  image.save(path);
  return expectSameMarks(path);
}

std::string body(std::mt19937& random, int index) {
  return "body of message " + std::to_string(index) + "\r\n" +
         std::string(random() % 5000, static_cast<char>('a' + index % 26)) + "\r\n";
}

// Listed, loose, deleted and unlisted messages of one to a dozen blocks, some with the data
// offset through the data area, some not messages at all.
struct MixedBase {
  DbxImage image;
  std::vector<WrittenMessage> messages;
  uint32_t root = 0;

  explicit MixedBase(BlockPlacement placement, int count = 150, uint32_t seed = 5) {
    DbxWriter writer;
    writer.setPlacement(placement);
    writer.setEntriesPerNode(5);
    std::mt19937 random(seed);
    for (int i = 0; i < count; ++i) {
      MessageSpec item;
      item.text = simpleMessage("message " + std::to_string(i), body(random, i));
      // Too short to hold a header, some of them deleted: kept as fragments, as their first block
      // is a message's first block.
      if (i % 17 == 8) item.text = "junk";
      item.deleted = i % 9 == 4;
      item.listing = i % 11 == 6 ? MessageSpec::Listing::none
                     : i % 13 == 7 ? MessageSpec::Listing::loose
                                   : MessageSpec::Listing::index;
      item.chainSlot = i % 5;
      item.indirectAttribute = i % 4 == 1;
      item.dataPerBlock = i % 3 == 0 ? 512 : 100 + static_cast<int>(random() % 400);
      writer.add(item);
    }
    image = writer.build();
    messages = writer.messages();
    root = writer.rootOffset();
  }
};

TEST(RecoveredMarksReading, SameMarksOnSoundBasesOfEveryPlacement) {
  for (BlockPlacement placement : {BlockPlacement::contiguous, BlockPlacement::interleaved, BlockPlacement::reversed}) {
    SCOPED_TRACE(static_cast<int>(placement));
    const MixedBase base(placement);
    EXPECT_GT(expectSameMarks(base.image), 10);
  }
}

// Damage as old disks and tools leave it, at random, over many seeds: links that now lead into
// another message, back into their own chain, or nowhere; blocks whose own offset is gone (the
// browse walks on through them, recovery does not); zeroed pages; a cut file.
TEST(RecoveredMarksReading, SameMarksWhereRecoveryAndTheIndexFollowLinksDifferently) {
  const MixedBase base(BlockPlacement::interleaved, 120);
  std::vector<uint32_t> blocks;
  for (const WrittenMessage& m : base.messages) blocks.insert(blocks.end(), m.blockOffsets.begin(), m.blockOffsets.end());
  for (unsigned seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    DbxImage image = base.image;
    auto anyBlock = [&] { return blocks[random() % blocks.size()]; };
    for (int d = 0; d < 6; ++d) {
      switch ((seed + static_cast<unsigned>(d)) % 6) {
        case 0: image.put32(anyBlock() + dbx::kBlockNext, anyBlock()); break;       // into another chain
        case 1: image.put32(anyBlock() + dbx::kBlockNext, 0); break;                // cut
        case 2: image.put32(anyBlock() + dbx::kBlockSelf, 0); break;                // own offset gone
        case 3: image.put32(anyBlock() + dbx::kBlockNext, anyBlock() + 8); break;   // between blocks
        case 4: image.put32(anyBlock() + dbx::kBlockUsed, 600 + random() % 40000); break;  // odd length
        default: {
          const uint32_t page = static_cast<uint32_t>(random() % (image.size() / 4096)) * 4096;
          for (uint32_t at = page; at < page + 4096 && at < image.size(); ++at) image.put8(at, 0);
        }
      }
    }
    if (seed % 8 == 0) image.truncate(image.size() / 10 * 7);
    (void)expectSameMarks(image);
  }
}

TEST(RecoveredMarksReading, SameMarksWhereAListedChainRunsThroughBlocksRecoveryLeftOut) {
  const MixedBase base(BlockPlacement::contiguous, 40);
  DbxImage image = base.image;
  // A listed message whose middle block lost its own offset: recovery splits it in two, the
  // index still reaches the tail through the damaged block, so the tail is listed.
  const WrittenMessage* split = nullptr;
  for (const WrittenMessage& m : base.messages)
    if (m.recordOffset != 0 && m.blockOffsets.size() >= 4 && !split) split = &m;
  ASSERT_NE(split, nullptr);
  image.put32(split->blockOffsets[1], 0);
  // A listed message whose chain loops back to its own first block, and one whose last block
  // links to another listed message's first block (recovery joins the two; the index reaches
  // the second both ways).
  const WrittenMessage& loop = base.messages[2];
  image.put32(loop.blockOffsets.back() + dbx::kBlockNext, loop.blockOffsets.front());
  const WrittenMessage& joined = base.messages[10];
  image.put32(joined.blockOffsets.back() + dbx::kBlockNext, base.messages[25].blockOffsets.front());
  // A listed message's first block lost its own offset: the index no longer reaches it, and
  // recovery starts that message at its second block.
  image.put32(base.messages[30].blockOffsets.front(), 0);
  (void)expectSameMarks(image);
}

// An index the browse refuses, whether in its nodes or in a listed chain that leads out of the
// file, marks nothing: the reader then says the index could not be read.
TEST(RecoveredMarksReading, AnIndexTheBrowseRefusesMarksNothing) {
  const MixedBase base(BlockPlacement::interleaved, 60);
  const WrittenMessage& listed = base.messages[3];
  ASSERT_NE(listed.recordOffset, 0u);
  std::vector<DbxImage> damaged(3, base.image);
  damaged[0].put32(base.root, 0x12345678);  // the root no longer names itself
  // A listed chain's link leads past the end of the file: recovery ends the message there, the
  // browse fails on it.
  damaged[1].put32(listed.blockOffsets.front() + dbx::kBlockNext, base.image.size() + 4096);
  // The last block of a listed message does: the browse leaves recovery's list there and fails.
  damaged[2].put32(listed.blockOffsets.back() + dbx::kBlockNext, base.image.size() + 4096);
  for (size_t d = 0; d < damaged.size(); ++d) {
    SCOPED_TRACE(d);
    ScratchDir folder;
    const std::string path = folder.file("base.dbx");
    damaged[d].save(path);
    EXPECT_EQ(expectSameMarks(path), 0);
    MessageTable table = recovered(path);
    EXPECT_FALSE(dbx::markRecovered(path, table, {}));
  }
}

TEST(RecoveredMarksReading, SameMarksOnBasesCarvedFromDiskImages) {
  for (CarveCase which : {CarveCase::threePieces, CarveCase::headerOverwritten, CarveCase::cutShort,
                          CarveCase::interleaved}) {
    SCOPED_TRACE(static_cast<int>(which));
    const CarveScenario scenario = buildCarveScenario(which, 40);
    ScratchDir folder;
    const std::string imagePath = folder.file("disk.img");
    scenario.image.save(imagePath);
    std::vector<dbx::FoundBase> bases;
    ASSERT_TRUE(dbx::findBases(imagePath, bases, {}).ok());
    ASSERT_FALSE(bases.empty());
    for (size_t k = 0; k < bases.size(); ++k) {
      const std::string path = folder.file("carved-" + std::to_string(k) + ".dbc");
      ASSERT_FALSE(writeFoundBase(imagePath, bases[k], path).has_value());
      (void)expectSameMarks(path);
    }
  }
}

TEST(RecoveredMarksReading, ReadsASmallPartOfALargeBase) {
  DbxWriter writer;
  std::mt19937 random(3);
  for (int i = 0; i < 3000; ++i) {
    MessageSpec item;
    item.text = simpleMessage("message " + std::to_string(i), body(random, i) + std::string(random() % 12000, 'x'));
    item.listing = i % 7 == 0 ? MessageSpec::Listing::none : MessageSpec::Listing::index;
    writer.add(item);
  }
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  writer.build().save(path);
  const uint64_t size = std::filesystem::file_size(path);
  MessageTable table = recovered(path);
  dbx::MarksReading reading;
  ASSERT_TRUE(dbx::markRecovered(path, table, {}, &reading));
  EXPECT_LT(reading.bytesFetched, size / 5) << "of " << size;
  int unindexed = 0;
  for (const MessageRecord& r : table.records) unindexed += r.unindexed ? 1 : 0;
  EXPECT_EQ(unindexed, 3000 / 7 + 1);

  // From what recovery saw, the marks read the index and nothing of the messages.
  dbx::SeenRecordEnds seen;
  MessageTable oneRead = recoveredInOneRead(path, seen);
  dbx::MarksReading fromScan;
  ASSERT_TRUE(dbx::markRecovered(path, oneRead, {}, &fromScan, &seen));
  EXPECT_LT(fromScan.bytesFetched, size / 50) << "of " << size;
}

}  // namespace
}  // namespace vireo::testing
