#pragma once
// The verbs of vireo-cli. Each takes the arguments after the verb and returns the exit status:
// 0 success, 1 the operation failed, 2 bad usage, 130 stopped.
#include <string>
#include <vector>

namespace vireo::cli {

using Arguments = std::vector<std::string>;

int runInfo(const Arguments& args);
int runList(const Arguments& args);
int runExport(const Arguments& args);
int runCopy(const Arguments& args);
int runStores(const Arguments& args);
int runSearch(const Arguments& args);
int runCarve(const Arguments& args);

// Prints the usage text to stderr and returns 2.
int usage();

}  // namespace vireo::cli
