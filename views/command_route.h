#pragma once
// The way a command travels: the active view, the document, the frame, the application. The
// first target with a handler runs it; the first target with an opinion decides whether it is
// enabled or checked. A command nobody has an opinion on is disabled.
#include <array>
#include <optional>

#include "views/doc_view.h"

namespace vireo::views {

class CommandRoute {
 public:
  // Null targets are skipped.
  CommandRoute(CCmdTarget* view, CCmdTarget* document, CCmdTarget* frame, CCmdTarget* application)
      : targets_{view, document, frame, application} {}

  // True when a handler ran.
  bool run(int commandId) const;
  bool enabled(int commandId) const;
  // nullopt: the command has no check mark.
  std::optional<bool> checked(int commandId) const;

 private:
  std::array<CCmdTarget*, 4> targets_;
};

}  // namespace vireo::views
