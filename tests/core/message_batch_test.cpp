// Writing many messages of a base at once: names, failures gathered and counted, a stop between
// files.
#include <gtest/gtest.h>

#include <filesystem>

#include "reader/message_batch.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

DbxImage threeMessages() {
  DbxWriter writer;
  for (const char* subject : {"one", "two", "three"}) writer.add(simpleMessage(subject));
  return writer.build();
}

TEST(MessageBatch, WritesEveryValidRecordByNumberAndSkipsInvalidOnes) {
  OpenedBase base(threeMessages());
  ASSERT_EQ(base.reader.count(), 3);
  base.reader.records[1].invalid = true;  // as a record whose headers did not parse
  const std::vector<int> records = validRecordIndexes(base.reader);
  EXPECT_EQ(records, (std::vector<int>{0, 2}));
  const std::string out = base.folder.file("out");
  fs::create_directory(out);
  const BatchOutcome outcome = writeMessageBatch(base.reader, records, out, "eml", -1);
  EXPECT_EQ(outcome.written, 2);
  EXPECT_EQ(outcome.failed, 0);
  EXPECT_EQ(fileText(out + "/" + std::to_string(base.reader.row(0).number) + ".eml"), simpleMessage("one"));
  EXPECT_EQ(fileText(out + "/" + std::to_string(base.reader.row(2).number) + ".eml"), simpleMessage("three"));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST(MessageBatch, AFileThatCannotBeWrittenIsCountedAndTheRestAreWritten) {
  OpenedBase base(threeMessages());
  const std::string out = base.folder.file("out");
  fs::create_directories(out);
  base.reader.blocks[base.reader.listEnds[1] - 1].offset = 50000000;  // beyond the end of the working file
  std::vector<int> failedRecords;
  BatchHooks hooks;
  hooks.onFailure = [&](int index, const FailureReason&) { failedRecords.push_back(index); };
  const BatchOutcome outcome = writeMessageBatch(base.reader, validRecordIndexes(base.reader), out, "eml", -1, hooks);
  EXPECT_EQ(outcome.attempted, 3);
  EXPECT_EQ(outcome.written, 2);
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_EQ(failedRecords, std::vector<int>{1});
  ASSERT_TRUE(outcome.firstFailure.has_value());
  const std::string text = describeBatchFailures(outcome, 3, out);
  EXPECT_TRUE(text.starts_with("1 of 3 messages were not written to " + out + ".\n")) << text;
  EXPECT_NE(text.find("at offset 50000000"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(out + "/1.eml"));
  EXPECT_EQ(fileText(out + "/2.eml"), simpleMessage("three"));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

// Message numbers restart at 0 in every base: a second base saved into the same folder goes
// beside the first one's files, and saving either again adds nothing.
TEST(MessageBatch, TwoBasesInOneFolderKeepBothAndSavingAgainAddsNothing) {
  OpenedBase inbox(threeMessages());
  DbxWriter sentWriter;
  for (const char* subject : {"sent one", "sent two"}) sentWriter.add(simpleMessage(subject));
  OpenedBase sent(sentWriter.build());
  const std::string out = inbox.folder.file("Mail backup");
  fs::create_directory(out);
  fs::create_directory(out + "/2.eml");  // a folder in the way is kept too
  const BatchOutcome first = writeMessageBatch(inbox.reader, validRecordIndexes(inbox.reader), out, "eml", -1);
  EXPECT_EQ(first.written, 3);
  EXPECT_EQ(first.keptBeside, 1);
  const BatchOutcome second = writeMessageBatch(sent.reader, validRecordIndexes(sent.reader), out, "eml", -1);
  EXPECT_EQ(second.written, 2);
  EXPECT_EQ(second.keptBeside, 2);
  EXPECT_EQ(describeSameNames(second), "2 kept beside files of the same name");
  EXPECT_EQ(describeKeptBeside(second, out),
            "2 messages were written beside files of the same name in " + out + ", as \"N (2).eml\".");
  EXPECT_EQ(fileText(out + "/0.eml"), simpleMessage("one"));
  EXPECT_EQ(fileText(out + "/0 (2).eml"), simpleMessage("sent one"));
  EXPECT_EQ(fileText(out + "/1 (2).eml"), simpleMessage("sent two"));
  EXPECT_EQ(fileText(out + "/2 (2).eml"), simpleMessage("three"));

  const BatchOutcome again = writeMessageBatch(inbox.reader, validRecordIndexes(inbox.reader), out, "eml", -1);
  EXPECT_EQ(again.written, 3);
  EXPECT_EQ(again.identical, 3);
  EXPECT_EQ(again.keptBeside, 0);
  EXPECT_EQ(describeSameNames(again), "3 identical files left as they were");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 6);
}

TEST(MessageBatch, AnIndexOutsideTheTableIsAFailureNotACrash) {
  OpenedBase base(threeMessages());
  const BatchOutcome outcome = writeMessageBatch(base.reader, {0, 7, -1}, base.folder.path(), "eml", -1);
  EXPECT_EQ(outcome.written, 1);
  EXPECT_EQ(outcome.failed, 2);
}

TEST(MessageBatch, AStopLandsBetweenFilesAndLeavesOnlyWholeOnes) {
  DbxWriter writer;
  // Messages of many blocks, so a file cut short would show.
  for (int i = 0; i < 6; ++i) writer.add(simpleMessage("long " + std::to_string(i), std::string(20000, 'x') + "\r\n"));
  OpenedBase base(writer.build());
  const std::string out = base.folder.file("out");
  fs::create_directory(out);
  BatchHooks hooks;
  hooks.keepGoing = [](int attempted) { return attempted < 4; };
  const BatchOutcome outcome = writeMessageBatch(base.reader, validRecordIndexes(base.reader), out, "eml", -1, hooks);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.written, 4);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    ++files;
    const int number = std::stoi(entry.path().stem().string());
    EXPECT_EQ(fileText(entry.path().string()), readThroughBlocks(base.reader, number)) << entry.path();
  }
  EXPECT_EQ(files, 4);
}

}  // namespace
}  // namespace vireo::testing
