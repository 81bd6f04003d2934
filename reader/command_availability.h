#pragma once
// Which of the document's commands are enabled, from the flags the views set and whether an
// operation runs. The window asks this before showing a menu or toolbar state.
#include <optional>

namespace vireo {

namespace command {
inline constexpr int kBrowse = 32773;
inline constexpr int kRecover = 32774;
inline constexpr int kSaveAll = 32775;
inline constexpr int kAddBase = 32776;
inline constexpr int kStop = 32780;
inline constexpr int kSaveSelected = 32788;
inline constexpr int kViewSystemBase = 32792;
inline constexpr int kViewNewsBase = 32793;
inline constexpr int kCopyBase = 32795;
inline constexpr int kRemoveBase = 32796;
inline constexpr int kNew = 57600;
}  // namespace command

struct CommandFlags {
  int canSaveAll = 0;
  int canSaveSelected = 0;
  int canBrowse = 0;
  int canRecover = 0;
  int canNew = 1;
  int canAddBase = 1;
  int canCopyBase = 0;
  int canRemoveBase = 0;
};

// Empty for a command not in the table: its own handler decides.
std::optional<bool> commandEnabled(int commandId, const CommandFlags& flags, int operationRunning);

}  // namespace vireo
