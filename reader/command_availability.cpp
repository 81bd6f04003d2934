#include "reader/command_availability.h"

namespace vireo {

std::optional<bool> commandEnabled(int commandId, const CommandFlags& flags, int operationRunning) {
  const bool idle = operationRunning == 0;
  switch (commandId) {
    case command::kBrowse: return flags.canBrowse && idle;
    case command::kRecover: return flags.canRecover && idle;
    case command::kSaveAll:
    case command::kSaveAllMbox:
    case command::kSaveAllMaildir: return flags.canSaveAll && idle;
    case command::kAddBase: return flags.canAddBase && idle;
    case command::kStop: return !idle;
    // Saving the selection only reads a table the list already shows.
    case command::kSaveSelected:
    case command::kSaveSelectedMbox:
    case command::kSaveSelectedMaildir: return flags.canSaveSelected != 0;
    case command::kCopyBase: return flags.canCopyBase && idle;
    case command::kRemoveBase: return flags.canRemoveBase && idle;
    case command::kNew: return flags.canNew && idle;
    case command::kViewSystemBase:
    case command::kViewNewsBase: return true;
    default: return std::nullopt;
  }
}

}  // namespace vireo
