#include "views/vireo_doc.h"

#include "views/progress_status_bar.h"

namespace vireo::views {

CVireoDoc::CVireoDoc(DocumentSetup setup) : Document(std::move(setup)) {}

CVireoDoc::~CVireoDoc() = default;

bool CVireoDoc::OnCmdMsg(int commandId) {
  switch (commandId) {
    case command::kStop:
      stopOperation();
      if (ProgressStatusBar* bar = publishedStatusBar()) bar->SetPaneText(0, QStringLiteral("Stopping..."));
      return true;
    case command::kViewSystemBase:
      showSystemBases = !showSystemBases;
      UpdateAllViews(nullptr, 0);
      return true;
    case command::kViewNewsBase:
      showNewsBases = !showNewsBases;
      UpdateAllViews(nullptr, 0);
      return true;
    default:
      return false;
  }
}

std::optional<bool> CVireoDoc::OnUpdateCmdUI(int commandId) { return commandEnabled(commandId); }

std::optional<bool> CVireoDoc::OnUpdateCmdChecked(int commandId) {
  if (commandId == command::kViewSystemBase) return showSystemBases != 0;
  if (commandId == command::kViewNewsBase) return showNewsBases != 0;
  return std::nullopt;
}

bool CVireoDoc::writeOptions() { return false; }

}  // namespace vireo::views
