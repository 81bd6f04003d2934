#pragma once
// The tree of message bases: the left pane and the view of the document template. The user
// chooses a base here, starts browsing or recovery of it, removes bases and switches the two
// filters; the tree sets the document's command flags on selection and activation, and receives
// the worker's completion messages.
#include <QPersistentModelIndex>
#include <QPointer>
#include <QProgressBar>
#include <QTreeView>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "views/doc_view.h"


namespace vireo::views {
class CVireoDoc;
class ProgressBarSink;
}  // namespace vireo::views

namespace vireo::shell {

class BaseTreeModel;

// What an empty tree says, under its root.
inline constexpr const char* kEmptyTreeHint =
    "Add message bases with File > Add message base to Tree View, or open a .dbx file with "
    "File > Open message base... (Ctrl+O). To look for bases in a disk image or on a disk, use "
    "File > Open disk image...";

class CTreeView_1 : public QTreeView, public views::CView {
  Q_OBJECT

 public:
  CTreeView_1(views::CVireoDoc* document, QWidget* parent = nullptr);
  // Cuts the worker off from this view; a worker still running is stopped and awaited.
  ~CTreeView_1() override;

  void OnInitialUpdate() override;
  void OnUpdate(views::CView* sender, int hint) override;
  void OnActivateView(bool activate, views::CView* activateView, views::CView* deactiveView) override;
  // Browse (32773), Recover (32774), Remove from Tree View (32796).
  bool OnCmdMsg(int commandId) override;
  // Status pane 0 (59142) is always enabled; the document decides the rest.
  std::optional<bool> OnUpdateCmdUI(int commandId) override;
  QWidget* widget() override { return this; }

  // The worker's completion messages 2025 and 2026 and a search's progress message 2028, on the
  // interface thread. Returns 1.
  int OnWorkerMessage(int message);

  BaseTreeModel* baseModel() const { return model_; }
  views::ProgressBarSink* progressSink() const { return progressSink_.get(); }
  QProgressBar* operationProgress() const { return progress_; }
  // Whether the tree lists no base and shows kEmptyTreeHint under its root.
  bool showsEmptyHint() const;
  // Selects the base's node, its group opened, and browses the base.
  void selectAndBrowse(int readerIndex);

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  // Enter (or Return) on a base browses it, as a double click does.
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  views::CVireoDoc* doc() const;
  void rebuild();
  // The root's children, the groups.
  std::vector<QModelIndex> groupNodes() const;
  // Before a rebuild: which groups are open. After it: open them again (and new ones the user
  // named, or the only base's).
  void rememberExpansion();
  void restoreExpansion(const views::CVireoDoc& d);
  // Widens the pane to the longest visible line, up to a third of the window.
  void widenToFit();
  void onSelectionChanged(int itemData);
  void startOperation(int operation);
  // Places the operation's text and bar in the status bar and runs start; takes them down again
  // when it fails.
  bool startWithStatus(int operation, const std::string& baseName, const std::function<bool()>& start);
  void removeSelection();
  // The status bar's idle text once the operation has ended: what it found, wrote or why not.
  QString outcomeText(int operation, int message, int processed) const;
  void onCopyingChanged(bool copying);
  void showContextMenu(const QPoint& globalPosition);
  QModelIndex processedNode() const;

  BaseTreeModel* model_ = nullptr;
  std::unique_ptr<views::ProgressBarSink> progressSink_;
  QPersistentModelIndex processedItem_;
  QPointer<QProgressBar> progress_;
  bool rebuilding_ = false;
  std::chrono::steady_clock::time_point operationStarted_;
  int statusOperation_ = 0;
  std::string statusBaseName_;
  std::set<std::string> expandedGroups_;  // folders, as bytes
  std::set<std::string> knownGroups_;
};

}  // namespace vireo::shell
