// vireo-cli export and copy, run as a user would.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/user_file_writer.h"
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
// are still written, and the status says the export failed. A file size limit (which binds root
// too, and which vireo-cli inherits) makes the larger messages fail.
TEST(CliExport, NamesEachMessageItCannotWrite) {
  ScratchDir home;
  const auto texts = writeBase(home.file("Inbox.dbx"), 5);
  const std::string out = home.file("out");
  const size_t limit = texts[2].size() + 1;  // messages grow with their number
  struct rlimit previous {};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  const sighandler_t previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = previous;
  small.rlim_cur = limit;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const CliResult result = runCli({"export", home.file("Inbox.dbx"), out}, home.path());
  ::setrlimit(RLIMIT_FSIZE, &previous);
  ::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "3 written, 2 failed\n");
  EXPECT_NE(result.err.find("vireo-cli: message 3 not written: cannot write " + out + "/3.eml: File too large"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(filesIn(out), 3u);  // no temporary file left behind
  for (int i = 0; i < 3; ++i) EXPECT_EQ(fileText(out + "/" + std::to_string(i) + ".eml"), texts[static_cast<size_t>(i)]);
}

// Two bases exported into one folder: the second's messages go beside the first's; exporting
// again adds nothing; the counts say which happened.
TEST(CliExport, KeepsFilesOfTheSameNameAndSaysHowMany) {
  ScratchDir home;
  const auto inbox = writeBase(home.file("Inbox.dbx"), 13);
  DbxWriter sentWriter;
  for (int i = 0; i < 2; ++i) sentWriter.add(simpleMessage("sent " + std::to_string(i)));
  sentWriter.build().save(home.file("Sent Items.dbx"));
  const std::string out = home.file("Mail backup");
  EXPECT_EQ(runCli({"export", home.file("Inbox.dbx"), out}, home.path()).out, "13 written, 0 failed\n");
  const CliResult sent = runCli({"export", home.file("Sent Items.dbx"), out}, home.path());
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(sent.out, "2 written, 0 failed (2 kept beside files of the same name)\n");
  EXPECT_EQ(fileText(out + "/0.eml"), inbox[0]);
  EXPECT_EQ(fileText(out + "/1 (2).eml"), simpleMessage("sent 1"));
  EXPECT_EQ(runCli({"export", home.file("Inbox.dbx"), out}, home.path()).out,
            "13 written, 0 failed (13 identical files left as they were)\n");
  EXPECT_EQ(filesIn(out), 15u);
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

TEST(CliCopy, CopiesTheBaseAndKeepsAnOlderCopy) {
  ScratchDir home;
  writeBase(home.file("Inbox.dbx"), 5);
  fs::create_directories(home.file("backup"));
  std::ofstream(home.file("backup/Inbox.dbx")) << "old";
  const CliResult result = runCli({"copy", home.file("Inbox.dbx"), home.file("backup/")}, home.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "copied as " + home.file("backup/Inbox (2).dbx") + ", beside a file of the same name\n");
  EXPECT_EQ(fileText(home.file("backup/Inbox.dbx")), "old");
  EXPECT_EQ(fileText(home.file("backup/Inbox (2).dbx")), fileText(home.file("Inbox.dbx")));
  const CliResult again = runCli({"copy", home.file("Inbox.dbx"), home.file("backup")}, home.path());
  EXPECT_EQ(again.out, home.file("backup/Inbox (2).dbx") + " already holds the same bytes\n");
  EXPECT_EQ(filesIn(home.file("backup")), 2u);
  // The line the window's status bar shows after its copy too.
  const CliResult fresh = runCli({"copy", home.file("Inbox.dbx"), home.file("new/a/b")}, home.path());
  EXPECT_EQ(fresh.status, 0);
  EXPECT_EQ(fresh.out, "copied to " + home.file("new/a/b/Inbox.dbx") + "\n");
  EXPECT_TRUE(fs::exists(home.file("new/a/b/Inbox.dbx")));
  EXPECT_EQ(runCli({"copy", home.file("gone.dbx"), home.file("backup")}, home.path()).status, 1);
}


// Spawns vireo-cli, waits until its working copy exists (it is then reading), and interrupts it.
TEST(CliExport, InterruptStopsCleanlyWithStatus130) {
  ScratchDir home;
  const auto texts = writeBase(home.file("Inbox.dbx"), 40000);
  const std::string out = home.file("out");
  const pid_t pid = spawnCli({"export", "--recover", "--copy", home.file("Inbox.dbx"), out}, home.path(), home.file("run"));
  ASSERT_GT(pid, 0);

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

// kill -9 while messages are being written: every final name holds a whole message, and what is
// left beside them are the writer's temporaries.
TEST(CliExport, AKilledExportLeavesNoCutShortFile) {
  ScratchDir home;
  DbxWriter writer;
  std::vector<std::string> texts;
  for (int i = 0; i < 120; ++i)
    writer.add(texts.emplace_back(simpleMessage("large " + std::to_string(i), std::string(300000 + i, 'a' + i % 26) + "\r\n")));
  writer.build().save(home.file("Inbox.dbx"));
  const std::string out = home.file("out");
  const pid_t pid = spawnCli({"export", home.file("Inbox.dbx"), out}, home.path(), home.file("run"));
  ASSERT_GT(pid, 0);
  while (filesIn(out) < 20 && ::waitpid(pid, nullptr, WNOHANG) == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "vireo-cli ended before it was killed";
  size_t whole = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    const std::string name = entry.path().filename();
    if (isTemporaryFileName(name)) continue;
    ASSERT_TRUE(name.ends_with(".eml")) << name;
    EXPECT_EQ(fileText(entry.path()), texts[std::stoul(name)]) << name;
    ++whole;
  }
  EXPECT_GE(whole, 19u);
}

}  // namespace
}  // namespace vireo::testing
