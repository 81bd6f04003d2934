#include "tests/gui/support/window_driver.h"

#include <QAccessible>
#include <QDeadlineTimer>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QThread>
#include <QToolBar>
#include <QtTest>

#include "shell/base_tree_model.h"
#include "shell/tree_view.h"
#include "views/list_view.h"
#include "views/main_frame.h"
#include "views/message_list_model.h"
#include "views/progress_status_bar.h"
#include "views/vireo_doc.h"

namespace vireo::guitest {
namespace {
constexpr int kCeilingMs = 60000;
}

WindowDriver::WindowDriver(const QStringList& commandLine) : fixture_(std::nullopt, commandLine) {
  if (!fixture_.started()) return;
  frame().activateWindow();
  active_ = QTest::qWaitForWindowActive(&frame());
}

shell::CTreeView_1& WindowDriver::tree() { return *dynamic_cast<shell::CTreeView_1*>(frame().treeView()); }
shell::BaseTreeModel& WindowDriver::nodes() { return *tree().baseModel(); }
views::CListView_1& WindowDriver::list() { return *frame().listView(); }
views::MessageListModel& WindowDriver::rows() { return *list().listModel(); }
QHeaderView& WindowDriver::header() { return *list().horizontalHeader(); }
views::ProgressStatusBar& WindowDriver::statusBar() { return *frame().progressStatusBar(); }
QString WindowDriver::status() { return statusBar().displayedText(); }

QModelIndex WindowDriver::base(int reader) { return nodes().findBase(reader); }
QModelIndex WindowDriver::group(int row) { return nodes().index(row, 0, nodes().rootNode()); }

void WindowDriver::select(const QModelIndex& node) {
  tree().expand(node.parent());
  tree().scrollTo(node);
  QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, tree().visualRect(node).center());
}

QWidget* WindowDriver::button(int command) {
  return frame().toolBar()->widgetForAction(frame().commandAction(command));
}

void WindowDriver::click(int command) { QTest::mouseClick(button(command), Qt::LeftButton); }

bool WindowDriver::offered(int command) { return frame().commandAction(command)->isEnabled(); }

void WindowDriver::choose(const QString& menuTitle, int command) {
  for (QAction* entry : frame().menuBar()->actions()) {
    if (entry->text() != menuTitle) continue;
    QMenu* menu = entry->menu();
    menu->popup(frame().mapToGlobal(QPoint(0, 0)));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(frame().commandAction(command)).center());
    menu->hide();
  }
}

void WindowDriver::clickHeader(int position) {
  const QPoint at(header().sectionViewportPosition(position) + header().sectionSize(position) / 2,
                  header().height() / 2);
  QTest::mouseClick(header().viewport(), Qt::LeftButton, {}, at);
}

bool WindowDriver::waitUntilIdle() {
  const QDeadlineTimer ceiling(kCeilingMs);
  while (doc().operationRunning || !doc().doneEvent.isSet()) {
    if (ceiling.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  QCoreApplication::processEvents();
  return true;
}

bool WindowDriver::waitForProgress() {
  const QDeadlineTimer ceiling(kCeilingMs);
  for (;;) {
    const auto* bar = statusBar().findChild<QProgressBar*>(QStringLiteral("operationProgress"));
    if (!bar || ceiling.hasExpired()) return false;
    if (bar->value() > bar->minimum()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}

bool WindowDriver::run(int command) {
  click(command);
  return doc().operationRunning && waitUntilIdle();
}

QString WindowDriver::outline(const QModelIndex& node) {
  const QModelIndex at = node.isValid() ? node : nodes().rootNode();
  const QString label = at.data().toString();
  if (nodes().itemDataOf(at) < kRootItem) return label;
  QStringList children;
  for (int row = 0; row < nodes().rowCount(at); ++row) children << outline(nodes().index(row, 0, at));
  return label + QLatin1Char('{') + children.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString WindowDriver::description(const QModelIndex& node) {
  tree().expand(node.parent());
  QCoreApplication::processEvents();  // the view lays its rows out late
  QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&tree());
  for (int i = 0; i < view->childCount(); ++i) {
    QAccessibleInterface* cell = view->child(i);
    if (cell && cell->text(QAccessible::Name) == node.data().toString()) return cell->text(QAccessible::Description);
  }
  return QStringLiteral("(not shown)");
}

QStringList WindowDriver::column(int position) {
  QStringList texts;
  for (int row = 0; row < rows().rowCount(); ++row) texts << rows().index(row, position).data().toString();
  return texts;
}

QStringList WindowDriver::notice() { return rows().isNotice() && header().isHidden() ? column(1) : QStringList{}; }

QStringList WindowDriver::titles() {
  QStringList out;
  for (int section = 0; section < rows().columnCount(); ++section)
    out << rows().headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
  return out;
}

QList<int> WindowDriver::selectedRecords() {
  QList<int> records;
  for (const QModelIndex& row : list().selectionModel()->selectedRows()) records << rows().recordAt(row.row());
  return records;
}

bool WindowDriver::arrowAt(int position, bool ascending) {
  const QIcon shown =
      rows().headerData(position, Qt::Horizontal, views::MessageListModel::kSortArrowRole).value<QIcon>();
  const QIcon expected(ascending ? QStringLiteral(":/list/sort_up.svg") : QStringLiteral(":/list/sort_down.svg"));
  return rows().sortArrowPosition() == position && !shown.isNull() &&
         shown.pixmap(16).toImage() == expected.pixmap(16).toImage();
}

}  // namespace vireo::guitest
