#include <cstdio>

#include "cli/base_argument.h"
#include "cli/commands.h"
#include "platform/folder_path.h"
#include "reader/message_base_reader.h"

namespace vireo::cli {

int runCopy(const Arguments& args) {
  if (args.size() != 2 || args[0].starts_with("--") || args[1].starts_with("--")) return usage();
  MessageBaseReader reader;
  if (!setBase(reader, args[0])) return 1;
  if (createFolderPath(args[1]) != 0) {
    std::fprintf(stderr, "vireo-cli: cannot create folder %s\n", args[1].c_str());
    return 1;
  }
  return reader.copyMessageBase(args[1]) == 0 ? 0 : 1;
}

}  // namespace vireo::cli
