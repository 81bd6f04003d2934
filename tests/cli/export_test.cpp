// vireo-cli export and copy, run as a user would.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

std::string messageText(int i) {
  std::string body;
  for (int line = 0; line < 40 + i % 50; ++line) body += "line " + std::to_string(line) + " of " + std::to_string(i) + "\r\n";
  return simpleMessage("message " + std::to_string(i), body);
}

std::vector<std::string> writeBase(const std::string& path, int count) {
  DbxWriter writer;
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) writer.add(texts.emplace_back(messageText(i)));
  writer.build().save(path);
  return texts;
}

size_t filesIn(const std::string& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A message that cannot be written is named with the file and the system's reason; the others
// are still written, and the status says the export failed.
TEST(CliExport, NamesEachMessageItCannotWrite) {
  ScratchDir home;
  writeBase(home.file("Inbox.dbx"), 5);
  const std::string out = home.file("out");
  fs::create_directories(out + "/3.eml");  // a folder where message 3's file should go
  const CliResult result = runCli({"export", home.file("Inbox.dbx"), out}, home.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "4 written, 1 failed\n");
  EXPECT_NE(result.err.find("vireo-cli: message 3 not written: cannot replace " + out + "/3.eml: Is a directory"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(filesIn(out), 5u);  // four messages and the folder, no temporary file left behind
}

TEST(CliExport, WritesEveryMessageWithItsStoredBytes) {
  ScratchDir home;
  const auto texts = writeBase(home.file("Inbox.dbx"), 25);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"--recover"}, {"--copy"}}) {
    const std::string out = home.file("out" + std::to_string(options.size()) + (options.empty() ? "" : options[0]) + "/deep/");
    std::vector<std::string> args{"export"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(home.file("Inbox.dbx"));
    args.push_back(out);
    const CliResult result = runCli(args, home.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "25 written, 0 failed\n");
    ASSERT_EQ(filesIn(out), 25u);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(fileText(out + std::to_string(i) + ".eml"), texts[static_cast<size_t>(i)]);
  }
  EXPECT_FALSE(fs::exists(home.file(".config/Vireo")));
}

TEST(CliExport, FailsClearlyForBadUsageMissingBasesAndUnwritableFolders) {
  ScratchDir home;
  writeBase(home.file("Inbox.dbx"), 2);
  EXPECT_EQ(runCli({"export", home.file("Inbox.dbx")}, home.path()).status, 2);
  EXPECT_EQ(runCli({"export", "--fast", home.file("Inbox.dbx"), home.file("o")}, home.path()).status, 2);
  EXPECT_EQ(runCli({"copy", home.file("Inbox.dbx")}, home.path()).status, 2);

  const CliResult missing = runCli({"export", home.file("none.dbx"), home.file("o")}, home.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(home.file("none.dbx")), std::string::npos) << missing.err;
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

  std::ofstream(home.file("file")) << "in the way";
  const CliResult blocked = runCli({"export", home.file("Inbox.dbx"), home.file("file/o")}, home.path());
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find(home.file("file/o")), std::string::npos) << blocked.err;

  std::ofstream(home.file("junk.dbx")) << "not a message base at all";
  EXPECT_EQ(runCli({"export", home.file("junk.dbx"), home.file("o")}, home.path()).status, 1);
}

TEST(CliCopy, CopiesTheBaseAndReplacesAnOlderCopy) {
  ScratchDir home;
  writeBase(home.file("Inbox.dbx"), 5);
  fs::create_directories(home.file("backup"));
  std::ofstream(home.file("backup/Inbox.dbx")) << "old";
  const CliResult result = runCli({"copy", home.file("Inbox.dbx"), home.file("backup/")}, home.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(fileText(home.file("backup/Inbox.dbx")), fileText(home.file("Inbox.dbx")));
  EXPECT_EQ(runCli({"copy", home.file("Inbox.dbx"), home.file("new/a/b")}, home.path()).status, 0);
  EXPECT_TRUE(fs::exists(home.file("new/a/b/Inbox.dbx")));
  EXPECT_EQ(runCli({"copy", home.file("gone.dbx"), home.file("backup")}, home.path()).status, 1);
}

// Spawns vireo-cli, waits until its working copy exists (it is then reading), and interrupts it.
TEST(CliExport, InterruptStopsCleanlyWithStatus130) {
  ScratchDir home;
  const auto texts = writeBase(home.file("Inbox.dbx"), 40000);
  const std::string out = home.file("out");
  const std::string bin = VIREO_CLI_PATH;
  fs::create_directory(home.file("run"));
  std::vector<std::string> env{"HOME=" + home.path(), "TMPDIR=" + home.file("run"), "PATH=/usr/bin:/bin"};
  std::vector<std::string> args{bin, "export", "--recover", "--copy", home.file("Inbox.dbx"), out};
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);

  bool reading = false;
  while (!reading && ::waitpid(pid, nullptr, WNOHANG) == 0) {
    std::error_code error;
    for (fs::directory_iterator it(home.file("run"), error), end; !error && it != end; it.increment(error))
      if (fs::exists(it->path() / "0.dbc")) reading = true;
    if (!reading) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(reading) << "vireo-cli ended before it could be interrupted";
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  if (fs::exists(out)) {
    for (const auto& entry : fs::directory_iterator(out)) {
      const std::string name = entry.path().filename();
      ASSERT_TRUE(name.ends_with(".eml")) << name;
      EXPECT_EQ(fileText(entry.path()), texts[std::stoul(name)]) << name;
    }
  }
  EXPECT_EQ(filesIn(home.file("run")), 0u);  // the run's folder went with it
}

}  // namespace
}  // namespace vireo::testing
