#include "reader/temp_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/folder_path.h"

namespace vireo {
namespace {

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ownPrefix() { return "vireo-" + std::to_string(::geteuid()) + "-"; }

// The process number in "vireo-<uid>-<pid>-XXXXXX" when the name is this user's.
std::optional<pid_t> ownerOf(std::string_view name) {
  const std::string prefix = ownPrefix();
  if (!name.starts_with(prefix)) return std::nullopt;
  name.remove_prefix(prefix.size());
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || pid <= 0 || end == name.data() + name.size() || *end != '-') return std::nullopt;
  return pid;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Removes the stale folders first, so that a run never finds a killed run's folder in its way.
std::string makeWorkingFolder(const std::string& base, const std::string& pattern) {
  removeStaleWorkingFolders(base);
  std::string name = pattern;
  // mkdtemp makes the folder with mode 0700, and fails rather than use what is already there.
  if (pattern.size() > kMaxFolderPath || !::mkdtemp(name.data())) return {};
  return name;
}

}  // namespace

std::string workingFolderBase() {
  if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') {
    std::string folder = tmp;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (isFolder(folder)) return folder;
  }
  if (isFolder("/var/tmp")) return "/var/tmp";
  return "/tmp";
}

int makePrivateFolder(const std::string& folder) {
  if (folder.empty() || folder.size() > kMaxFolderPath) return -1;
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty() && createFolderPath(parent.string()) != 0) return -1;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  // Checked through a descriptor opened without following links, so the folder checked is the
  // folder narrowed.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  bool usable = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  if (usable && (st.st_mode & 077) != 0) usable = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  if (!usable) return -1;
  return 0;
}

int removeStaleWorkingFolders(const std::string& base) {
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(base.c_str()));
  if (!dir) return 0;
  const pid_t self = ::getpid();
  int removed = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::optional<pid_t> owner = ownerOf(entry->d_name);
    if (!owner || *owner == self) continue;
    // Only a process that is gone: kill answers EPERM for a live process of someone else.
    if (::kill(*owner, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    // removeWorkingFiles opens it without following a link and checks the owner again.
    if (removeWorkingFiles((base + "/" + entry->d_name).c_str(), true)) ++removed;
  }
  return removed;
}

WorkingFolder::WorkingFolder(const std::string& base)
    : pattern_(base + "/" + ownPrefix() + std::to_string(::getpid()) + "-XXXXXX"),
      path_(makeWorkingFolder(base, pattern_)),
      signalCleanup_(path_, true) {}

WorkingFolder::~WorkingFolder() {
  if (!path_.empty()) removeWorkingFiles(path_.c_str(), true);
}

}  // namespace vireo
