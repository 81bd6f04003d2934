#include "views/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "views/command_actions.h"
#include "views/command_route.h"
#include "views/command_table.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/progress_status_bar.h"
#include "views/view_ex_split_wnd.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

constexpr int kTreeWidth = 200;
// Menus refresh before they open and after every command; this catches the changes nobody
// announces (a worker's completion, flags set by a view), as the idle-time update would.
constexpr int kRefreshIntervalMs = 200;

}  // namespace

// Registered with the document like a view, so that every UpdateAllViews refreshes the states.
class C3WaySplitter_1::CommandStateWatcher final : public CView {
 public:
  explicit CommandStateWatcher(C3WaySplitter_1& frame) : frame_(frame) {}
  void OnInitialUpdate() override {}
  void OnUpdate(CView*, int) override { frame_.refreshCommandStates(); }
  QWidget* widget() override { return &frame_; }

 private:
  C3WaySplitter_1& frame_;
};

C3WaySplitter_1::C3WaySplitter_1(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QString::fromUtf8(kMainCaption));
  setWindowIcon(QIcon(QStringLiteral(":/icons/vireo.svg")));
  setAccessibleName(QString::fromUtf8(kMainCaption));
}

C3WaySplitter_1::~C3WaySplitter_1() {
  // The panes die after this body, in QWidget's destructor; nothing may reach them then.
  disconnect(qApp, nullptr, this, nullptr);
  if (refreshTimer_) refreshTimer_->stop();
  if (document_) document_->commandRefresh = nullptr;
  watcher_.reset();
  activeView_ = nullptr;
}

bool C3WaySplitter_1::LoadFrame(CCreateContext& context) {
  if (OnCreate() == -1) return false;
  return OnCreateClient(context);
}

int C3WaySplitter_1::OnCreate() {
  actions_ = std::make_unique<CommandActions>(this);
  for (const auto& [id, action] : actions_->all())
    connect(action, &QAction::triggered, this, [this, id = id] { routeCommand(id); });

  toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  actions_->fillToolBar(*toolBar_);

  statusBar_ = new ProgressStatusBar(this);
  statusBar_->setObjectName(QStringLiteral("statusBar"));
  setStatusBar(statusBar_);
  publishStatusBar(statusBar_);

  addToolBar(Qt::TopToolBarArea, toolBar_);

  actions_->fillMenuBar(*menuBar());
  for (QMenu* menu : menuBar()->findChildren<QMenu*>())
    connect(menu, &QMenu::aboutToShow, this, &C3WaySplitter_1::refreshCommandStates);
  // The keys work wherever the focus is in the window, the menu bar shown or not; F1 is in no
  // menu (the idle text tells of it).
  for (const auto& [id, action] : actions_->all())
    if (!action->shortcut().isEmpty()) addAction(action);

  refreshTimer_ = new QTimer(this);
  connect(refreshTimer_, &QTimer::timeout, this, &C3WaySplitter_1::refreshCommandStates);
  refreshTimer_->start(kRefreshIntervalMs);
  connect(qApp, &QApplication::focusChanged, this, &C3WaySplitter_1::onFocusChanged);
  return 0;
}

bool C3WaySplitter_1::OnCreateClient(CCreateContext& context) {
  if (!context.document || !context.newView) return false;
  document_ = context.document;

  outerSplitter_ = new CViewExSplitWnd(Qt::Horizontal, this);
  outerSplitter_->setObjectName(QStringLiteral("outerSplitter"));
  setCentralWidget(outerSplitter_);
  treeView_ = context.newView(document_, outerSplitter_);
  if (!treeView_ || !treeView_->widget()) return false;
  outerSplitter_->addWidget(treeView_->widget());

  innerSplitter_ = new CViewExSplitWnd(Qt::Vertical, outerSplitter_);
  innerSplitter_->setObjectName(QStringLiteral("innerSplitter"));
  outerSplitter_->addWidget(innerSplitter_);
  // Half the frame's client height at creation, bars included.
  const int listHeight = height() / 2;
  listView_ = new CListView_1(document_, innerSplitter_);
  htmlView_ = new CHtmlView_1(document_, innerSplitter_);
  innerSplitter_->addWidget(listView_);
  innerSplitter_->addWidget(htmlView_);

  treeView_->widget()->setAccessibleName(QStringLiteral("Message bases"));
  listView_->setAccessibleName(QStringLiteral("Messages"));
  htmlView_->setAccessibleName(QStringLiteral("Preview"));

  // The first pane keeps its size when the window is resized; the last takes what is left.
  outerSplitter_->setStretchFactor(0, 0);
  outerSplitter_->setStretchFactor(1, 1);
  outerSplitter_->setSizes({kTreeWidth, std::max(1, width() - kTreeWidth)});
  // List and preview share the height in the ratio the user last chose, on every resize too; with
  // none stored, the ratio is the one at creation. A drag of the bar sets it; it is stored when the
  // window closes.
  if (const std::optional<int> share = document_->listShare()) listShare_ = *share;
  innerSplitter_->setStretchFactor(0, 0);
  innerSplitter_->setStretchFactor(1, 1);
  innerSplitter_->setSizes({listHeight, std::max(1, height() - listHeight)});
  connect(innerSplitter_, &CViewExSplitWnd::resized, this, &C3WaySplitter_1::keepListShare);
  connect(innerSplitter_, &QSplitter::splitterMoved, this, [this] {
    const QList<int> sizes = innerSplitter_->sizes();
    const int total = sizes[0] + sizes[1];
    if (total <= 0) return;
    listShare_ = std::clamp(sizes[0] * 1000 / total, kLeastListShare, 1000 - kLeastListShare);
    listShareChosen_ = true;
  });

  watcher_ = std::make_unique<CommandStateWatcher>(*this);
  watcher_->attachDocument(document_);
  document_->commandRefresh = [this] { refreshCommandStates(); };
  return true;
}

void C3WaySplitter_1::InitialUpdateFrame() {
  for (CView* view : {treeView_, static_cast<CView*>(listView_), static_cast<CView*>(htmlView_)})
    if (view) view->OnInitialUpdate();
  SetActiveView(treeView_);
  if (treeView_) treeView_->widget()->setFocus(Qt::OtherFocusReason);
  refreshCommandStates();
}

void C3WaySplitter_1::SetActiveView(CView* view) {
  if (view == activeView_) return;
  CView* previous = activeView_;
  activeView_ = view;
  if (previous) previous->OnActivateView(false, view, previous);
  if (view) view->OnActivateView(true, view, previous);
  refreshCommandStates();
}

bool C3WaySplitter_1::routeCommand(int commandId) {
  const CommandRoute route(activeView_, document_, this, application_);
  // A button pressed just as an operation started must not run what is no longer available.
  if (!route.enabled(commandId)) {
    refreshCommandStates();
    return false;
  }
  // The last outcome stands until the next action.
  if (statusBar_) statusBar_->clearOutcome();
  const bool ran = route.run(commandId);
  refreshCommandStates();
  return ran;
}

void C3WaySplitter_1::refreshCommandStates() {
  if (!actions_) return;
  const CommandRoute route(activeView_, document_, this, application_);
  for (const auto& [id, action] : actions_->all()) {
    action->setEnabled(route.enabled(id));
    const std::optional<bool> checked = route.checked(id);
    action->setCheckable(checked.has_value());
    if (checked) action->setChecked(*checked);
  }
}

QAction* C3WaySplitter_1::commandAction(int commandId) const {
  return actions_ ? actions_->action(commandId) : nullptr;
}

bool C3WaySplitter_1::OnCmdMsg(int commandId) {
  switch (commandId) {
    case command::kAppExit:
      close();
      return true;
    case command::kViewToolbar:
      toolBar_->setVisible(toolBar_->isHidden());
      return true;
    case command::kViewStatusBar:
      statusBar_->setVisible(statusBar_->isHidden());
      return true;
    // The list's filters, from the View menu while another pane has the focus.
    case command::kViewOnlyNotInIndex:
    case command::kViewHideFragments:
      return listView_ && listView_->OnCmdMsg(commandId);
    default:
      return false;
  }
}

std::optional<bool> C3WaySplitter_1::OnUpdateCmdUI(int commandId) {
  switch (commandId) {
    case command::kAppExit:
    case command::kViewToolbar:
    case command::kViewStatusBar:
      return true;
    case command::kViewOnlyNotInIndex:
    case command::kViewHideFragments:
      return listView_ ? listView_->recoveryFilterOffered(commandId) : std::optional(false);
    default:
      return std::nullopt;
  }
}

std::optional<bool> C3WaySplitter_1::OnUpdateCmdChecked(int commandId) {
  if (commandId == command::kViewToolbar) return !toolBar_->isHidden();
  if (commandId == command::kViewStatusBar) return !statusBar_->isHidden();
  if (listView_) return listView_->OnUpdateCmdChecked(commandId);
  return std::nullopt;
}

void C3WaySplitter_1::OnSize() {
  if (statusBar_ && statusBar_->progressShown) statusBar_->fitProgressBar();
}

void C3WaySplitter_1::keepListShare() {
  if (!innerSplitter_) return;
  const QList<int> sizes = innerSplitter_->sizes();
  const int total = sizes.size() == 2 ? sizes[0] + sizes[1] : 0;
  if (total <= 0) return;
  if (listShare_ == 0) {
    listShare_ = std::clamp(sizes[0] * 1000 / total, kLeastListShare, 1000 - kLeastListShare);
    return;
  }
  const int list = total * listShare_ / 1000;
  if (list != sizes[0]) innerSplitter_->setSizes({list, total - list});
}

void C3WaySplitter_1::resizeEvent(QResizeEvent* event) {
  // The layout has already given the status bar its new size when this runs.
  QMainWindow::resizeEvent(event);
  OnSize();
}

bool C3WaySplitter_1::event(QEvent* event) {
  // While an operation runs pane 0 holds its text and bar; a fly-by prompt would be drawn under
  // the bar.
  if (event->type() == QEvent::StatusTip && statusBar_ && statusBar_->paneId(0) == command::kIndicatorKana) return true;
  return QMainWindow::event(event);
}

void C3WaySplitter_1::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  if (!event->isAccepted()) return;
  if (listShareChosen_ && document_) document_->writeListShare(listShare_);
  emit closing();
}

CView* C3WaySplitter_1::paneHolding(const QWidget* widget) const {
  if (!widget) return nullptr;
  for (CView* view : {treeView_, static_cast<CView*>(listView_), static_cast<CView*>(htmlView_)}) {
    if (!view) continue;
    const QWidget* pane = view->widget();
    if (pane == widget || pane->isAncestorOf(widget)) return view;
  }
  return nullptr;
}

void C3WaySplitter_1::onFocusChanged(QWidget*, QWidget* now) {
  // Focus on the toolbar, a menu or another window leaves the active view as it is.
  if (CView* view = paneHolding(now)) SetActiveView(view);
  refreshCommandStates();
}

}  // namespace vireo::views
