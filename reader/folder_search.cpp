#include "reader/folder_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "platform/mount_table.h"
#include "reader/base_listing.h"

namespace vireo {
namespace {

// The progress message goes out when the counter passed this: at the second folder, then every
// 102 folders.
constexpr int kProgressCounter = 100;

struct FolderEntries {
  std::vector<std::string> baseFiles;
  std::vector<std::string> subfolders;
};

class DirectoryHandle {
 public:
  explicit DirectoryHandle(int fd) : dir_(fd >= 0 ? ::fdopendir(fd) : nullptr) {
    if (fd >= 0 && !dir_) ::close(fd);
  }
  ~DirectoryHandle() {
    if (dir_) ::closedir(dir_);
  }
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

bool isRegularFileAt(int folderFd, const char* name, int flags) {
  struct stat st {};
  return ::fstatat(folderFd, name, &st, flags) == 0 && S_ISREG(st.st_mode);
}

// One pass over the folder: its base files (regular files, or links to them, as the listing
// takes them) and its subfolders (never links: a link to a folder above makes a loop).
FolderEntries readEntries(DIR* dir) {
  FolderEntries entries;
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
      entries.subfolders.emplace_back(name);
    } else if ((type == DT_REG || type == DT_LNK) && isBaseFileName(name)) {
      if (type == DT_REG || isRegularFileAt(fd, name, 0)) entries.baseFiles.emplace_back(name);
    }
  }
  return entries;
}

class FolderWalk {
 public:
  explicit FolderWalk(WorkerShared& shared) : shared_(shared), foreignDevices_(foreignMountDevices()) {}

  void searchRoot(const std::string& folder) {
    std::string path = folder;
    visit(AT_FDCWD, folder.empty() ? "/" : folder.c_str(), path, 0, nullptr);
  }

 private:
  // path is the folder's name as the listing and the progress text give it; parentDevice is
  // null for the searched folder itself, which is entered whatever its file system.
  void visit(int parentFd, const char* name, std::string& path, int depth, const dev_t* parentDevice) {
    if (!shared_.searchOk || shared_.listingStopped) return;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (parentDevice ? O_NOFOLLOW : 0);
    const int fd = ::openat(parentFd, name, flags);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && parentDevice && st.st_dev != *parentDevice &&
        foreignDevices_.count(st.st_dev) != 0) {
      ::close(fd);
      return;
    }
    countFolder(path);
    const DirectoryHandle dir(fd);
    if (!dir.get()) return;
    FolderEntries entries = readEntries(dir.get());
    if (!entries.baseFiles.empty() && !listBaseFiles(shared_, shownName(path), std::move(entries.baseFiles))) return;
    if (shared_.listingStopped || depth >= kSearchDepthLimit) return;
    std::sort(entries.subfolders.begin(), entries.subfolders.end());
    const size_t length = path.size();
    for (const std::string& subfolder : entries.subfolders) {
      path.append("/").append(subfolder);
      visit(::dirfd(dir.get()), subfolder.c_str(), path, depth + 1, &st.st_dev);
      path.resize(length);
    }
  }

  // Every folder visited counts; the progress text and the stop test come every 102 folders.
  void countFolder(const std::string& path) {
    const int visited = shared_.dirCounter++;
    if (visited <= kProgressCounter) return;
    if (!shared_.stopEvent.isSet()) {
      shared_.setSearchText(std::string(kSearchingText) + " " + shownName(path));
      shared_.deliver(kSearchProgress);
      shared_.dirCounter = 0;
    } else {
      shared_.searchOk = 0;
      shared_.setSearchText(kClosingSearchText);
      shared_.deliver(kSearchProgress);
    }
  }

  static std::string shownName(const std::string& path) { return path.empty() ? "/" : path; }

  WorkerShared& shared_;
  const std::set<dev_t> foreignDevices_;
};

}  // namespace

void searchFolder(WorkerShared& shared, const std::string& folder) { FolderWalk(shared).searchRoot(folder); }

}  // namespace vireo
