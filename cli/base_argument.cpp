#include "cli/base_argument.h"

#include <cstdio>
#include <filesystem>

#include "platform/read_only_file.h"

namespace vireo::cli {

bool setBase(MessageBaseReader& reader, const std::string& path) {
  ReadOnlyFile probe;
  if (!probe.open(path)) {
    std::fprintf(stderr, "vireo-cli: cannot open %s: %s\n", path.c_str(), probe.error().c_str());
    return false;
  }
  const std::filesystem::path file(path);
  reader.baseName = file.filename().string();
  reader.baseFolder = file.has_parent_path() ? file.parent_path().string() : ".";
  reader.detectBaseKind();
  return true;
}

}  // namespace vireo::cli
