#pragma once
// The main window: the one frame, with the toolbar, the status bar and three panes in two
// splitters (the tree on the left; the list above the preview on the right). It routes every
// command (active view, document, frame, application), keeps the menu and toolbar states
// current, makes the pane with the focus the active view, and keeps a placed progress bar
// fitted to the status bar.
#include <QMainWindow>
#include <functional>
#include <memory>

#include "views/doc_view.h"

class QAction;
class QTimer;
class QToolBar;

namespace vireo::views {

class CHtmlView_1;
class CListView_1;
class CViewExSplitWnd;
class CVireoDoc;
class CommandActions;
class ProgressStatusBar;

inline constexpr char kMainCaption[] =
    "Vireo for Outlook Express - Recovery for Outlook Express message bases.";

// What the frame needs to make its panes: the document and the template's own view (the tree),
// which lives above this layer and so is made through a function.
struct CCreateContext {
  CVireoDoc* document = nullptr;
  std::function<CView*(CVireoDoc* document, QWidget* parent)> newView;
};

class C3WaySplitter_1 : public QMainWindow, public CCmdTarget {
  Q_OBJECT

 public:
  explicit C3WaySplitter_1(QWidget* parent = nullptr);
  ~C3WaySplitter_1() override;

  // The bars (OnCreate), then the panes (OnCreateClient); false when anything could not be made.
  bool LoadFrame(CCreateContext& context);
  // Every view's initial update; the tree becomes the active view.
  void InitialUpdateFrame();
  // The route's last stop.
  void setApplicationTarget(CCmdTarget* application) { application_ = application; }

  CView* GetActiveView() const { return activeView_; }
  // Tells the old and the new view (OnActivateView) and refreshes the command states.
  void SetActiveView(CView* view);

  // Runs a command along the route when it is enabled; true when a handler ran.
  bool routeCommand(int commandId);
  // Asks the route for every command's state and sets the actions' enabled and checked states.
  void refreshCommandStates();

  QAction* commandAction(int commandId) const;
  ProgressStatusBar* progressStatusBar() const { return statusBar_; }
  QToolBar* toolBar() const { return toolBar_; }
  CViewExSplitWnd* outerSplitter() const { return outerSplitter_; }
  CViewExSplitWnd* innerSplitter() const { return innerSplitter_; }
  CView* treeView() const { return treeView_; }
  CListView_1* listView() const { return listView_; }
  CHtmlView_1* htmlView() const { return htmlView_; }
  // The list's share of the height it splits with the preview, in thousandths.
  int listShare() const { return listShare_; }

  // Exit, Toolbar, Status Bar.
  bool OnCmdMsg(int commandId) override;
  std::optional<bool> OnUpdateCmdUI(int commandId) override;
  std::optional<bool> OnUpdateCmdChecked(int commandId) override;

 signals:
  // The window accepted to close; the document is destroyed next.
  void closing();

 protected:
  int OnCreate();
  bool OnCreateClient(CCreateContext& context);
  void OnSize();
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class CommandStateWatcher;

  CView* paneHolding(const QWidget* widget) const;
  // Sets the list's and the preview's heights to the chosen ratio.
  void keepListShare();
  void onFocusChanged(QWidget* old, QWidget* now);

  // In the design's order.
  CViewExSplitWnd* outerSplitter_ = nullptr;
  CViewExSplitWnd* innerSplitter_ = nullptr;
  ProgressStatusBar* statusBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;

  CVireoDoc* document_ = nullptr;
  CCmdTarget* application_ = nullptr;
  CView* treeView_ = nullptr;
  CListView_1* listView_ = nullptr;
  CHtmlView_1* htmlView_ = nullptr;
  CView* activeView_ = nullptr;
  std::unique_ptr<CommandActions> actions_;
  std::unique_ptr<CommandStateWatcher> watcher_;
  QTimer* refreshTimer_ = nullptr;
  int listShare_ = 0;  // the list's share of the right-hand height, in thousandths; 0: not yet known
  bool listShareChosen_ = false;
};

}  // namespace vireo::views
