#include "reader/temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/folder_path.h"
#include "reader/settings.h"

namespace vireo {

std::string fallbackTempFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/temp_vir";
  return cacheFolder() + "/temp_vir";
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

}  // namespace vireo
