#include "views/command_route.h"

namespace vireo::views {

bool CommandRoute::run(int commandId) const {
  for (CCmdTarget* target : targets_)
    if (target && target->OnCmdMsg(commandId)) return true;
  return false;
}

bool CommandRoute::enabled(int commandId) const {
  for (CCmdTarget* target : targets_)
    if (target)
      if (const std::optional<bool> answer = target->OnUpdateCmdUI(commandId)) return *answer;
  return false;
}

std::optional<bool> CommandRoute::checked(int commandId) const {
  for (CCmdTarget* target : targets_)
    if (target)
      if (const std::optional<bool> answer = target->OnUpdateCmdChecked(commandId)) return answer;
  return std::nullopt;
}

}  // namespace vireo::views
