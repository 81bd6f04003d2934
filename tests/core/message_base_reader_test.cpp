// The reader's operation as a whole: working copies, failures, reset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "dbx/layout.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

DbxImage baseOf(int messages) {
  DbxWriter writer;
  for (int i = 0; i < messages; ++i) writer.add(simpleMessage("m" + std::to_string(i)));
  return writer.build();
}

TEST(OpenBase, ReadsInPlaceOrThroughAWorkingCopyNamedByReaderNumber) {
  ScratchDir bases;
  ScratchDir work;
  baseOf(2).save(bases.file("Inbox.dbx"));
  MessageBaseReader reader;
  reader.workingFolder = work.path();
  reader.baseFolder = bases.path();
  reader.baseName = "Inbox.dbx";
  reader.readerNumber = 7;

  reader.openBase(false);
  EXPECT_EQ(reader.workingPath, bases.file("Inbox.dbx"));
  EXPECT_TRUE(std::filesystem::is_empty(work.path()));

  reader.resetReader();
  reader.openBase(true);
  EXPECT_EQ(reader.ok, 1);
  EXPECT_EQ(reader.workingPath, work.file("7.dbc"));
  EXPECT_EQ(fileText(work.file("7.dbc")), fileText(bases.file("Inbox.dbx")));
  EXPECT_EQ(reader.count(), 2);

  // The next operation replaces the copy with the base as it is now.
  baseOf(3).save(bases.file("Inbox.dbx"));
  reader.resetReader();
  reader.openBase(true);
  EXPECT_EQ(reader.count(), 3);
  EXPECT_EQ(fileText(work.file("7.dbc")), fileText(bases.file("Inbox.dbx")));
}

TEST(OpenBase, AFailedCopySaysSoAndReadsNothing) {
  ScratchDir bases;
  baseOf(1).save(bases.file("Inbox.dbx"));
  MessageBaseReader reader;
  reader.workingFolder = bases.file("no-such-folder");
  reader.baseFolder = bases.path();
  reader.baseName = "Inbox.dbx";
  CapturedMessages shown;
  reader.openBase(true);
  EXPECT_EQ(reader.ok, 0);
  EXPECT_EQ(reader.count(), 0);
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_THAT(shown.texts[0], ::testing::StartsWith("Cannot copy dbx file"));
}

TEST(OpenBase, NeverChangesTheBaseFileNotEvenItsTimes) {
  ScratchDir bases;
  ScratchDir work;
  const std::string path = bases.file("Inbox.dbx");
  const DbxImage image = baseOf(3);
  image.save(path);
  const std::string before(image.bytes.begin(), image.bytes.end());
  // An access time long past: with relatime, any read that does not avoid it would update it.
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  struct stat was {};
  ::stat(path.c_str(), &was);
  for (int recover : {0, 1}) {
    for (bool copy : {false, true}) {
      MessageBaseReader reader;
      reader.workingFolder = work.path();
      reader.baseFolder = bases.path();
      reader.baseName = "Inbox.dbx";
      reader.recoverMode = recover;
      reader.detectBaseKind();
      reader.openBase(copy);
      EXPECT_EQ(reader.ok, 1);
    }
  }
  struct stat now {};
  ::stat(path.c_str(), &now);
  EXPECT_EQ(now.st_atim.tv_sec, was.st_atim.tv_sec);
  EXPECT_EQ(now.st_mtim.tv_sec, was.st_mtim.tv_sec);
  EXPECT_EQ(now.st_mtim.tv_nsec, was.st_mtim.tv_nsec);
  EXPECT_EQ(fileText(path), before);  // read last: this read may touch the access time
}

TEST(ResetReader, EmptiesTheTableAndKeepsTheBrowseVerdict) {
  DbxImage image = baseOf(2);
  image.put32(dbx::kMessageCountOffset, 9);
  OpenedBase base(image);
  EXPECT_TRUE(base.reader.browseFailed);
  base.reader.removed = true;
  base.reader.resetReader();
  EXPECT_EQ(base.reader.count(), 0);
  EXPECT_EQ(base.reader.capacity, 500);
  EXPECT_EQ(base.reader.state, 0);
  EXPECT_TRUE(base.reader.browseFailed);
  EXPECT_TRUE(base.reader.removed);
}

}  // namespace
}  // namespace vireo::testing
