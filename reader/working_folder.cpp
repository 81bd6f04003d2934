#include "reader/working_folder.h"

#include <mutex>

namespace vireo {
namespace {
std::mutex folderMutex;
std::string folder;
}  // namespace

std::string workingFolder() {
  std::lock_guard lock(folderMutex);
  return folder;
}

void setWorkingFolder(const std::string& value) {
  std::lock_guard lock(folderMutex);
  folder = value;
}

}  // namespace vireo
