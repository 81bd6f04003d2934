// vireo-cli's working folder when the run is ended by a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/cli/cli_runner.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

// Starts "vireo-cli export --recover --copy" on a base large enough to take a while, waits until
// its working copy exists in TMPDIR (it is then reading), and sends it signal.
int endExportBySignal(const ScratchDir& home, int signal) {
  DbxWriter writer;
  for (int i = 0; i < 30000; ++i) writer.add(simpleMessage("message " + std::to_string(i), std::string(400, 'x') + "\r\n"));
  writer.build().save(home.file("Inbox.dbx"));
  const pid_t pid = spawnCli({"export", "--recover", "--copy", home.file("Inbox.dbx"), home.file("out")}, home.path(),
                             home.file("tmp"));
  if (pid < 0) return -1;

  bool reading = false;
  while (!reading && ::waitpid(pid, nullptr, WNOHANG) == 0) {
    std::error_code error;
    for (fs::directory_iterator it(home.file("tmp"), error), end; !error && it != end; it.increment(error))
      if (fs::exists(it->path() / "0.dbc")) reading = true;
    if (!reading) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!reading) return -2;
  ::kill(pid, signal);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(CliWorkingFolder, SigtermEndsTheRunAndTakesItsWorkingFolder) {
  ScratchDir home;
  const int status = endExportBySignal(home, SIGTERM);
  ASSERT_NE(status, -2) << "vireo-cli ended before it could be signalled";
  ASSERT_GE(status, 0);
  // The run ends: by the signal itself, or, when it lands during an operation, by the stop
  // the signal asks for (a failed exit), as Ctrl-C does.
  if (WIFSIGNALED(status)) EXPECT_EQ(WTERMSIG(status), SIGTERM);
  else EXPECT_NE(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::is_empty(home.file("tmp")));
}

}  // namespace
}  // namespace vireo::testing
