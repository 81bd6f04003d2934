#include <cstdio>

#include "cli/commands.h"

namespace vireo::cli {

int runInfo(const Arguments&) { return 1; }
int runList(const Arguments&) { return 1; }

}  // namespace vireo::cli
