#include "platform/exit_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>

namespace vireo {
namespace {

// A folder is read again after a pass that removed something: entries unlinked while a folder
// is read may hide others from that read.
constexpr int kRemovalPasses = 8;

bool startsWith(const char* name, const char* prefix) noexcept {
  for (; *prefix; ++name, ++prefix)
    if (*name != *prefix) return false;
  return true;
}

// The kernel's record of getdents64, which glibc does not declare everywhere.
struct DirectoryRecord {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

// Unlinks the working files of one read of the folder; returns how many went.
int removalPass(int fd) noexcept {
  if (::lseek(fd, 0, SEEK_SET) != 0) return 0;
  alignas(8) char buffer[4096];
  int removed = 0;
  while (true) {
    const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (got <= 0) return removed;
    for (long at = 0; at < got;) {
      const auto* record = reinterpret_cast<const DirectoryRecord*>(buffer + at);
      at += record->length;
      if (record->type == DT_DIR || !isWorkingFileName(record->name)) continue;
      // unlinkat removes a link itself and refuses a folder.
      if (::unlinkat(fd, record->name, 0) == 0) ++removed;
    }
  }
}

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  bool removeFolder = false;
  char path[4096] = {};
};

constexpr int kSlotCount = 16;
Slot slots[kSlotCount];
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots' states");

constexpr int kExitSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onExitSignal(int signal) {
  const int saved = errno;
  for (Slot& slot : slots)
    if (slot.state.load(std::memory_order_acquire) == kReady) removeWorkingFiles(slot.path, slot.removeFolder);
  errno = saved;
  // SA_RESETHAND has put the default action back; the signal, blocked until the handler
  // returns, then ends the process as it would have without Vireo's handler.
  ::raise(signal);
}

}  // namespace

bool isWorkingFileName(const char* name) noexcept {
  if (startsWith(name, "hive-")) return true;
  for (const char* dot = name; *dot; ++dot) {
    if (*dot != '.' || dot == name) continue;
    for (const char* extension : {"dbc", "mht", "eml"}) {
      if (!startsWith(dot + 1, extension)) continue;
      const char after = dot[4];
      if (after == '\0' || after == '.') return true;
    }
  }
  return false;
}

bool removeWorkingFiles(const char* folder, bool removeFolder) noexcept {
  const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool ours = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  if (ours)
    for (int pass = 0; pass < kRemovalPasses && removalPass(fd) > 0; ++pass) {
    }
  ::close(fd);
  if (!ours) return false;
  return !removeFolder || ::rmdir(folder) == 0;
}

void installExitSignalCleanup() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  for (const int signal : kExitSignals) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time: the other exit signals wait until this one has ended the process.
    for (const int other : kExitSignals) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &action, nullptr);
  }
}

ExitCleanupFolder::ExitCleanupFolder(const std::string& folder, bool removeFolder) {
  if (folder.empty() || folder.size() >= sizeof(Slot::path)) return;
  for (int i = 0; i < kSlotCount; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
    folder.copy(slots[i].path, folder.size());
    slots[i].path[folder.size()] = '\0';
    slots[i].removeFolder = removeFolder;
    slots[i].state.store(kReady, std::memory_order_release);
    slot_ = i;
    return;
  }
}

ExitCleanupFolder::~ExitCleanupFolder() {
  if (slot_ >= 0) slots[slot_].state.store(kFree, std::memory_order_release);
}

}  // namespace vireo
