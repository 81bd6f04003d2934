#include "reader/start_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/message_sink.h"
#include "reader/base_listing.h"
#include "reader/document.h"

namespace vireo {
namespace fs = std::filesystem;
namespace {

FoundBase foundBase(const std::string& folder, const std::string& name) {
  MessageBaseReader reader;
  reader.baseFolder = folder;
  reader.baseName = name;
  reader.detectBaseKind();
  return {folder, name, reader.baseKind};
}

std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void reportStartPath(const std::string& given, const std::string& reason) {
  showMessageBox("Cannot open " + given + "\n" + reason);
}

// One path of the command line: its bases, or nothing after a message.
std::vector<FoundBase> startPathBases(const std::string& given) {
  if (given.empty()) {
    reportStartPath("\"\"", "No such file or folder.");
    return {};
  }
  std::error_code error;
  const fs::path path = fs::absolute(given, error).lexically_normal();
  const fs::file_status status = error ? fs::file_status{} : fs::status(path, error);
  if (error) {
    reportStartPath(given, error.message());
    return {};
  }
  const std::string full = withoutTrailingSeparators(path.string());
  if (fs::is_directory(status)) return findFolderBases(full);
  if (fs::is_regular_file(status) && isBaseFileName(path.filename().string())) {
    const fs::path file(full);
    return {foundBase(file.parent_path().string(), file.filename().string())};
  }
  reportStartPath(given, "It is neither a folder nor a .dbx file.");
  return {};
}

}  // namespace

std::string startPathFolder(const std::string& given) {
  std::error_code error;
  const fs::path path = fs::absolute(given, error).lexically_normal();
  if (given.empty() || error) return {};
  const fs::file_status status = fs::status(path, error);
  if (error) return {};
  const std::string full = withoutTrailingSeparators(path.string());
  if (fs::is_directory(status)) return full;
  if (fs::is_regular_file(status)) return fs::path(full).parent_path().string();
  return {};
}

std::vector<FoundBase> findFolderBases(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    std::error_code typeError;
    // A folder or device named *.dbx is no base.
    if (!entries->is_regular_file(typeError)) continue;
    std::string name = entries->path().filename().string();
    if (isBaseFileName(name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  std::vector<FoundBase> bases;
  bases.reserve(names.size());
  for (const std::string& name : names) bases.push_back(foundBase(folder, name));
  return bases;
}

void findStartBases(const StoreFolderSource& source, const std::string& workingFolder,
                    const std::vector<std::string>& paths, const FoundBasesSink& deliver,
                    const std::atomic<bool>& stop) {
  if (source) {
    source(workingFolder, [&](const std::string& folder) {
      if (stop) return false;
      deliver(findFolderBases(folder), false);
      return !stop;
    });
  }
  for (const std::string& path : paths) {
    if (stop) break;
    deliver(startPathBases(path), false);
  }
  deliver({}, true);
}

bool addFoundBases(Document& doc, const std::vector<FoundBase>& bases) {
  if (doc.listingStopped) return false;
  for (const FoundBase& base : bases)
    if (!addFoundBase(doc.shared(), base.folder, base.name, base.kind)) return false;
  return true;
}

}  // namespace vireo
