#pragma once
// Runs vireo-cli as a user would and captures what it prints.
#include <string>
#include <vector>

namespace vireo::testing {

struct CliResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
};

// Runs the built vireo-cli with the arguments, with HOME, the XDG folders and TMPDIR (home/tmp)
// pointed at home when it is not empty.
CliResult runCli(const std::vector<std::string>& args, const std::string& home = "");

// Starts the built vireo-cli with the arguments and returns at once, its output thrown away,
// with HOME at home and TMPDIR at tempFolder (made when missing); -1 when it cannot start.
int spawnCli(const std::vector<std::string>& args, const std::string& home, const std::string& tempFolder);

// The lines of what a run printed, without their line ends (a last unended line is left out).
std::vector<std::string> lines(const std::string& text);

}  // namespace vireo::testing
