#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tools/dbx_writer/scratch_dir.h"

extern char** environ;

namespace vireo::testing {

CliResult runCli(const std::vector<std::string>& args, const std::string& home) {
  char outPath[] = "/tmp/vireo-cli-out-XXXXXX";
  char errPath[] = "/tmp/vireo-cli-err-XXXXXX";
  const int out = ::mkstemp(outPath);
  const int err = ::mkstemp(errPath);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!home.empty() && (entry.starts_with("HOME=") || entry.starts_with("XDG_") || entry.starts_with("TMPDIR=")))
      continue;
    env.push_back(entry);
  }
  if (!home.empty()) {
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
    env.push_back("XDG_CACHE_HOME=" + home + "/.cache");
    env.push_back("XDG_RUNTIME_DIR=" + home + "/run");
    // The run's working folder is made there.
    std::filesystem::create_directories(home + "/tmp");
    env.push_back("TMPDIR=" + home + "/tmp");
  }
  std::vector<char*> argv{const_cast<char*>(VIREO_CLI_PATH)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  CliResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, VIREO_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(out);
  ::close(err);
  result.out = fileText(outPath);
  result.err = fileText(errPath);
  std::remove(outPath);
  std::remove(errPath);
  return result;
}

int spawnCli(const std::vector<std::string>& args, const std::string& home, const std::string& tempFolder) {
  const std::string bin = VIREO_CLI_PATH;
  std::filesystem::create_directories(tempFolder);
  std::vector<std::string> env{"HOME=" + home, "TMPDIR=" + tempFolder, "PATH=/usr/bin:/bin"};
  std::vector<std::string> all{bin};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    out.push_back(text.substr(start, end - start));
  return out;
}

}  // namespace vireo::testing
