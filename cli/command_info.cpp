#include <cstdio>

#include "cli/base_kind_name.h"
#include "cli/commands.h"
#include "dbx/base_file.h"
#include "dbx/file_header.h"

namespace vireo::cli {

int runInfo(const Arguments& args) {
  if (args.size() != 1 || args[0].starts_with("--")) return usage();
  const std::string& path = args[0];
  dbx::BaseFile file;
  if (!file.open(path)) {
    std::fprintf(stderr, "vireo-cli: cannot open %s: %s\n", path.c_str(), file.error().c_str());
    return 1;
  }
  const dbx::FileHeader header = dbx::readFileHeader(file);
  const int kind = header.baseKind();
  std::printf("base: %s\n", path.c_str());
  std::printf("kind: %d (%s)\n", kind, baseKindName(kind));
  if (header.messageCount) std::printf("messages in header: %d\n", *header.messageCount);
  else std::printf("messages in header: (file too short to hold a header)\n");
  std::printf("file size: %llu bytes\n", static_cast<unsigned long long>(file.size()));
  return 0;
}

}  // namespace vireo::cli
