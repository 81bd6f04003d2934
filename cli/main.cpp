#include <cstdio>
#include <clocale>
#include <cstring>

#include "cli/commands.h"
#include "platform/exit_cleanup.h"

namespace vireo::cli {

int usage() {
  std::fputs(
      "usage: vireo-cli info BASE\n"
      "       vireo-cli list [--recover] [--json] [--copy] BASE\n"
      "       vireo-cli export [--recover] [--copy] BASE DIR\n"
      "       vireo-cli copy BASE DIR\n"
      "       vireo-cli stores\n"
      "       vireo-cli search [FOLDER...]\n"
      "       vireo-cli carve [--json] IMAGE\n"
      "       vireo-cli carve IMAGE DIR\n",
      stderr);
  return 2;
}

}  // namespace vireo::cli

int main(int argc, char** argv) {
  using namespace vireo::cli;
  std::setlocale(LC_ALL, "");  // dates in the user's own format
  vireo::installExitSignalCleanup();  // a run ended by a signal leaves no working folder
  if (argc < 2) return usage();
  const std::string verb = argv[1];
  const Arguments args(argv + 2, argv + argc);
  if (verb == "info") return runInfo(args);
  if (verb == "list") return runList(args);
  if (verb == "export") return runExport(args);
  if (verb == "copy") return runCopy(args);
  if (verb == "stores") return runStores(args);
  if (verb == "search") return runSearch(args);
  if (verb == "carve") return runCarve(args);
  if (verb == "--help" || verb == "-h" || verb == "help") {
    usage();
    return 0;
  }
  std::fprintf(stderr, "vireo-cli: unknown command '%s'\n", verb.c_str());
  return usage();
}
