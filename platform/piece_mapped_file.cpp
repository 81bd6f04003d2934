#include "platform/piece_mapped_file.h"

#include <sys/stat.h>

#include <map>
#include <mutex>
#include <utility>

namespace vireo {
namespace {

// Readers open the mapped path on worker threads while the carve that made it lives on.
struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const PieceMap>, std::less<>> maps;
};

Registry& registry() {
  static Registry* const instance = new Registry;  // outlives every static reader
  return *instance;
}

}  // namespace

PieceMappedFile::PieceMappedFile(std::string path, PieceMap map) : path_(std::move(path)) {
  Registry& r = registry();
  const std::lock_guard lock(r.mutex);
  struct stat existing {};
  if (::lstat(path_.c_str(), &existing) == 0) return;
  registered_ = r.maps.emplace(path_, std::make_shared<const PieceMap>(std::move(map))).second;
}

PieceMappedFile::~PieceMappedFile() {
  if (!registered_) return;
  Registry& r = registry();
  const std::lock_guard lock(r.mutex);
  r.maps.erase(path_);
}

std::shared_ptr<const PieceMap> findPieceMap(const std::string& path) {
  Registry& r = registry();
  const std::lock_guard lock(r.mutex);
  const auto found = r.maps.find(path);
  return found == r.maps.end() ? nullptr : found->second;
}

}  // namespace vireo
