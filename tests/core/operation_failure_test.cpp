// How a reading operation's failure reaches the user: what went wrong and where, for the browse,
// the recovery and the message reading alike, and never swallowed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "dbx/layout.h"
#include "dbx/message_reading.h"
#include "reader/operation_messages.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

using ::testing::HasSubstr;
using End = dbx::OperationOutcome::End;

DbxImage baseOf(int messages) {
  DbxWriter writer;
  for (int i = 0; i < messages; ++i) writer.add(simpleMessage("m" + std::to_string(i)));
  return writer.build();
}

TEST(OperationFailure, ABrowseNamesWhatBrokeTheIndexAndWhere) {
  DbxWriter writer;
  for (int i = 0; i < 3; ++i) writer.add(simpleMessage("m" + std::to_string(i)));
  DbxImage image = writer.build();
  image.put32(writer.rootOffset() + dbx::kNodeParent, 4242);
  OpenedBase base(image);
  ASSERT_EQ(base.shown.texts.size(), 1u);
  EXPECT_EQ(base.shown.texts[0], "Bad file format, use message base recovery.\nindex node names another parent at offset " +
                                     std::to_string(writer.rootOffset()));
}

TEST(OperationFailure, BrowseAndRecoveryNameTheFileAndTheSystemsReason) {
  ScratchDir folder;
  for (const int recoverMode : {0, 1}) {
    MessageBaseReader reader;
    reader.baseFolder = folder.path();
    reader.baseName = "folder.dbx";
    std::filesystem::create_directory(folder.file("folder.dbx"));
    reader.recoverMode = recoverMode;
    CapturedMessages shown;
    reader.openBase(false);
    EXPECT_EQ(reader.ok, 0);
    ASSERT_FALSE(shown.texts.empty());
    EXPECT_EQ(shown.texts[0], "Cannot open dbx file " + folder.file("folder.dbx") + "\nis a directory");
  }
}

// A fault of the program (here a parser that throws) is reported as one, on the calling thread
// or on a helper thread, and the operation fails instead of going on quietly.
TEST(OperationFailure, AnInternalErrorIsReportedNotSwallowed) {
  for (const int messages : {3, 400}) {
    OpenedBase base(baseOf(messages));
    ASSERT_EQ(base.reader.ok, 1);
    const dbx::OperationOutcome outcome =
        dbx::readMessages(base.reader.workingPath, base.reader, {}, [](const char*, int, int recordIndex) -> int {
          if (recordIndex == 2) throw std::logic_error("record 2 has no parser");
          return 1;
        });
    EXPECT_EQ(outcome.end, End::internalError) << messages;
    EXPECT_EQ(outcome.reason.what, "record 2 has no parser");

    CapturedMessages shown;
    showOperationFailure(outcome, base.reader.workingPath);
    ASSERT_EQ(shown.texts.size(), 1u);
    EXPECT_EQ(shown.texts[0], "Vireo could not finish reading " + base.reader.workingPath +
                                  " because of an internal error:\nrecord 2 has no parser");
  }
}

TEST(OperationFailure, AStopShowsNothing) {
  CapturedMessages shown;
  dbx::OperationOutcome stopped;
  stopped.end = End::stopped;
  showOperationFailure(stopped, "/any/base.dbx");
  EXPECT_TRUE(shown.texts.empty());
}

}  // namespace
}  // namespace vireo::testing
