// vireo-cli info and list, run as a user runs them.
#include <algorithm>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "dbx/layout.h"
#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string writeBase(const ScratchDir& folder, bool deletedSecond = false) {
  DbxWriter writer;
  writer.add(simpleMessage("first", "Hello.\r\n", "Ann <ann@example.org>", "Bob <bob@example.org>"));
  MessageSpec second;
  second.text = simpleMessage("with \"quotes\"\tand tab");
  second.deleted = deletedSecond;
  writer.add(second);
  const std::string path = folder.file("Inbox.dbx");
  writer.build().save(path);
  return path;
}

TEST(CliInfo, PrintsKindCountAndSize) {
  ScratchDir folder;
  const std::string path = writeBase(folder);
  const CliResult result = runCli({"info", path});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("kind: 1 (mail)"));
  EXPECT_THAT(result.out, HasSubstr("messages in header: 2"));
  struct stat st {};
  ::stat(path.c_str(), &st);
  EXPECT_THAT(result.out, HasSubstr("file size: " + std::to_string(st.st_size) + " bytes"));
}

TEST(CliList, PrintsOneLinePerMessageInTableOrder) {
  ScratchDir folder;
  const CliResult result = runCli({"list", writeBase(folder, true)});
  EXPECT_EQ(result.status, 0) << result.err;
  const auto rows = lines(result.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_THAT(rows[0], StartsWith("0\t-\t-\t"));
  EXPECT_THAT(rows[1], StartsWith("1\tD\t-\t"));
  EXPECT_EQ(std::count(rows[1].begin(), rows[1].end(), '\t'), 7) << "a tab inside a field splits the line";
}

TEST(CliList, JsonIsOneArrayWithEscapedStrings) {
  ScratchDir folder;
  const CliResult result = runCli({"list", "--json", writeBase(folder)});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, StartsWith("[\n{\"index\":0,\"number\":0,\"deleted\":false,\"attachment\":false,"));
  EXPECT_THAT(result.out, HasSubstr("\"time\":"));
  EXPECT_THAT(result.out, ::testing::EndsWith("}\n]\n"));
  EXPECT_EQ(result.out.find('\t'), std::string::npos);
}

TEST(CliList, ReadsAWorkingCopyWithoutTouchingTheBase) {
  ScratchDir folder;
  ScratchDir home;
  const std::string path = writeBase(folder);
  struct stat before {};
  ::stat(path.c_str(), &before);
  const CliResult plain = runCli({"list", path}, home.path());
  const CliResult copied = runCli({"list", "--copy", path}, home.path());
  EXPECT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(copied.out, plain.out);
  struct stat after {};
  ::stat(path.c_str(), &after);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_size, before.st_size);
}

TEST(CliList, RecoversTheMessagesOfABaseWhoseIndexIsDamaged) {
  ScratchDir folder;
  DbxWriter writer;
  for (int i = 0; i < 3; ++i) writer.add(simpleMessage("message " + std::to_string(i)));
  MessageSpec unlisted;
  unlisted.text = simpleMessage("deleted long ago");
  unlisted.listing = MessageSpec::Listing::none;
  writer.add(unlisted);
  DbxImage image = writer.build();
  image.put32(writer.rootOffset(), 0);  // the root no longer carries its own offset
  const std::string path = folder.file("Damaged.dbx");
  image.save(path);

  const CliResult browsed = runCli({"list", path});
  EXPECT_EQ(browsed.status, 1);
  EXPECT_THAT(browsed.err, HasSubstr("Bad file format, use message base recovery."));
  EXPECT_TRUE(browsed.out.empty());

  const CliResult recovered = runCli({"list", "--recover", "--json", path});
  EXPECT_EQ(recovered.status, 0) << recovered.err;
  for (const char* subject : {"message 0", "message 1", "message 2", "deleted long ago"})
    EXPECT_THAT(recovered.out, HasSubstr(std::string("\"subject\":\"") + subject + "\""));
  EXPECT_THAT(recovered.out, ::testing::Not(HasSubstr("\"deleted\":true")));
}

// A large base starts the program again (with huge pages for its heap): the same arguments, the
// same output and status, the same failures.
TEST(CliList, ALargeBaseListsAsASmallOneDoes) {
  ScratchDir folder;
  const std::string path = writeBase(folder);
  const CliResult small = runCli({"list", "--json", path});
  ASSERT_EQ(small.status, 0) << small.err;
  std::filesystem::resize_file(path, (uint64_t{64} << 20) + 1);  // sparse: nothing refers to the tail
  const CliResult large = runCli({"list", "--json", path});
  EXPECT_EQ(large.status, 0) << large.err;
  EXPECT_EQ(large.out, small.out);

  DbxImage broken = DbxWriter().build();
  broken.put32(dbx::kMessageCountOffset, 5);
  broken.save(folder.file("broken.dbx"));
  std::filesystem::resize_file(folder.file("broken.dbx"), uint64_t{64} << 20);
  const CliResult bad = runCli({"list", folder.file("broken.dbx")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("Bad file format, use message base recovery."));
}

TEST(CliList, ReportsFailuresWithTheRightStatus) {
  ScratchDir folder;
  const CliResult missing = runCli({"list", folder.file("nothing.dbx")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("cannot open " + folder.file("nothing.dbx")));
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

  const CliResult directory = runCli({"list", folder.path()});
  EXPECT_EQ(directory.status, 1);
  EXPECT_THAT(directory.err, HasSubstr("is a directory"));

  DbxImage broken = DbxWriter().build();
  broken.put32(dbx::kMessageCountOffset, 5);
  broken.save(folder.file("broken.dbx"));
  const CliResult bad = runCli({"list", folder.file("broken.dbx")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("Bad file format, use message base recovery."));

  EXPECT_EQ(runCli({"list"}).status, 2);
  EXPECT_EQ(runCli({"list", "--bogus", "x.dbx"}).status, 2);
  EXPECT_EQ(runCli({"frobnicate"}).status, 2);
  EXPECT_THAT(runCli({}).err, HasSubstr("usage: vireo-cli"));
}

}  // namespace
}  // namespace vireo::testing
