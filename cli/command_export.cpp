#include <cstdio>

#include "cli/commands.h"

namespace vireo::cli {

int runExport(const Arguments&) {
  std::fputs("vireo-cli: export is not built yet\n", stderr);
  return 1;
}

int runCopy(const Arguments&) {
  std::fputs("vireo-cli: copy is not built yet\n", stderr);
  return 1;
}

}  // namespace vireo::cli
