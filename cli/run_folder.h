#pragma once
// The CLI's temp folder: a working folder of this run (reader/temp_folder.h), so runs side by side
// (or beside the window) never share working copies. Removed when it goes, or when a signal ends
// the run. The user's settings are neither read nor written.
#include <memory>
#include <string>

#include "reader/document.h"
#include "reader/temp_folder.h"

namespace vireo::cli {

class RunFolder {
 public:
  RunFolder();  // prints one line and stays not ready when the folder cannot be made
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  bool ready() const { return !path().empty(); }
  const std::string& path() const { return folder_.path(); }
  // A document whose temp folder is this folder.
  DocumentSetup setup() const;
  // That document, started; null (after one line saying why) when the folder or the document
  // could not be made. It must go before the folder does.
  std::unique_ptr<Document> startDocument() const;

 private:
  WorkingFolder folder_;
};

}  // namespace vireo::cli
