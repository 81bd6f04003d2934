#include "platform/folder_path.h"

#include <filesystem>
#include <system_error>

namespace vireo {

int createFolderPath(const std::string& path) {
  if (path.empty() || path.size() > kMaxFolderPath) return -1;
  std::error_code error;
  // Made one prefix at a time, so the answer concerns the last component: the whole path
  // without its trailing separator.
  size_t start = 0;
  while (true) {
    const size_t separator = path.find('/', start);
    const std::string sofar = path.substr(0, separator);
    if (!sofar.empty()) std::filesystem::create_directory(sofar, error);
    if (separator == std::string::npos || separator + 1 >= path.size()) break;
    start = separator + 1;
  }
  return std::filesystem::is_directory(path, error) ? 0 : -1;
}

}  // namespace vireo

namespace vireo {

int removeFilesWithExtension(const std::string& folder, const std::string& extension) {
  std::error_code error;
  std::filesystem::directory_iterator entry(folder, error), end;
  int removed = 0;
  for (; !error && entry != end; entry.increment(error)) {
    if (!entry->is_regular_file(error) || entry->is_symlink(error)) continue;
    if (entry->path().extension() != extension) continue;
    std::error_code ignored;
    if (std::filesystem::remove(entry->path(), ignored)) ++removed;
  }
  return removed;
}

}  // namespace vireo
