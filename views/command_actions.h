#pragma once
// The window's QActions, one per command of the command table, each carrying its command id as
// data, with the menu text, the fly-by prompt as status tip, the tooltip and the toolbar
// picture; and the main menu and toolbar laid out from the table.
#include <map>

class QAction;
class QMenuBar;
class QToolBar;
class QWidget;

namespace vireo::views {

class CommandActions {
 public:
  // The actions become children of owner.
  explicit CommandActions(QWidget* owner);

  QAction* action(int commandId) const;  // null for an id not in the table
  const std::map<int, QAction*>& all() const { return actions_; }

  void fillMenuBar(QMenuBar& bar) const;
  void fillToolBar(QToolBar& bar) const;

 private:
  std::map<int, QAction*> actions_;
};

// The command id an action carries; 0 when it carries none.
int commandIdOf(const QAction& action);

}  // namespace vireo::views
