#pragma once
// The CLI's temp folder: a fresh folder per run inside the user's private temp folder, so runs
// side by side (or beside the window) never share working copies. Removed when it goes. The
// user's settings are neither read nor written.
#include <memory>
#include <string>

#include "reader/document.h"

namespace vireo::cli {

class RunFolder {
 public:
  RunFolder();  // prints one line and stays not ready when the folder cannot be made
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  bool ready() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // A document whose temp folder is this folder.
  DocumentSetup setup() const;
  // That document, started; null (after one line saying why) when the folder or the document
  // could not be made. It must go before the folder does.
  std::unique_ptr<Document> startDocument() const;

 private:
  std::string path_;
};

}  // namespace vireo::cli
