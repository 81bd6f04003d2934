#include "cli/base_argument.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/read_only_file.h"
#include "reader/working_folder.h"

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

PrivateWorkingFolder::PrivateWorkingFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vireo-XXXXXX";
  if (::mkdtemp(pattern.data())) {  // mode 0700: working copies are other people's mail
    path_ = pattern;
    setWorkingFolder(path_);
  } else {
    std::fprintf(stderr, "vireo-cli: cannot make a private folder for the working copy in %s\n",
                 base && *base ? base : "/tmp");
  }
}

PrivateWorkingFolder::~PrivateWorkingFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace vireo::cli
