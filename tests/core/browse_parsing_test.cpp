// Parsing the headers while the browse walks the chains: the same table as reading the messages
// after the browse, in one read of the file, and nothing parsed when the browse ends early.
#include <gtest/gtest.h>

#include <random>

#include "dbx/index_browse.h"
#include "dbx/message_reading.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "tests/core/base_fixture.h"
#include "tests/core/same_tables.h"
#include "tests/core/stop_at_step.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

dbx::HeaderParser parserOf(MessageBaseReader& reader) {
  return [&reader](const char* text, int length, int recordIndex) { return reader.parseHeaders(text, length, recordIndex); };
}

// Messages of every kind a browse meets: small and large (past the parse limit), not a message
// at all, empty, deleted, loose, through the data area, and with blocks not filled to 512.
DbxImage mixedBase(int messages, BlockPlacement placement) {
  std::mt19937 random(7);
  DbxWriter writer;
  writer.setPlacement(placement);
  for (int i = 0; i < messages; ++i) {
    MessageSpec item;
    const std::string name = "m" + std::to_string(i);
    switch (i % 11) {
      case 3: item.text = "no header line ends in " + name; break;
      case 5: item.text = simpleMessage(name, std::string(1100000, 'L') + "\r\n"); break;
      case 6: item.text = ""; break;
      default: item.text = simpleMessage(name, std::string(random() % 3000, 'b') + "\r\n");
    }
    if (i % 11 == 5 && i > 30) item.text = simpleMessage(name);  // a few large ones are enough
    item.deleted = i % 7 == 2;
    item.indirectAttribute = i % 5 == 1;
    item.dataPerBlock = i % 4 == 0 ? 300 : 512;
    if (i % 13 == 9) {
      item.listing = MessageSpec::Listing::loose;
      item.chainSlot = i % 40;
    }
    writer.add(item);
  }
  return writer.build();
}

// Small bases are parsed on the calling thread, large ones on workers; both give what the browse
// and the message reading after it give, whatever the order of the blocks in the file.
TEST(BrowseParsing, GivesTheTableOfABrowseThenAReading) {
  for (const int messages : {40, 700}) {
    for (const BlockPlacement placement : {BlockPlacement::contiguous, BlockPlacement::interleaved}) {
      SCOPED_TRACE(std::to_string(messages) + (placement == BlockPlacement::contiguous ? " contiguous" : " interleaved"));
      ScratchDir folder;
      const DbxImage image = mixedBase(messages, placement);
      const std::string path = folder.file("base.dbx");
      image.save(path);

      MessageBaseReader twoPasses;
      ASSERT_TRUE(dbx::browseIndex(path, twoPasses, {}).outcome.ok());
      ASSERT_TRUE(dbx::readMessages(path, twoPasses, {}, parserOf(twoPasses)).ok());

      MessageBaseReader onePass;
      const dbx::HeaderParser parse = parserOf(onePass);
      const dbx::BrowseResult browse = dbx::browseIndex(path, onePass, {}, &parse);
      ASSERT_TRUE(browse.outcome.ok());
      EXPECT_FALSE(browse.browseFailed);
      expectSameTables(onePass, twoPasses);
      EXPECT_GT(onePass.validCount, messages / 2);
      if (placement == BlockPlacement::contiguous) {
        EXPECT_LE(browse.outcome.bytesFetched, image.size() + image.size() / 10);
      }
    }
  }
}

// Blocks of consecutive messages alternate through the file, so each message's chain jumps
// across it; the pages one message's blocks brought in still hold the next messages' blocks, so
// the file is fetched about once, not a page per block.
TEST(BrowseParsing, AFragmentedBaseIsFetchedAboutOnce) {
  std::mt19937 random(3);
  DbxWriter writer;
  writer.setPlacement(BlockPlacement::interleaved);
  for (int i = 0; i < 400; ++i)
    writer.add(simpleMessage("m" + std::to_string(i), std::string(2000 + random() % 9000, 'f') + "\r\n"));
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  const DbxImage image = writer.build();
  image.save(path);
  MessageBaseReader reader;
  const dbx::HeaderParser parse = parserOf(reader);
  const dbx::BrowseResult browse = dbx::browseIndex(path, reader, {}, &parse);
  ASSERT_TRUE(browse.outcome.ok());
  EXPECT_EQ(reader.validCount, 400);
  // A page per block would fetch it several times over.
  EXPECT_LE(browse.outcome.bytesFetched, image.size() + image.size() / 4);
}

bool nothingParsed(const MessageBaseReader& reader) {
  for (const MessageRecord& r : reader.records)
    if (!r.invalid || !r.subject().empty() || !r.from().empty() || r.time != 0 || r.number != 0) return false;
  return reader.validCount == 0;
}

// A browse stopped or failed during its walk leaves the records it made unparsed, as when the
// reading came only after a completed browse; parses already under way on workers are undone.
TEST(BrowseParsing, AWalkEndedEarlyLeavesNoRecordParsed) {
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  DbxImage image = mixedBase(700, BlockPlacement::contiguous);
  image.save(path);
  {
    MessageBaseReader reader;
    ManualResetEvent stop;
    StopAtStep progress(stop, 600);
    const dbx::HeaderParser parse = parserOf(reader);
    const dbx::BrowseResult browse = dbx::browseIndex(path, reader, {&stop, &progress}, &parse);
    EXPECT_EQ(browse.outcome.end, dbx::OperationOutcome::End::stopped);
    EXPECT_FALSE(browse.browseFailed);
    EXPECT_GT(reader.count(), 400);
    EXPECT_TRUE(nothingParsed(reader));
  }
  // The last message's first block names another offset than its own: a bad format, found
  // after most messages have been parsed.
  DbxWriter writer;
  for (int i = 0; i < 700; ++i) writer.add(simpleMessage("m" + std::to_string(i), std::string(2000, 'x') + "\r\n"));
  DbxImage broken = writer.build();
  broken.put32(writer.messages().back().blockOffsets.front() + dbx::kBlockNext, 0x7FFFFFF0);
  broken.save(path);
  MessageBaseReader reader;
  const dbx::HeaderParser parse = parserOf(reader);
  const dbx::BrowseResult browse = dbx::browseIndex(path, reader, {}, &parse);
  EXPECT_EQ(browse.outcome.end, dbx::OperationOutcome::End::badFormat);
  EXPECT_TRUE(browse.browseFailed);
  EXPECT_EQ(reader.count(), 699);
  EXPECT_TRUE(nothingParsed(reader));
}

}  // namespace
}  // namespace vireo::testing
