// vireo-cli carve, run as a user runs it on a disk image.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

using ::testing::HasSubstr;

struct Image {
  ScratchDir folder;
  CarveScenario scenario;
  std::string path;
  explicit Image(CarveCase which) : scenario(buildCarveScenario(which, 30)), path(folder.file("disk.img")) {
    scenario.image.save(path);
  }
};

TEST(CliCarve, ListsEachBaseWithItsPiecesAndHeader) {
  const Image image(CarveCase::interleaved);
  const CliResult plain = runCli({"carve", image.path}, image.folder.path());
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_THAT(plain.out, HasSubstr("base-0\toffset 0 at "));
  EXPECT_THAT(plain.out, HasSubstr("base-1\t"));
  EXPECT_THAT(plain.out, HasSubstr("header survived\t30 messages"));
  EXPECT_THAT(plain.out, HasSubstr("header survived\t40 messages"));

  const CliResult json = runCli({"carve", "--json", image.path}, image.folder.path());
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("{\"base\":1,\"origin\":"));
  EXPECT_THAT(json.out, HasSubstr("\"header\":true,\"messages\":40,\"fragments\":0,\"pieces\":[{\"imageStart\":"));
}

TEST(CliCarve, WritesEachBasesMessagesAndFragmentsIntoAFolderOfItsOwn) {
  const Image image(CarveCase::cutShort);
  const std::string out = image.folder.file("out");
  const CliResult result = runCli({"carve", image.path, out}, image.folder.path());
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> names = fileNamesIn(out + "/base-0");
  ASSERT_FALSE(names.empty());
  size_t fragments = 0;
  for (const std::string& name : names) fragments += name.starts_with("fragment-") ? 1 : 0;
  EXPECT_GE(fragments, 1u);  // the message the cut went through
  EXPECT_EQ(fileText(out + "/base-0/0.eml"), image.scenario.texts[0][0]);
  EXPECT_EQ(result.out, std::to_string(names.size()) + " written, 0 failed\n");
  // Run again: every file is there with the same bytes and is left as it is.
  const CliResult again = runCli({"carve", image.path, out}, image.folder.path());
  EXPECT_THAT(again.out, HasSubstr("identical files left as they were"));
  EXPECT_EQ(fileNamesIn(out + "/base-0"), names);
}

TEST(CliCarve, RefusesWhatItCannotReadAndBadUsage) {
  ScratchDir folder;
  EXPECT_EQ(runCli({"carve", folder.file("missing.img")}, folder.path()).status, 1);
  EXPECT_EQ(runCli({"carve"}, folder.path()).status, 2);
  EXPECT_EQ(runCli({"carve", "--json", "a", "b"}, folder.path()).status, 2);
}

TEST(CliList, RecoveryMarksFragmentsAndUnlistedMessagesInJson) {
  ScratchDir folder;
  DbxWriter writer;
  writer.add(simpleMessage("listed"));
  MessageSpec lost;
  lost.text = simpleMessage("lost");
  lost.listing = MessageSpec::Listing::none;
  writer.add(lost);
  writer.build().save(folder.file("Inbox.dbx"));
  const CliResult result = runCli({"list", "--recover", "--json", folder.file("Inbox.dbx")}, folder.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("\"fragment\":false,\"unindexed\":false,\"date\""));
  EXPECT_THAT(result.out, HasSubstr("\"fragment\":false,\"unindexed\":true,\"date\""));
}

}  // namespace
}  // namespace vireo::testing
