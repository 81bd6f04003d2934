// Recovery parsing the chains its scan puts together: the same table as the scan and joining
// followed by a reading of every record, whatever the layout or damage, with the file read
// about once.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string_view>

#include "dbx/layout.h"
#include "dbx/message_reading.h"
#include "dbx/recover_scan.h"
#include "dbx/recovered_marks.h"
#include "platform/manual_reset_event.h"
#include "tests/core/base_fixture.h"
#include "tests/core/same_tables.h"
#include "tests/core/stop_at_step.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

// How recovery read a base before its scan fed the parse: the scan and joining, then every record
// read again through its block list.
dbx::OperationOutcome recoverThenRead(const std::string& path, MessageBaseReader& reader,
                                      const dbx::OperationControl& control = {},
                                      const dbx::RecordParser& parse = &MessageBaseReader::parseHeadersInto) {
  dbx::OperationOutcome outcome = dbx::recoverScan(path, reader, control);
  if (!outcome.ok()) return outcome;
  return dbx::readMessages(path, reader, control, [&reader, &parse](const char* text, int length, int recordIndex) {
    return parse(text, length, reader.records[static_cast<size_t>(recordIndex)]);
  });
}

dbx::OperationOutcome recoverInOneRead(const std::string& path, MessageBaseReader& reader,
                                       const dbx::OperationControl& control = {},
                                       const dbx::RecordParser& parse = &MessageBaseReader::parseHeadersInto) {
  return dbx::recoverMessages(path, reader, control, parse);
}

// A "parse" that keeps a fingerprint of every byte it is given, so two tables agree only when
// every record was parsed from exactly the same bytes, body included.
int fingerprint(const char* text, int length, MessageRecord& record) {
  record.setTexts({}, {},
                  std::to_string(std::hash<std::string_view>{}(std::string_view(text, static_cast<size_t>(length)))) +
                      "/" + std::to_string(length),
                  {});
  return 1;
}

// Messages of every kind: small and past the parse limit (its chain crosses scan chunks), not a
// message at all, deleted, left out of the index, and blocks not filled to 512.
DbxWriter mixedWriter(int messages, BlockPlacement placement, bool large) {
  std::mt19937 random(11);
  DbxWriter writer;
  writer.setPlacement(placement);
  for (int i = 0; i < messages; ++i) {
    MessageSpec item;
    const std::string name = "m" + std::to_string(i);
    if (i % 11 == 3) item.text = "no header line ends in " + name;
    else if (large && i == 5) item.text = simpleMessage(name, std::string(1100000, 'L') + "\r\n");
    else item.text = simpleMessage(name, std::string(random() % 5000, 'b') + "\r\n");
    item.deleted = i % 7 == 2;
    item.dataPerBlock = i % 4 == 0 ? 300 : 512;
    if (i % 13 == 9) item.listing = MessageSpec::Listing::none;
    writer.add(item);
  }
  return writer;
}

// Damage that makes joining differ from the chains as they run through the file: a first block
// overwritten (the rest is a fragment), a link turned back into another message's blocks, and a
// used count out of range in the middle of a chain.
void damage(DbxImage& image, const DbxWriter& writer) {
  const std::vector<WrittenMessage>& messages = writer.messages();
  for (size_t m = 1; m < messages.size(); ++m) {
    const std::vector<uint32_t>& blocks = messages[m].blockOffsets;
    if (blocks.size() < 3) continue;
    if (m % 17 == 3) image.put32(blocks[0], 0);
    if (m % 19 == 5) image.put32(blocks[1] + dbx::kBlockNext, messages[m - 1].blockOffsets.back());
    if (m % 23 == 7) image.put32(blocks[1] + dbx::kBlockUsed, 9999);
  }
}

void markAsRecoveryDoes(const std::string& path, MessageBaseReader& reader) {
  dbx::markFragments(path, reader);
  (void)dbx::markUnindexed(path, reader, {});
}

// Small bases are parsed on the calling thread, larger ones on workers; chains run forward,
// interleave, run backward, cross the scan's chunks, or are damaged. Every one recovers to the
// table the scan and a reading after it give, marks and numbering included.
TEST(RecoveryOneRead, GivesTheTableOfARecoveryThenAReading) {
  struct Case {
    const char* name;
    int messages;
    BlockPlacement placement;
    bool large;
    bool damaged;
  };
  const Case cases[] = {
      {"small contiguous", 40, BlockPlacement::contiguous, false, false},
      {"contiguous", 500, BlockPlacement::contiguous, true, false},
      {"interleaved", 500, BlockPlacement::interleaved, true, false},
      {"reversed", 300, BlockPlacement::reversed, true, false},
      {"damaged contiguous", 500, BlockPlacement::contiguous, true, true},
      {"damaged interleaved", 300, BlockPlacement::interleaved, false, true},
      // Over 8 MB: scanned in parts, one stretch per core, chains crossing from one into the next.
      {"in parts, contiguous", 4000, BlockPlacement::contiguous, true, false},
      {"in parts, damaged interleaved", 4000, BlockPlacement::interleaved, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    const std::string path = folder.file("base.dbx");
    DbxWriter writer = mixedWriter(c.messages, c.placement, c.large);
    DbxImage image = writer.build();
    if (c.damaged) damage(image, writer);
    image.save(path);

    MessageBaseReader twoReads;
    ASSERT_TRUE(recoverThenRead(path, twoReads).ok());
    markAsRecoveryDoes(path, twoReads);
    MessageBaseReader oneRead;
    const dbx::OperationOutcome outcome = recoverInOneRead(path, oneRead);
    ASSERT_TRUE(outcome.ok());
    markAsRecoveryDoes(path, oneRead);
    expectSameTables(oneRead, twoReads);
    EXPECT_GT(oneRead.validCount, c.messages / 2);
    if (c.messages > 1000) {
      ASSERT_GT(image.size(), 8u << 20);
    }
    // The chains ran forward and whole through the scan: none is read again.
    if (c.placement == BlockPlacement::contiguous && !c.damaged) {
      EXPECT_LE(outcome.bytesFetched, image.size() + image.size() / 10);
    }

    MessageBaseReader bytesOfTwoReads;
    ASSERT_TRUE(recoverThenRead(path, bytesOfTwoReads, {}, fingerprint).ok());
    MessageBaseReader bytesOfOneRead;
    ASSERT_TRUE(recoverInOneRead(path, bytesOfOneRead, {}, fingerprint).ok());
    expectSameTables(bytesOfOneRead, bytesOfTwoReads);
  }
}

// Recovery in the window goes the one-read way and lists what the two reads list.
TEST(RecoveryOneRead, TheReadersRecoveryIsTheOneRead) {
  ScratchDir folder;
  DbxWriter writer = mixedWriter(200, BlockPlacement::interleaved, true);
  DbxImage image = writer.build();
  damage(image, writer);
  image.save(folder.file("base.dbx"));
  MessageBaseReader opened;
  opened.baseFolder = folder.path();
  opened.baseName = "base.dbx";
  opened.recoverMode = kRecoverModeRecover;
  opened.openBase(false);
  ASSERT_EQ(opened.ok, kOperationOk);
  MessageBaseReader twoReads;
  ASSERT_TRUE(recoverThenRead(folder.file("base.dbx"), twoReads).ok());
  markAsRecoveryDoes(folder.file("base.dbx"), twoReads);
  expectSameTables(opened, twoReads);
}

// Joining takes a block away from a chain as the scan saw it: an earlier chain runs past it and
// links back to it. The message that starts at the same block is then shorter than the chain the
// scan parsed, and is read on its own: the part it lost would add an attachment.
TEST(RecoveryOneRead, AChainThatJoiningCutsShortIsReadAgain) {
  const std::string first = "From: s@example.com\r\nSubject: first part\r\n\r\nbody\r\n";
  const std::string lost = "Content-Disposition: attachment; filename=\"a.txt\"\r\n";
  const std::string other = "From: a@example.com\r\nSubject: other\r\n\r\n";
  DbxImage image;
  image.writeBlock(0x1000, 512, static_cast<int32_t>(other.size()), 0x3000, other);  // runs past 0x2000 ...
  image.writeBlock(0x1800, 512, static_cast<int32_t>(first.size()), 0x2000, first);
  image.writeBlock(0x2000, 512, static_cast<int32_t>(lost.size()), 0, lost);
  image.writeBlock(0x3000, 512, 20, 0x2000, std::string(20, 'x'));  // ... and links back to it
  image.ensure(0x4000);
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  image.save(path);
  MessageBaseReader twoReads;
  ASSERT_TRUE(recoverThenRead(path, twoReads).ok());
  MessageBaseReader oneRead;
  ASSERT_TRUE(recoverInOneRead(path, oneRead).ok());
  expectSameTables(oneRead, twoReads);
  ASSERT_EQ(oneRead.count(), 2);
  EXPECT_EQ(oneRead.row(1).subject(), "first part");
  EXPECT_EQ(oneRead.row(1).attachment, 0);
}

// A large base's scan in parts stopped: no part's candidates or parses are kept, as a scan in one
// go stopped leaves nothing.
TEST(RecoveryOneRead, AStopDuringAScanInPartsLeavesNothing) {
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  mixedWriter(4000, BlockPlacement::contiguous, true).build().save(path);
  for (const uint32_t position : {1u, 50u}) {
    SCOPED_TRACE(position);
    ManualResetEvent stop;
    StopPastPosition bar(stop, position);
    MessageBaseReader reader;
    EXPECT_EQ(recoverInOneRead(path, reader, {&stop, &bar}).end, dbx::OperationOutcome::End::stopped);
    EXPECT_EQ(reader.count(), 0);
  }
}

// A stop during the scan or the joining leaves the table as the scan alone leaves it, with no
// parse of a chain put in, whichever thread was parsing it.
TEST(RecoveryOneRead, AStopBeforeTheReadingLeavesTheTableOfTheScan) {
  ScratchDir folder;
  const std::string path = folder.file("base.dbx");
  mixedWriter(500, BlockPlacement::contiguous, true).build().save(path);
  // The scan steps 100 times over the file, then joining once per candidate.
  for (const int step : {3, 60, 100, 400, 2500}) {
    SCOPED_TRACE(step);
    ManualResetEvent stopBefore;
    StopAtStep barBefore(stopBefore, step);
    MessageBaseReader twoReads;
    EXPECT_EQ(recoverThenRead(path, twoReads, {&stopBefore, &barBefore}).end, dbx::OperationOutcome::End::stopped);
    ManualResetEvent stop;
    StopAtStep bar(stop, step);
    MessageBaseReader oneRead;
    EXPECT_EQ(recoverInOneRead(path, oneRead, {&stop, &bar}).end, dbx::OperationOutcome::End::stopped);
    expectSameTables(oneRead, twoReads);
    for (const MessageRecord& record : oneRead.records) EXPECT_TRUE(record.invalid && record.subject().empty());
  }
}

}  // namespace
}  // namespace vireo::testing
