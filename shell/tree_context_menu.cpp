#include "shell/tree_context_menu.h"

#include "views/vireo_doc.h"

namespace vireo::shell {
namespace {

QAction* addCommand(QMenu& menu, int id, const char* text) {
  QAction* action = menu.addAction(QString::fromUtf8(text));
  action->setData(id);
  return action;
}

// Grayed while its flag is clear or an operation runs.
void enableBy(QAction* action, const views::CVireoDoc& doc, int flag) {
  action->setEnabled(flag != 0 && doc.operationRunning == 0);
}

}  // namespace

std::unique_ptr<QMenu> makeTreeContextMenu(const views::CVireoDoc& doc, QWidget* parent) {
  auto menu = std::make_unique<QMenu>(parent);
  enableBy(addCommand(*menu, command::kBrowse, "Message base browsing "), doc, doc.canBrowse);
  enableBy(addCommand(*menu, command::kRecover, "Message base recovery"), doc, doc.canRecover);
  menu->addSeparator();
  enableBy(addCommand(*menu, command::kSaveAll, "Save message base as *.eml files"), doc, doc.canSaveAll);
  enableBy(addCommand(*menu, command::kSaveAllMbox, "Save message base as mbox..."), doc, doc.canSaveAll);
  enableBy(addCommand(*menu, command::kSaveAllMaildir, "Save message base as Maildir..."), doc, doc.canSaveAll);
  menu->addSeparator();
  addCommand(*menu, command::kAddBase, "Add message base to Tree View")->setEnabled(doc.operationRunning == 0);
  addCommand(*menu, command::kOpenDiskImage, "Open disk image...")->setEnabled(doc.operationRunning == 0);
  enableBy(addCommand(*menu, command::kRemoveBase, "Remove from Tree View"), doc, doc.canRemoveBase);
  enableBy(addCommand(*menu, command::kCopyBase, "Copy message base to ..."), doc, doc.canCopyBase);
  menu->addSeparator();
  QMenu* filters = menu->addMenu(QString::fromUtf8(kTreeFilterMenuText));
  QAction* news = addCommand(*filters, command::kViewNewsBase, "View News message base");
  news->setCheckable(true);
  news->setChecked(doc.showNewsBases != 0);
  QAction* system = addCommand(*filters, command::kViewSystemBase, "View System message base");
  system->setCheckable(true);
  system->setChecked(doc.showSystemBases != 0);
  return menu;
}

int commandOf(const QAction* action) { return action ? action->data().toInt() : 0; }

}  // namespace vireo::shell
