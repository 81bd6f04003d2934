// vireo-cli search, run as a user runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "dbx/layout.h"
#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

void writeBase(const std::string& path, uint32_t kindWord = dbx::kKindWordMessages, uint8_t newsMarker = 1) {
  fs::create_directories(fs::path(path).parent_path());
  DbxWriter writer(kindWord);
  writer.setNewsMarker(newsMarker);
  writer.add(simpleMessage("hello"));
  writer.build().save(path);
}

TEST(CliSearch, PrintsEveryBaseFoundWithItsKindInSearchOrder) {
  ScratchDir home;
  ScratchDir tree;
  writeBase(tree.file("Store/Inbox.dbx"));
  writeBase(tree.file("Store/news.example.org.dbx"), dbx::kKindWordMessages, 0);
  writeBase(tree.file("Store/Folders.dbx"), dbx::kKindWordFolders);
  writeBase(tree.file("Other/Old/Sent.dbx"));
  fs::create_directory_symlink(tree.path(), tree.file("Other/loop"));
  const CliResult result = runCli({"search", tree.file("Store/"), tree.file("Other")}, home.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "folders (system)\t" + tree.file("Store/Folders.dbx") + "\n" +
                            "mail\t" + tree.file("Store/Inbox.dbx") + "\n" +
                            "news\t" + tree.file("Store/news.example.org.dbx") + "\n" +
                            "mail\t" + tree.file("Other/Old/Sent.dbx") + "\n");
}

TEST(CliSearch, AFolderWithoutBasesPrintsNothing) {
  ScratchDir home;
  ScratchDir tree;
  fs::create_directories(tree.file("a/b"));
  const CliResult result = runCli({"search", tree.path()}, home.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(runCli({"search", "--fast"}, home.path()).status, 2);
}

}  // namespace
}  // namespace vireo::testing
