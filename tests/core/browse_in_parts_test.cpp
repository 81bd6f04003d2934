// A large base browsed with a parser of records is walked in parts, each on a thread of its own
// that parses what it walked. It must give, field by field, what the walk in one go gives; what
// a part cannot decide alone (a message two parts list, a failure, loose records) is left to the
// walk in one go.
#include <gtest/gtest.h>

#include <random>

#include "dbx/index_browse.h"
#include "dbx/layout.h"
#include "platform/failure_reason.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "tests/core/base_fixture.h"
#include "tests/core/same_tables.h"
#include "tests/core/stop_at_step.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

// Large enough to be walked in parts: over 4 MiB and 2,000 messages.
constexpr int kMessages = 2400;

struct LargeBase {
  DbxWriter writer;
  DbxImage image;
};

// Messages of 0.5-3.5 KiB with a few of every kind the walk meets: deleted, through the data
// area, blocks not filled to 512, one past the parse limit, not a message at all.
LargeBase largeBase(BlockPlacement placement, bool withLooseRecords) {
  std::mt19937 random(11);
  LargeBase base;
  base.writer.setPlacement(placement);
  for (int i = 0; i < kMessages; ++i) {
    MessageSpec item;
    const std::string name = "m" + std::to_string(i);
    item.text = simpleMessage(name, std::string(500 + random() % 3000, 'b') + "\r\n");
    if (i % 97 == 3) item.text = "no header line ends in " + name;
    if (i == 1500) item.text = simpleMessage(name, std::string(1100000, 'L') + "\r\n");
    item.deleted = i % 7 == 2;
    item.indirectAttribute = i % 5 == 1;
    item.dataPerBlock = i % 4 == 0 ? 300 : 512;
    if (withLooseRecords && i % 301 == 9) {
      item.listing = MessageSpec::Listing::loose;
      item.chainSlot = i % 40;
    }
    base.writer.add(item);
  }
  base.image = base.writer.build();
  return base;
}

struct Browsed {
  MessageBaseReader reader;
  dbx::BrowseResult result;
};

void browseInParts(const std::string& path, Browsed& into, const dbx::OperationControl& control = {}) {
  into.result = dbx::browseIndex(path, into.reader, control, dbx::RecordParser(&MessageBaseReader::parseHeadersInto));
}

void browseInOneGo(const std::string& path, Browsed& into, const dbx::OperationControl& control = {}) {
  MessageBaseReader& reader = into.reader;
  const dbx::HeaderParser parse = [&reader](const char* text, int length, int recordIndex) {
    return reader.parseHeaders(text, length, recordIndex);
  };
  into.result = dbx::browseIndex(path, reader, control, &parse);
}

void expectSameBrowses(const Browsed& got, const Browsed& want) {
  EXPECT_EQ(got.result.outcome.end, want.result.outcome.end);
  EXPECT_EQ(describeFailure(got.result.outcome.reason), describeFailure(want.result.outcome.reason));
  EXPECT_EQ(got.result.browseFailed, want.result.browseFailed);
  EXPECT_EQ(got.reader.capacity, want.reader.capacity);
  expectSameTables(got.reader, want.reader);
}

TEST(BrowseInParts, GivesTheTableOfTheWalkInOneGo) {
  for (const BlockPlacement placement : {BlockPlacement::contiguous, BlockPlacement::interleaved}) {
    for (const bool loose : {false, true}) {
      SCOPED_TRACE(std::string(placement == BlockPlacement::contiguous ? "contiguous" : "interleaved") +
                   (loose ? ", with loose records" : ""));
      ScratchDir folder;
      const std::string path = folder.file("base.dbx");
      const LargeBase base = largeBase(placement, loose);
      base.image.save(path);
      ASSERT_GT(base.image.size(), 4u << 20);

      Browsed inParts;
      browseInParts(path, inParts);
      Browsed oneGo;
      browseInOneGo(path, oneGo);
      ASSERT_TRUE(oneGo.result.outcome.ok());
      expectSameBrowses(inParts, oneGo);
      EXPECT_GT(inParts.reader.validCount, kMessages * 9 / 10);
      // Each part reads its own stretch: the file is still fetched about once. (Loose records
      // send it to the walk in one go, which reads it again.)
      if (placement == BlockPlacement::contiguous && !loose) {
        EXPECT_LE(inParts.result.outcome.bytesFetched, base.image.size() + base.image.size() / 10);
      }
    }
  }
}

TEST(BrowseInParts, LeavesWhatAPartCannotDecideToTheWalkInOneGo) {
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  LargeBase base = largeBase(BlockPlacement::contiguous, false);
  const std::vector<WrittenMessage>& written = base.writer.messages();
  const auto check = [&](const char* what) {
    SCOPED_TRACE(what);
    base.image.save(path);
    Browsed inParts;
    browseInParts(path, inParts);
    Browsed oneGo;
    browseInOneGo(path, oneGo);
    expectSameBrowses(inParts, oneGo);
  };
  // A late entry (message 2001, its data offset stored through the data area) names the first
  // message's data: the walk in one go lists it once, a part of its own would list it again.
  ASSERT_NE(written[2001].indirectWordOffset, 0u);
  base.image.put32(written[2001].indirectWordOffset, written[0].blockOffsets.front());
  check("a message listed by entries in two parts");
  // The last message's first block links far past the end of the file: a bad format, found in
  // the last part after the others have parsed theirs.
  base.image.put32(written.back().blockOffsets.front() + dbx::kBlockNext, 0x7FFFFFF0);
  check("a chain broken in the last part");
}

// Stopped, the table holds a run of records from the first entry on, none of them parsed, as a
// walk in one go stopped there would.
TEST(BrowseInParts, AStopLeavesNoRecordParsed) {
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  largeBase(BlockPlacement::contiguous, false).image.save(path);
  for (const uint32_t position : {0u, 512u}) {
    SCOPED_TRACE(position);
    ManualResetEvent stop;
    if (position == 0) stop.set();
    StopPastPosition progress(stop, position == 0 ? UINT32_MAX : position);
    Browsed inParts;
    browseInParts(path, inParts, {&stop, &progress});
    EXPECT_EQ(inParts.result.outcome.end, dbx::OperationOutcome::End::stopped);
    EXPECT_FALSE(inParts.result.browseFailed);
    EXPECT_GE(inParts.reader.count(), 1);
    EXPECT_LT(inParts.reader.count(), kMessages);
    EXPECT_EQ(inParts.reader.validCount, 0);
    Browsed whole;
    browseInOneGo(path, whole);
    for (int r = 0; r < inParts.reader.count(); ++r) {
      const MessageRecord& record = inParts.reader.row(r);
      ASSERT_TRUE(record.invalid) << r;
      EXPECT_TRUE(record.subject().empty()) << r;
      EXPECT_EQ(record.size, whole.reader.row(r).size) << r;
      EXPECT_EQ(record.deleted, whole.reader.row(r).deleted) << r;
    }
  }
}

}  // namespace
}  // namespace vireo::testing
