// Reading each message's first megabyte through its block list, and numbering the valid ones.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "dbx/index_browse.h"
#include "dbx/message_reading.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"
#include "tests/core/base_fixture.h"
#include "tests/core/stop_at_step.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

// A working file holding message texts back to back, and a reader whose records point into it
// in blocks of up to 512 bytes.
struct HandMadeBase {
  ScratchDir folder;
  DbxImage file;
  MessageBaseReader reader;

  HandMadeBase() { reader.workingPath = folder.file("work.dbx"); }

  void add(const std::string& text, int sizeOverride = -1) {
    const uint32_t at = file.reserve(text.size() + 1);
    file.putBytes(at, text);
    BlockList blocks;
    for (size_t done = 0; done < text.size(); done += 512)
      blocks.entries.push_back(BlockRef{at + static_cast<uint32_t>(done),
                                        static_cast<int16_t>(std::min<size_t>(512, text.size() - done))});
    MessageRecord record;
    record.size = sizeOverride >= 0 ? sizeOverride : static_cast<int>(text.size());
    reader.addRecord(std::move(record), blocks.entries);
  }
  // afterParse runs on whichever thread parsed the record.
  void read(const std::function<void()>& afterParse = [] {}) {
    file.save(reader.workingPath);
    const dbx::OperationOutcome outcome = dbx::readMessages(
        reader.workingPath, reader, {reader.stopEvent, reader.progress},
        [this, &afterParse](const char* text, int length, int recordIndex) {
          const int parsed = reader.parseHeaders(text, length, recordIndex);
          afterParse();
          return parsed;
        });
    reader.ok = outcome.ok() ? 1 : 0;
  }
};

TEST(ReadMessages, NumbersValidRecordsInTableOrderAroundInvalidOnes) {
  HandMadeBase base;
  base.add(simpleMessage("a"));
  base.add("no line ends here at all");
  base.add(simpleMessage("b"));
  base.add(simpleMessage("c"), 0);               // size 0: never read
  base.add(simpleMessage("d"), 100000000);       // too large to be a message
  base.add(simpleMessage("e"));
  base.read();
  const auto& r = base.reader.records;
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(base.reader.validCount, 3);
  EXPECT_FALSE(r[0].invalid);
  EXPECT_EQ(r[0].number, 0);
  EXPECT_TRUE(r[1].invalid);
  EXPECT_TRUE(r[1].subject().empty());
  EXPECT_EQ(r[2].number, 1);
  EXPECT_TRUE(r[3].invalid);
  EXPECT_TRUE(r[4].invalid);
  EXPECT_EQ(r[5].number, 2);
}

TEST(ReadMessages, LeavesARecordInvalidWhenABlockLiesBeyondTheEnd) {
  HandMadeBase base;
  base.add(simpleMessage("a", std::string(1500, 'x')));
  base.add(simpleMessage("b"));
  base.reader.blocks[base.reader.listEnds[0] - 1].offset = 50000000;
  base.read();
  EXPECT_TRUE(base.reader.records[0].invalid);
  EXPECT_FALSE(base.reader.records[1].invalid);
  EXPECT_EQ(base.reader.records[1].number, 0);
}

TEST(ReadMessages, NeverWritesPastTheBufferWhateverTheBlockLengths) {
  HandMadeBase base;
  // Blocks of 32,767 bytes, as a damaged index can give, past the 1,000,528-byte buffer.
  std::string text = simpleMessage("big", std::string(1100000, 'q'));
  const uint32_t at = base.file.reserve(text.size());
  base.file.putBytes(at, text);
  BlockList blocks;
  for (size_t done = 0; done + 32767 <= text.size(); done += 32767)
    blocks.entries.push_back(BlockRef{at + static_cast<uint32_t>(done), 32767});
  MessageRecord record;
  record.size = static_cast<int>(blocks.entries.size()) * 32767;
  base.reader.addRecord(std::move(record), blocks.entries);
  base.read();
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_FALSE(base.reader.records[0].invalid);
}

class StepCounter : public ProgressSink {
 public:
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void setPos(uint32_t) override {}
  void stepIt() override { ++steps; }
  int steps = 0;
};

// A message of size bytes whose only attachment line starts at byte lineAt.
std::string messageWithAttachmentLineAt(size_t size, size_t lineAt) {
  std::string text = simpleMessage("big", "");
  text.resize(lineAt, 'f');
  for (size_t at = 1000; at < lineAt; at += 1000) text.replace(at - 2, 2, "\r\n");
  text += "\r\nContent-Disposition: attachment; filename=\"a.bin\"\r\n";
  text.resize(size, 'g');
  return text;
}

TEST(ReadMessages, ParsesAtMostTheFirstMillionBytes) {
  HandMadeBase base;
  const std::string line = "\r\nContent-Disposition: attachment; filename=\"a.bin\"\r\n";
  base.add(messageWithAttachmentLineAt(1000000, 1000000 - line.size() - 10));  // inside the limit
  base.add(messageWithAttachmentLineAt(1000001, 1000000 - line.size() - 10));  // the same, one byte more
  base.add(messageWithAttachmentLineAt(1500000, 1000000 - 20));                // crosses the limit
  base.add(messageWithAttachmentLineAt(1500000, 1200000));                     // beyond it
  base.read();
  const auto& r = base.reader.records;
  ASSERT_EQ(base.reader.validCount, 4);
  EXPECT_EQ(r[0].attachment, 1);
  EXPECT_EQ(r[1].attachment, 1);
  EXPECT_EQ(r[2].attachment, 0);
  EXPECT_EQ(r[3].attachment, 0);
  EXPECT_EQ(r[3].size, 1500000);
}

// Enough records for the reading to be spread over threads.
void addManyRecords(HandMadeBase& base, int count) {
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 7) {
      base.add("not a message " + std::to_string(i));
    } else if (i % 3 == 0) {
      base.add(simpleMessage("=?koi8-r?B?8NLJ18XU?= " + std::to_string(i)));
    } else {
      base.add("Content-Type: text/plain; charset=windows-1251\r\n" + simpleMessage("m " + std::to_string(i)));
    }
  }
}

TEST(ReadMessages, ManyRecordsGetTheirOwnFieldsAndNumbersInTableOrder) {
  HandMadeBase base;
  addManyRecords(base, 2000);
  StepCounter progress;
  base.reader.progress = &progress;
  base.read();
  EXPECT_EQ(base.reader.ok, 1);
  EXPECT_EQ(progress.steps, 2000);
  int number = 0;
  for (int i = 0; i < 2000; ++i) {
    const MessageRecord& r = base.reader.records[static_cast<size_t>(i)];
    ASSERT_EQ(r.invalid, i % 10 == 7) << i;
    if (r.invalid) continue;
    EXPECT_EQ(r.number, number++);
    EXPECT_EQ(r.subject(), (i % 3 == 0 ? "Привет " : "m ") + std::to_string(i));
    EXPECT_EQ(r.codePage, i % 3 == 0 ? 20866 : 1251);
  }
  EXPECT_EQ(base.reader.validCount, number);
}

TEST(ReadMessages, AStopAmongManyRecordsLeavesAConsistentTable) {
  HandMadeBase base;
  addManyRecords(base, 2000);
  ManualResetEvent stop;
  base.reader.stopEvent = &stop;
  // The stop comes from the parsing threads themselves: stepping the bar happens only on the
  // calling thread, which the others may outrun to the last record on a fast machine.
  std::atomic<int> parsed{0};
  base.read([&] {
    if (parsed.fetch_add(1) + 1 == 500) stop.set();
  });
  EXPECT_EQ(base.reader.ok, 0);
  int number = 0;
  for (const MessageRecord& r : base.reader.records) {
    if (!r.invalid) {
      EXPECT_EQ(r.number, number++);
    }
  }
  EXPECT_EQ(base.reader.validCount, number);
  EXPECT_LT(number, 2000);
}

TEST(ReadMessages, AStopBetweenRecordsFailsTheOperation) {
  HandMadeBase base;
  for (int i = 0; i < 5; ++i) base.add(simpleMessage("m"));
  ManualResetEvent stop;
  StopAtStep progress(stop, 2);
  base.reader.stopEvent = &stop;
  base.reader.progress = &progress;
  CapturedMessages shown;
  base.read();
  EXPECT_EQ(base.reader.ok, 0);
  EXPECT_EQ(base.reader.validCount, 2);
  EXPECT_TRUE(shown.texts.empty());
}

// Messages whose blocks lie in the file in the opposite order to the table's: the reading takes
// them by offset, spread over threads, yet every record gets its own fields and the numbers
// follow the table; each byte is fetched about once, so no two threads read the same stretch.
TEST(ReadMessages, RecordsAgainstTheTableOrderAreReadOnceInFileOrder) {
  HandMadeBase base;
  constexpr int kCount = 900;  // about 1.4 MB: enough for the reading to be shared out
  std::vector<std::string> texts;
  std::vector<uint32_t> offsets;
  for (int i = 0; i < kCount; ++i) {
    texts.push_back(i % 10 == 7 ? "not a message " + std::to_string(i)
                                : simpleMessage("m " + std::to_string(i), std::string(1500, 'b')));
    offsets.push_back(base.file.reserve(texts.back().size() + 1));
    base.file.putBytes(offsets.back(), texts.back());
  }
  for (int i = kCount - 1; i >= 0; --i) {
    BlockList blocks;
    const std::string& text = texts[static_cast<size_t>(i)];
    for (size_t done = 0; done < text.size(); done += 512)
      blocks.entries.push_back(BlockRef{offsets[static_cast<size_t>(i)] + static_cast<uint32_t>(done),
                                        static_cast<int16_t>(std::min<size_t>(512, text.size() - done))});
    MessageRecord record;
    record.size = static_cast<int>(text.size());
    base.reader.addRecord(std::move(record), blocks.entries);
  }
  base.file.save(base.reader.workingPath);
  const dbx::OperationOutcome outcome = dbx::readMessages(
      base.reader.workingPath, base.reader, {},
      [&base](const char* text, int length, int recordIndex) { return base.reader.parseHeaders(text, length, recordIndex); });
  ASSERT_TRUE(outcome.ok());
  int number = 0;
  for (int row = 0; row < kCount; ++row) {
    const int i = kCount - 1 - row;
    const MessageRecord& r = base.reader.records[static_cast<size_t>(row)];
    ASSERT_EQ(r.invalid, i % 10 == 7) << row;
    if (r.invalid) continue;
    EXPECT_EQ(r.subject(), "m " + std::to_string(i));
    EXPECT_EQ(r.number, number++);
  }
  EXPECT_LE(outcome.bytesFetched, base.file.size() + base.file.size() / 20);
}

// The read buffer is sized by the records, yet a record is judged as a full buffer would judge
// it: a block whose stored length runs past the parse limit makes the record valid when the file
// holds those bytes and invalid when it ends before them.
TEST(ReadMessages, ASmallBufferJudgesAClaimedBlockLengthByTheFile) {
  for (const bool fileHoldsTheBlock : {true, false}) {
    HandMadeBase base;
    const std::string text = simpleMessage("claim");
    const uint32_t at = base.file.reserve(text.size());
    base.file.putBytes(at, text);
    if (fileHoldsTheBlock) base.file.ensure(at + 30000);
    BlockList blocks;
    blocks.entries.push_back(BlockRef{at, 30000});
    MessageRecord record;
    record.size = static_cast<int>(text.size());
    base.reader.addRecord(std::move(record), blocks.entries);
    base.read();
    EXPECT_EQ(base.reader.records[0].invalid, !fileHoldsTheBlock);
    if (fileHoldsTheBlock) {
      EXPECT_EQ(base.reader.records[0].subject(), "claim");
    }
  }
}

// A browse and the message reading after it each fetch the file about once: read-ahead may not
// make the reading threads fetch their neighbours' bytes as well.
TEST(ReadMessages, ABrowsedBaseIsFetchedAboutOncePerPass) {
  DbxWriter writer;
  for (int i = 0; i < 400; ++i) writer.add(simpleMessage("m" + std::to_string(i), std::string(3000, 'x') + "\r\n"));
  ScratchDir folder;
  MessageBaseReader reader;
  reader.workingPath = folder.file("base.dbx");
  const DbxImage image = writer.build();
  image.save(reader.workingPath);
  const dbx::BrowseResult browse = dbx::browseIndex(reader.workingPath, reader, {});
  ASSERT_TRUE(browse.outcome.ok());
  const dbx::OperationOutcome reading = dbx::readMessages(
      reader.workingPath, reader, {},
      [&reader](const char* text, int length, int recordIndex) { return reader.parseHeaders(text, length, recordIndex); });
  ASSERT_TRUE(reading.ok());
  EXPECT_EQ(reader.validCount, 400);
  EXPECT_LE(browse.outcome.bytesFetched, image.size() + image.size() / 10);
  EXPECT_LE(reading.bytesFetched, image.size() + image.size() / 10);
}

}  // namespace
}  // namespace vireo::testing
