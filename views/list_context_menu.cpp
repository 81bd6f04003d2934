#include "views/list_context_menu.h"

#include "views/command_table.h"

namespace vireo::views {
namespace {

QAction* addCommand(QMenu& menu, int id) {
  const CommandInfo* info = findCommand(id);
  const char* text = info->contextMenuText ? info->contextMenuText : info->menuText;
  QAction* action = menu.addAction(QString::fromUtf8(text));
  action->setData(id);
  return action;
}

}  // namespace

std::unique_ptr<QMenu> makeListContextMenu(int selectedCount, QWidget* parent) {
  auto menu = std::make_unique<QMenu>(parent);
  addCommand(*menu, command::kSaveSelected);
  addCommand(*menu, command::kSaveSelectedMbox);
  addCommand(*menu, command::kSaveSelectedMaildir);
  menu->addSeparator();
  addCommand(*menu, command::kOpenInOe);
  addCommand(*menu, command::kViewSource)->setEnabled(selectedCount == 1);
  return menu;
}

}  // namespace vireo::views
