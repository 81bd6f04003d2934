// The reader's operation as a whole: working copies, failures, reset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dbx/layout.h"
#include "reader/working_folder.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

DbxImage baseOf(int messages) {
  DbxWriter writer;
  for (int i = 0; i < messages; ++i) writer.add(simpleMessage("m" + std::to_string(i)));
  return writer.build();
}

TEST(OpenBase, ReadsInPlaceOrThroughAWorkingCopyNamedByReaderNumber) {
  ScratchDir bases;
  ScratchDir work;
  setWorkingFolder(work.path());
  baseOf(2).save(bases.file("Inbox.dbx"));
  MessageBaseReader reader;
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
  EXPECT_EQ(contents(work.file("7.dbc")), contents(bases.file("Inbox.dbx")));
  EXPECT_EQ(reader.count(), 2);

  // The next operation replaces the copy with the base as it is now.
  baseOf(3).save(bases.file("Inbox.dbx"));
  reader.resetReader();
  reader.openBase(true);
  EXPECT_EQ(reader.count(), 3);
  EXPECT_EQ(contents(work.file("7.dbc")), contents(bases.file("Inbox.dbx")));
  setWorkingFolder("");
}

TEST(OpenBase, AFailedCopySaysSoAndReadsNothing) {
  ScratchDir bases;
  baseOf(1).save(bases.file("Inbox.dbx"));
  setWorkingFolder(bases.file("no-such-folder"));
  MessageBaseReader reader;
  reader.baseFolder = bases.path();
  reader.baseName = "Inbox.dbx";
  CapturedMessages shown;
  reader.openBase(true);
  EXPECT_EQ(reader.ok, 0);
  EXPECT_EQ(reader.count(), 0);
  ASSERT_EQ(shown.texts.size(), 1u);
  EXPECT_THAT(shown.texts[0], ::testing::StartsWith("Cannot copy dbx file"));
  setWorkingFolder("");
}

TEST(OpenBase, NeverChangesTheBaseFile) {
  ScratchDir bases;
  baseOf(3).save(bases.file("Inbox.dbx"));
  const std::string before = contents(bases.file("Inbox.dbx"));
  const auto modified = std::filesystem::last_write_time(bases.file("Inbox.dbx"));
  for (int recover : {0, 1}) {
    MessageBaseReader reader;
    reader.baseFolder = bases.path();
    reader.baseName = "Inbox.dbx";
    reader.recoverMode = recover;
    reader.openBase(false);
  }
  EXPECT_EQ(contents(bases.file("Inbox.dbx")), before);
  EXPECT_EQ(std::filesystem::last_write_time(bases.file("Inbox.dbx")), modified);
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
