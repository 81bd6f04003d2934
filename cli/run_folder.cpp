#include "cli/run_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "reader/temp_folder.h"

namespace vireo::cli {

RunFolder::RunFolder() {
  const std::string parent = fallbackTempFolder();
  std::string pattern = parent + "/cli-XXXXXX";
  if (makePrivateFolder(parent) == 0 && ::mkdtemp(pattern.data())) {
    path_ = pattern;
  } else {
    std::fprintf(stderr, "vireo-cli: cannot make a private temp folder in %s\n", parent.c_str());
  }
}

RunFolder::~RunFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

DocumentSetup RunFolder::setup() const {
  DocumentSetup setup;
  setup.fallbackTempFolder = path_;
  return setup;
}

std::unique_ptr<Document> RunFolder::startDocument() const {
  if (!ready()) return nullptr;
  auto doc = std::make_unique<Document>(setup());
  if (!doc->startupFailure().empty()) {
    std::fprintf(stderr, "vireo-cli: %s\n", doc->startupFailure().c_str());
    return nullptr;
  }
  return doc;
}

}  // namespace vireo::cli
