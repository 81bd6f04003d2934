#pragma once
// Which of the document's commands are enabled, from the flags the views set and whether an
// operation runs. The window asks this before showing a menu or toolbar state.
#include <optional>

#include "table/design_numbers.h"

namespace vireo {

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
