#include "cli/run_folder.h"

#include <cstdio>

namespace vireo::cli {

RunFolder::RunFolder() : folder_(workingFolderBase()) {
  if (!ready()) std::fprintf(stderr, "vireo-cli: cannot make a private temp folder %s\n", folder_.pattern().c_str());
}

DocumentSetup RunFolder::setup() const {
  DocumentSetup setup;
  setup.fallbackTempFolder = path();
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
