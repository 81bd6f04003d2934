#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <clocale>
#include <cstring>
#include <sys/stat.h>

#include "cli/commands.h"
#include "cli/help_text.h"
#include "platform/exit_cleanup.h"
#include "platform/huge_page_heap.h"

namespace vireo::cli {

// The largest file the arguments name: a base or a disk image the command is about to read. A
// disk itself counts as large.
uint64_t largestNamedFile(int argc, char** argv) {
  uint64_t largest = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat status {};
    if (::stat(argv[i], &status) != 0) continue;
    if (S_ISBLK(status.st_mode)) return UINT64_MAX;
    if (S_ISREG(status.st_mode)) largest = std::max(largest, static_cast<uint64_t>(status.st_size));
  }
  return largest;
}

int usage() {
  std::fwrite(usageText().data(), 1, usageText().size(), stderr);
  return 2;
}

}  // namespace vireo::cli

int main(int argc, char** argv) {
  using namespace vireo::cli;
  // May start the program again: before anything else.
  vireo::preferHugePageHeap(argv, largestNamedFile(argc, argv));
  std::setlocale(LC_ALL, "");  // dates in the user's own format
  vireo::installExitSignalCleanup();  // a run ended by a signal leaves no working folder
  if (argc < 2) return usage();
  const std::string verb = argv[1];
  const Arguments args(argv + 2, argv + argc);
  if (verb == "help" && args.size() == 1 && !commandHelp(args[0]).empty()) {
    std::fwrite(commandHelp(args[0]).data(), 1, commandHelp(args[0]).size(), stdout);
    return 0;
  }
  if (verb == "--help" || verb == "-h" || verb == "help") {
    std::fwrite(generalHelp().data(), 1, generalHelp().size(), stdout);
    return 0;
  }
  // "vireo-cli COMMAND --help" wherever the word stands: asking never runs the command.
  for (const std::string& arg : args)
    if (asksForHelp(arg)) {
      const std::string_view help = commandHelp(verb);
      if (help.empty()) break;
      std::fwrite(help.data(), 1, help.size(), stdout);
      return 0;
    }
  if (verb == "info") return runInfo(args);
  if (verb == "list") return runList(args);
  if (verb == "export") return runExport(args);
  if (verb == "copy") return runCopy(args);
  if (verb == "stores") return runStores(args);
  if (verb == "search") return runSearch(args);
  if (verb == "carve") return runCarve(args);
  std::fprintf(stderr, "vireo-cli: unknown command '%s'\n", verb.c_str());
  return usage();
}
