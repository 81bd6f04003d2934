#pragma once
// Windows hive files for tests: hivex edits hives but cannot make one, so an empty hive (base
// block, one bin holding a root key and its security cell) is written by hand, then filled with
// hivex's own writing calls.
#include <string>
#include <utility>
#include <vector>

#include "platform/registry_key.h"

namespace vireo::testing {

void writeEmptyHive(const std::string& path);

struct HiveKeySpec {
  std::string path;  // below the root, backslash-separated
  std::vector<std::pair<std::string, RegistryValue>> values;
};

// An empty hive at path, then every key (made with its parents) with its values, committed.
// False when hivex refused a step.
bool writeHive(const std::string& path, const std::vector<HiveKeySpec>& keys);

}  // namespace vireo::testing
