#pragma once
// Drives the real window as a person does, and reads it back as a person (or an assistive tool)
// perceives it: nodes clicked in the tree, toolbar buttons and menu items pressed, column headers
// clicked; the tree's outline and pictures, the list's rows, notice and sort arrow, the status
// text and which commands are offered.
#include <QHeaderView>
#include <QList>
#include <QModelIndex>
#include <QString>
#include <QStringList>

#include "tests/gui/support/window_fixture.h"

namespace vireo::shell {
class BaseTreeModel;
class CTreeView_1;
}  // namespace vireo::shell
namespace vireo::views {
class CListView_1;
class MessageListModel;
class ProgressStatusBar;
}  // namespace vireo::views

namespace vireo::guitest {

class WindowDriver {
 public:
  // The real window, started with "vireo [PATH...]", in front and ready for input.
  explicit WindowDriver(const QStringList& commandLine = {});

  bool ready() const { return fixture_.started() && active_; }
  WindowFixture& fixture() { return fixture_; }
  views::C3WaySplitter_1& frame() { return fixture_.frame(); }
  views::CVireoDoc& doc() { return fixture_.doc(); }
  shell::CTreeView_1& tree();
  shell::BaseTreeModel& nodes();
  views::CListView_1& list();
  views::MessageListModel& rows();
  QHeaderView& header();
  views::ProgressStatusBar& statusBar();
  // What the status bar's message pane shows.
  QString status();

  QModelIndex base(int reader);
  QModelIndex group(int row);

  // Opens the node's group and clicks the node, which also gives the tree the focus.
  void select(const QModelIndex& node);
  QWidget* button(int command);
  // Clicks the command's toolbar button.
  void click(int command);
  // Whether the menus and the toolbar offer the command now.
  bool offered(int command);
  // Opens a main menu by its title and clicks one of its items.
  void choose(const QString& menuTitle, int command);
  void clickHeader(int position);

  // Processes events until no operation runs and the worker has ended (60 s at most).
  bool waitUntilIdle();
  // Processes events until the status bar's progress bar has moved (60 s at most).
  bool waitForProgress();
  // Clicks a command's toolbar button and waits until the worker's completion has been handled.
  bool run(int command);

  // The tree as text: "Vireo{folder{Inbox,Sent},other{}}".
  QString outline(const QModelIndex& node = {});
  // What an assistive tool says of a node (its group opened): its picture, in words.
  QString description(const QModelIndex& node);

  // The texts of one list column, top to bottom.
  QStringList column(int position);
  // The notice's lines; empty when the list shows messages.
  QStringList notice();
  QStringList titles();
  QList<int> selectedRecords();
  // Whether the header shows the sort arrow of that direction after the position's title.
  bool arrowAt(int position, bool ascending);

 private:
  WindowFixture fixture_;
  bool active_ = false;
};

}  // namespace vireo::guitest
