// Messages leaving as an mbox or a Maildir: the mboxrd quoting and "From " line, what a stopped
// or failed mbox leaves, Maildir names and flags, and files dated by their message.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "content/mbox_format.h"
#include "content/message_envelope.h"
#include "reader/maildir_export.h"
#include "reader/mbox_export.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

std::string entry(std::string_view message, int64_t fallback = 0) {
  std::string out;
  appendMboxEntry(out, message, fallback);
  return out;
}

int64_t mtimeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mtim.tv_sec;
}

TEST(MboxFormat, QuotesEveryLineThatAReaderWouldTakeForAMessageStart) {
  const std::string message =
      "From: a@b\r\n\r\nFrom here\r\n>From there\r\n>>From far\r\nFromage\r\n From indented\r\n>From\r\nFrom ";
  EXPECT_EQ(entry(message, 0),
            "From a@b Thu Jan  1 00:00:00 1970\n"
            "From: a@b\r\n\r\n>From here\r\n>>From there\r\n>>>From far\r\nFromage\r\n From indented\r\n>From\r\n>From \n\n");
}

TEST(MboxFormat, KeepsStoredLineEndsAndEndsEachEntryWithOneEmptyLine) {
  EXPECT_EQ(entry("From: a@b\n\nbody\n"), "From a@b Thu Jan  1 00:00:00 1970\nFrom: a@b\n\nbody\n\n");
  EXPECT_EQ(entry("From: a@b\r\n\r\nbody\r\n"), "From a@b Thu Jan  1 00:00:00 1970\nFrom: a@b\r\n\r\nbody\r\n\n");
}

TEST(MboxFormat, FromLineTakesSenderAndDateInUtcElseMailerDaemonAndTheFallback) {
  EXPECT_EQ(mboxFromLine("From: \"Ann, B\" <ann@example.org>\r\nDate: Sun, 3 Jun 2007 01:30:05 +0200\r\n\r\n", 0),
            "From ann@example.org Sat Jun  2 23:30:05 2007\n");
  EXPECT_EQ(mboxFromLine("From: bob@example.org (Bob)\r\nDate: Fri,\r\n 31 Dec 1999 23:59:59 -0100\r\n\r\n", 0),
            "From bob@example.org Sat Jan  1 00:59:59 2000\n");
  EXPECT_EQ(mboxFromLine("Subject: none\r\n\r\nFrom: not@a.header\r\n", 1165312800),
            "From MAILER-DAEMON Tue Dec  5 10:00:00 2006\n");
  // A From without an address, and a Date that does not parse, fall back too.
  EXPECT_EQ(mboxFromLine("From: Nobody\r\nDate: sometime\r\n\r\n", 1165312800),
            "From MAILER-DAEMON Tue Dec  5 10:00:00 2006\n");
}

TEST(MboxExport, WritesEveryMessageInOrderAndLeavesNothingWhenStopped) {
  DbxWriter writer;
  for (const char* subject : {"one", "two", "three"}) writer.add(simpleMessage(subject, "From me\r\n"));
  OpenedBase base(writer.build());
  const std::string destination = base.folder.file("Inbox");

  const MboxOutcome done = writeMboxFile(base.reader, validRecordIndexes(base.reader), destination);
  ASSERT_TRUE(done.complete());
  EXPECT_EQ(done.messages.written, 3);
  std::string expected;
  for (int i = 0; i < 3; ++i)
    appendMboxEntry(expected, readThroughBlocks(base.reader, i), 0);
  EXPECT_EQ(fileText(destination), expected);

  BatchHooks hooks;
  hooks.keepGoing = [](int attempted) { return attempted < 2; };
  const MboxOutcome stopped = writeMboxFile(base.reader, validRecordIndexes(base.reader), destination, hooks);
  EXPECT_TRUE(stopped.messages.stopped);
  EXPECT_FALSE(stopped.complete());
  EXPECT_EQ(fileNamesIn(base.folder.path()), (std::vector<std::string>{"Inbox", "base.dbx"}));
  EXPECT_EQ(fileText(destination), expected);  // the earlier file kept whole
  EXPECT_EQ(mboxNameForBase("/m", "Sent Items.DBX"), "/m/Sent Items");
}

TEST(MboxExport, AnUnreadableMessageIsLeftOutAndCountedAndAFileOfTheSameNameKept) {
  DbxWriter writer;
  for (const char* subject : {"one", "two"}) writer.add(simpleMessage(subject));
  OpenedBase base(writer.build());
  base.reader.blocks[base.reader.listEnds[0] - 1].offset = 50000000;  // beyond the end of the working file
  const std::string destination = base.folder.file("Inbox");
  { std::ofstream(destination) << "someone else's mail\n"; }

  const MboxOutcome outcome = writeMboxFile(base.reader, validRecordIndexes(base.reader), destination);
  ASSERT_TRUE(outcome.complete());
  EXPECT_EQ(outcome.messages.written, 1);
  EXPECT_EQ(outcome.messages.failed, 1);
  ASSERT_TRUE(outcome.messages.firstFailure);
  EXPECT_EQ(outcome.placed.path, base.folder.file("Inbox (2)"));
  EXPECT_EQ(fileText(destination), "someone else's mail\n");
  EXPECT_EQ(fileText(outcome.placed.path), entry(simpleMessage("two")));
}

TEST(MaildirExport, NamesFilesInCurWithFlagsAndLeavesDeletedOutUnlessAsked) {
  DbxWriter writer;
  writer.add(simpleMessage("kept"));
  MessageSpec gone;
  gone.text = simpleMessage("gone", "Bye.\r\n", "Ann <ann@example.org>", "Bob <bob@example.org>",
                            "Wed, 06 Dec 2006 10:00:00 +0000");
  gone.deleted = true;
  writer.add(gone);
  OpenedBase base(writer.build());
  ASSERT_EQ(base.reader.count(), 2);

  EXPECT_EQ(maildirRecordIndexes(base.reader, false), (std::vector<int>{0}));
  EXPECT_EQ(maildirRecordIndexes(base.reader, true), (std::vector<int>{0, 1}));

  const std::string folder = base.folder.file("mail");
  const BatchOutcome outcome = writeMaildir(base.reader, maildirRecordIndexes(base.reader, true), folder);
  EXPECT_EQ(outcome.written, 2);
  EXPECT_TRUE(fileNamesIn(folder + "/tmp").empty());
  EXPECT_TRUE(fileNamesIn(folder + "/new").empty());
  const std::vector<std::string> names = fileNamesIn(folder + "/cur");
  ASSERT_EQ(names.size(), 2u);
  int trashed = 0;
  for (const std::string& name : names) {
    const size_t info = name.find(":2,");
    ASSERT_NE(info, std::string::npos) << name;
    EXPECT_EQ(name.find('/'), std::string::npos);
    const std::string text = fileText(folder + "/cur/" + name);
    if (name.substr(info) == ":2,T") {
      ++trashed;
      EXPECT_EQ(text, gone.text);
      EXPECT_EQ(mtimeOf(folder + "/cur/" + name), 1165399200);
    } else {
      EXPECT_EQ(name.substr(info), ":2,");
      EXPECT_EQ(text, simpleMessage("kept"));
    }
  }
  EXPECT_EQ(trashed, 1);
}

TEST(DatedFiles, SavedMessagesTakeTheirDateAndUndatedOnesTheTimeOfWriting) {
  DbxWriter writer;
  writer.add(simpleMessage("dated", "x\r\n", "a@b", "c@d", "Tue, 05 Dec 2006 12:00:00 +0200"));
  writer.add(simpleMessage("undated", "x\r\n", "a@b", "c@d", ""));
  OpenedBase base(writer.build());
  const std::string out = base.folder.file("out");
  fs::create_directory(out);
  const int64_t before = ::time(nullptr);
  ASSERT_EQ(writeMessageBatch(base.reader, validRecordIndexes(base.reader), out, "eml", -1).written, 2);
  EXPECT_EQ(mtimeOf(out + "/0.eml"), 1165312800);
  EXPECT_GE(mtimeOf(out + "/1.eml"), before);
  EXPECT_EQ(messageDateSeconds(simpleMessage("x", "", "a@b", "c@d", "")), std::nullopt);
}

}  // namespace
}  // namespace vireo::testing
