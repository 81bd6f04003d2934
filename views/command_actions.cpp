#include "views/command_actions.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include "views/command_table.h"

namespace vireo::views {
namespace {

QString text(std::string_view view) { return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size())); }

}  // namespace

CommandActions::CommandActions(QWidget* owner) {
  for (const CommandInfo& info : commandTable()) {
    auto* action = new QAction(QString::fromUtf8(info.menuText), owner);
    action->setData(info.id);
    action->setStatusTip(text(commandPrompt(info)));
    action->setToolTip(text(commandTooltip(info)));
    if (info.icon) action->setIcon(QIcon(QString::fromUtf8(info.icon)));
    if (const char* keys = commandShortcut(info.id)) action->setShortcut(QKeySequence(QString::fromUtf8(keys)));
    // The menus carry no pictures; the toolbar does.
    action->setIconVisibleInMenu(false);
    actions_[info.id] = action;
  }
}

QAction* CommandActions::action(int commandId) const {
  const auto found = actions_.find(commandId);
  return found == actions_.end() ? nullptr : found->second;
}

void CommandActions::fillMenuBar(QMenuBar& bar) const {
  for (const MenuLayout& layout : mainMenuLayout()) {
    QMenu* menu = bar.addMenu(QString::fromUtf8(layout.title));
    // A popup menu has no name of its own for assistive tools; it takes its title's.
    menu->setAccessibleName(menu->title().remove(QLatin1Char('&')));
    for (int id : layout.items) {
      if (id == kSeparator) menu->addSeparator();
      else menu->addAction(action(id));
    }
  }
}

void CommandActions::fillToolBar(QToolBar& bar) const {
  for (int id : toolbarLayout()) {
    if (id == kSeparator) {
      bar.addSeparator();
      continue;
    }
    QAction* command = action(id);
    bar.addAction(command);
    // The tooltips carry blanks of their own; the button's name for assistive tools does not.
    if (QWidget* button = bar.widgetForAction(command))
      button->setAccessibleName(command->toolTip().trimmed());
  }
}

int commandIdOf(const QAction& action) {
  bool ok = false;
  const int id = action.data().toInt(&ok);
  return ok ? id : 0;
}

}  // namespace vireo::views
