#include "shell/tree_view.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <algorithm>

#include "dbx/layout.h"
#include "reader/image_open.h"
#include "reader/outcome_text.h"
#include "shell/base_tree_model.h"
#include "shell/operation_status.h"
#include "shell/tree_context_menu.h"
#include "shell/tree_images.h"
#include "views/progress_bar_sink.h"
#include "views/progress_status_bar.h"
#include "views/queued_completion.h"
#include "views/vireo_doc.h"

namespace vireo::shell {
namespace {

// How long a new operation waits for the worker that reported last to finish ending.
constexpr std::chrono::milliseconds kWorkerExitWait{1000};

bool readsBase(int operation) { return operation == kOperationBrowse || operation == kOperationRecover; }

// A base found in a disk image is named by the image, not by its working file.
std::string shownName(const MessageBaseReader& reader) {
  return reader.fromImage ? imageBaseName(*reader.fromImage) : reader.baseName;
}

}  // namespace

CTreeView_1::CTreeView_1(views::CVireoDoc* document, QWidget* parent)
    : QTreeView(parent), model_(new BaseTreeModel(this)), progressSink_(std::make_unique<views::ProgressBarSink>()) {
  setObjectName(QStringLiteral("baseTree"));
  setAccessibleName(QStringLiteral("Message bases"));
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformRowHeights(true);
  setModel(model_);
  connect(this, &QTreeView::expanded, this, [this] {
    if (!rebuilding_) widenToFit();
  });
  attachDocument(document);
  if (document) {
    document->progress = progressSink_.get();
    document->setCompletionSink(views::queuedCompletionSink(this, [this](int message) { OnWorkerMessage(message); }));
    document->operationStatus = [this](int operation, const std::string& baseName, const std::function<bool()>& start) {
      return startWithStatus(operation, baseName, start);
    };
  }
  progressSink_->onCopyingChanged = [this](bool copying) { onCopyingChanged(copying); };
  if (document) document->selectAndBrowse = [this](int readerIndex) { selectAndBrowse(readerIndex); };
  setAccessibleDescription(QString::fromUtf8(kEmptyTreeHint));
}

CTreeView_1::~CTreeView_1() {
  views::CVireoDoc* d = doc();
  if (!d) return;
  d->setCompletionSink({});
  d->operationStatus = nullptr;
  d->selectAndBrowse = nullptr;
  if (d->progress != progressSink_.get()) return;
  if (!d->doneEvent.isSet()) {
    d->stopOperation();
    // The worker drives the sink until it ends: one that does not end keeps it.
    if (!d->doneEvent.wait(kCloseTimeout)) {
      progressSink_->detach();
      (void)progressSink_.release();
    }
    endOperationStatus(views::publishedStatusBar(), progress_);
  }
  d->progress = nullptr;
}

views::CVireoDoc* CTreeView_1::doc() const { return static_cast<views::CVireoDoc*>(GetDocument()); }

void CTreeView_1::OnInitialUpdate() {
  model_->setImageList(buildTreeImageList());
  setRootIsDecorated(true);
  setItemsExpandable(true);
  if (views::CVireoDoc* d = doc()) d->UpdateAllViews(nullptr, kHintAll);
}

void CTreeView_1::OnUpdate(views::CView*, int hint) {
  if (!hintRefreshesTree(hint)) return;
  rebuild();
}

void CTreeView_1::rebuild() {
  views::CVireoDoc* d = doc();
  if (!d) return;
  rebuilding_ = true;
  rememberExpansion();
  {
    // A search may be adding bases meanwhile: they wait until the tree has read the table.
    const std::unique_lock<std::mutex> table = d->lockTable();
    model_->rebuild(*d);
  }
  const QModelIndex root = model_->rootNode();
  expand(root);
  restoreExpansion(*d);
  widenToFit();
  // The node the list follows is highlighted again; that is no new selection.
  const QModelIndex selected = d->currentReader == kRootItem ? root : model_->findBase(d->currentReader);
  if (selected.isValid()) setCurrentIndex(selected);
  rebuilding_ = false;
  // The hint is for an empty tree only; assistive tools read it as the tree's description.
  const bool empty = model_->rowCount(root) == 0;
  setAccessibleDescription(empty ? QString::fromUtf8(kEmptyTreeHint) : QString());
  viewport()->update();
}

void CTreeView_1::selectAndBrowse(int readerIndex) {
  const QModelIndex node = model_->findBase(readerIndex);
  // A filter may hide it; it is listed all the same.
  if (!node.isValid()) return;
  expand(node.parent());
  setCurrentIndex(node);  // the command flags and the list follow the selection
  scrollTo(node);
  views::CVireoDoc* d = doc();
  if (d && d->currentReader == readerIndex) startOperation(kOperationBrowse);
}

bool CTreeView_1::showsEmptyHint() const { return model_->rowCount(model_->rootNode()) == 0; }

void CTreeView_1::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (!showsEmptyHint()) return;
  // Below the root's row, wrapped to the pane's width.
  const QRect rootRow = visualRect(model_->rootNode());
  const int margin = fontMetrics().averageCharWidth();
  const QRect area(margin, rootRow.bottom() + margin, std::max(0, viewport()->width() - 2 * margin),
                   std::max(0, viewport()->height() - rootRow.bottom() - 2 * margin));
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromUtf8(kEmptyTreeHint));
}

std::vector<QModelIndex> CTreeView_1::groupNodes() const {
  std::vector<QModelIndex> groups;
  const QModelIndex root = model_->rootNode();
  for (int row = 0; row < model_->rowCount(root); ++row) groups.push_back(model_->index(row, 0, root));
  return groups;
}

void CTreeView_1::rememberExpansion() {
  for (const QModelIndex& group : groupNodes()) {
    std::string folder = group.data(BaseTreeModel::kPathRole).toByteArray().toStdString();
    if (isExpanded(group)) expandedGroups_.insert(std::move(folder));
    else expandedGroups_.erase(folder);
  }
}

void CTreeView_1::restoreExpansion(const views::CVireoDoc& d) {
  int bases = 0;
  const std::vector<QModelIndex> groups = groupNodes();
  for (const QModelIndex& group : groups) bases += model_->rowCount(group);
  for (const QModelIndex& group : groups) {
    std::string folder = group.data(BaseTreeModel::kPathRole).toByteArray().toStdString();
    // A group met for the first time opens when the user named it or it holds the only base;
    // after that it stays as the user left it.
    if (knownGroups_.insert(folder).second && (d.expandedFolders.count(folder) != 0 || bases == 1))
      expandedGroups_.insert(folder);
    if (expandedGroups_.count(folder) != 0) expand(group);
  }
}

void CTreeView_1::widenToFit() {
  auto* splitter = qobject_cast<QSplitter*>(parentWidget());
  // Before the window is shown the panes have no sizes to compare with.
  if (!splitter || !splitter->isVisible() || splitter->count() < 2 || splitter->indexOf(this) != 0) return;
  const int wanted = sizeHintForColumn(0) + 2 * frameWidth() + verticalScrollBar()->sizeHint().width() + 4;
  const int limit = window()->width() / 3;
  QList<int> sizes = splitter->sizes();
  const int target = std::min(wanted, limit);
  // Only ever wider: a pane the user made wider stays so.
  if (target <= sizes[0]) return;
  const int total = sizes[0] + sizes[1];
  if (total <= target) return;
  sizes[0] = target;
  sizes[1] = std::max(1, total - target);
  splitter->setSizes(sizes);
}

void CTreeView_1::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  if (!rebuilding_) onSelectionChanged(model_->itemDataOf(current));
}

void CTreeView_1::onSelectionChanged(int itemData) {
  views::CVireoDoc* d = doc();
  if (!d) return;
  d->canSaveSelected = 0;
  if (itemData == d->currentReader) return;
  d->currentReader = itemData;
  if (d->isBase(itemData)) {
    const MessageBaseReader& reader = d->readers[static_cast<size_t>(itemData)];
    d->canRemoveBase = 1;
    d->canCopyBase = 1;
    if (reader.baseKind < 10) {
      // The table of the base being read belongs to the worker until it reports.
      const bool beingRead = d->operationRunning && readsBase(d->operation) && d->operationReader == itemData;
      d->canSaveAll = !beingRead && reader.count() != 0;
      d->canBrowse = 1;
      d->canRecover = 1;
    } else {
      d->canSaveAll = d->canBrowse = d->canRecover = 0;
    }
  } else {
    d->canRemoveBase = itemData == kGroupItem;
    d->canCopyBase = d->canSaveAll = d->canBrowse = d->canRecover = 0;
  }
  d->UpdateAllViews(this, kHintAll);
}

void CTreeView_1::OnActivateView(bool activate, views::CView* activateView, views::CView* deactiveView) {
  if (views::CVireoDoc* d = doc()) {
    const int current = d->currentReader;
    if (!activate) {
      d->canRemoveBase = d->canBrowse = d->canRecover = 0;
    } else if (d->isBase(current) && d->readers[static_cast<size_t>(current)].baseKind <= 9) {
      d->canRemoveBase = d->canBrowse = d->canRecover = 1;
    } else {
      d->canBrowse = d->canRecover = 0;
      if (current == kGroupItem) d->canRemoveBase = 1;
    }
  }
  CView::OnActivateView(activate, activateView, deactiveView);
}

bool CTreeView_1::OnCmdMsg(int commandId) {
  switch (commandId) {
    case command::kBrowse: startOperation(kOperationBrowse); return true;
    case command::kRecover: startOperation(kOperationRecover); return true;
    case command::kRemoveBase: removeSelection(); return true;
    default: return false;
  }
}

std::optional<bool> CTreeView_1::OnUpdateCmdUI(int commandId) {
  if (commandId == command::kIndicatorKana) return true;
  return std::nullopt;
}

void CTreeView_1::startOperation(int operation) {
  views::CVireoDoc* d = doc();
  // Refused while another runs, whatever asked: the worker owns the table it fills.
  if (!d || d->operationRunning) return;
  const int current = d->currentReader;
  if (!d->isBase(current)) return;
  MessageBaseReader& reader = d->readers[static_cast<size_t>(current)];
  if (operation == kOperationBrowse && reader.baseKind > 10) return;
  if (!d->doneEvent.isSet() && !d->doneEvent.wait(kWorkerExitWait)) return;

  processedItem_ = model_->itemDataOf(currentIndex()) == current ? currentIndex() : model_->findBase(current);
  d->operationReader = current;
  if (reader.state != 0) {
    reader.resetReader();
    d->UpdateAllViews(this, kHintListAndPreview);
  }
  if (!startWithStatus(operation, shownName(reader), [d, operation, current] { return d->startOperation(operation, current); }))
    processedItem_ = QPersistentModelIndex();
}

bool CTreeView_1::startWithStatus(int operation, const std::string& baseName, const std::function<bool()>& start) {
  operationStarted_ = std::chrono::steady_clock::now();
  statusOperation_ = operation;
  statusBaseName_ = baseName;
  views::ProgressStatusBar* statusBar = views::publishedStatusBar();
  if (statusBar) progress_ = showOperationStatus(*statusBar, operationStatusText(operation, baseName));
  progressSink_->attach(progress_);
  if (start()) return true;
  progressSink_->detach();
  endOperationStatus(views::publishedStatusBar(), progress_);
  return false;
}

int CTreeView_1::OnWorkerMessage(int message) {
  views::CVireoDoc* d = doc();
  if (message == kSearchProgress) {
    if (views::ProgressStatusBar* bar = views::publishedStatusBar(); bar && d)
      bar->SetPaneText(0, QFile::decodeName(QByteArray::fromStdString(d->searchProgressText())));
    return 1;
  }
  if (message != kOperationSucceeded && message != kOperationFailed) return 0;
  if (!d || !d->operationRunning) return 1;
  const int operation = d->operation;
  const int processed = d->operationReader;
  if (readsBase(operation) && processed >= 0 && processed < kReaderTableSize) {
    const QModelIndex node = processedNode();
    d->completeOperation(message);  // state 1 or 2, or the reader reset; operationRunning cleared
    const MessageBaseReader& reader = d->readers[static_cast<size_t>(processed)];
    if (processed == d->currentReader) d->canSaveAll = message == kOperationSucceeded && reader.count() != 0;
    if (node.isValid()) model_->setImage(node, baseImage(reader.baseKind, reader.state, reader.browseFailed));
  } else {
    d->completeOperation(message);
  }
  progressSink_->detach();
  endOperationStatus(views::publishedStatusBar(), progress_);
  if (views::ProgressStatusBar* bar = views::publishedStatusBar())
    bar->showOutcome(outcomeText(operation, message, processed));
  processedItem_ = QPersistentModelIndex();
  if (readsBase(operation)) d->UpdateAllViews(this, kHintListAndPreview);
  else if (operation == kOperationCopyBase) d->requestCommandRefresh();  // the table is as it was
  else d->UpdateAllViews(nullptr, kHintAll);  // a search or a disk image: the tree shows the bases found
  return 1;
}

QString CTreeView_1::outcomeText(int operation, int message, int processed) const {
  const views::CVireoDoc* d = doc();
  if (!d) return {};
  std::string text;
  if (operation == kOperationCopyBase) {
    if (message == kOperationSucceeded) text = statusBaseName_ + ": " + placedCopyText(d->lastCopyPlaced());
    else text = d->lastCopyStopped() ? kCopyStoppedText : kCopyFailedText;
  } else if (operation == kOperationOpenImage) {
    const std::string image = imageFileName(d->lastImagePath());
    if (message == kOperationSucceeded) text = imageOutcomeText(image, d->lastImageBases());
    else text = image + (d->stopEvent.isSet() ? ": search stopped" : ": search failed");
  } else if (operation == kOperationSearchList || operation == kOperationSearchFolder) {
    text = searchOutcomeText(d->lastSearchFolders(), d->lastSearchAdded(),
                             message == kOperationSucceeded, d->stopEvent.isSet());
  } else if (readsBase(operation) && processed >= 0 && processed < kReaderTableSize) {
    const MessageBaseReader& reader = d->readers[static_cast<size_t>(processed)];
    const bool recovery = operation == kOperationRecover;
    if (message != kOperationSucceeded) {
      text = readEndedText(shownName(reader), recovery, d->stopEvent.isSet());
    } else {
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - operationStarted_;
      text = readOutcomeText(shownName(reader), reader.validCount, recovery,
                             recovery ? std::optional(elapsed.count()) : std::nullopt);
      // The list's marks for messages the index does not list are missing then: say why.
      if (recovery && reader.indexUnreadable) text += "; the index could not be read: no message is marked as not in it";
    }
  } else {
    return {};
  }
  return QFile::decodeName(QByteArray::fromStdString(text));
}

void CTreeView_1::onCopyingChanged(bool copying) {
  views::ProgressStatusBar* bar = views::publishedStatusBar();
  views::CVireoDoc* d = doc();
  if (!bar || !progress_ || !d || !d->operationRunning) return;
  const QString text =
      copying ? copyPhaseText(statusBaseName_) : operationStatusText(statusOperation_, statusBaseName_);
  retitleOperationStatus(*bar, progress_, text);
}

QModelIndex CTreeView_1::processedNode() const {
  const int processed = doc()->operationReader;
  // A rebuild during the operation replaced the node remembered at its start.
  if (processedItem_.isValid() && model_->itemDataOf(processedItem_) == processed) return processedItem_;
  return model_->findBase(processed);
}

void CTreeView_1::removeSelection() {
  views::CVireoDoc* d = doc();
  if (!d || d->operationRunning) return;
  const int current = d->currentReader;
  if (d->isBase(current)) {
    MessageBaseReader& reader = d->readers[static_cast<size_t>(current)];
    reader.removed = true;
    const QModelIndex node = model_->itemDataOf(currentIndex()) == current ? currentIndex() : model_->findBase(current);
    if (node.isValid()) model_->removeNode(node);  // the selection moves on, and the list with it
    reader.resetReader();
  } else {
    // Only a group's bases go; the root stays.
    const QPersistentModelIndex group = currentIndex();
    if (current != kGroupItem || model_->itemDataOf(group) != kGroupItem || model_->rowCount(group) == 0) return;
    while (model_->rowCount(group) > 0) {
      const QModelIndex child = model_->index(0, 0, group);
      const int base = model_->itemDataOf(child);
      model_->removeNode(child);
      if (d->isBase(base)) {
        d->readers[static_cast<size_t>(base)].removed = true;
        d->readers[static_cast<size_t>(base)].resetReader();
      }
    }
    model_->removeNode(group);
  }
  if (currentIndex().isValid()) selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
  // A removed base the list still shows (its node was hidden by a filter) must not stay selected.
  if (d->currentReader == current && current != kGroupItem) onSelectionChanged(model_->itemDataOf(currentIndex()));
}

void CTreeView_1::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
  const QModelIndex node = byKeyboard ? currentIndex() : indexAt(event->pos());
  if (!node.isValid()) return;
  setCurrentIndex(node);
  showContextMenu(byKeyboard ? viewport()->mapToGlobal(visualRect(node).center()) : event->globalPos());
}

void CTreeView_1::showContextMenu(const QPoint& globalPosition) {
  views::CVireoDoc* d = doc();
  if (!d) return;
  const QPointer<QMenu> menu = makeTreeContextMenu(*d, this).release();
  const QPointer<CTreeView_1> alive(this);
  QAction* chosen = menu->exec(globalPosition);
  const int commandId = menu && chosen ? commandOf(chosen) : 0;
  delete menu.data();
  if (!alive || commandId == 0) return;
  // The tree first, then the document.
  if (!OnCmdMsg(commandId))
    if (views::CVireoDoc* target = doc()) target->OnCmdMsg(commandId);
}

void CTreeView_1::keyPressEvent(QKeyEvent* event) {
  views::CVireoDoc* d = doc();
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || event->modifiers() & ~Qt::KeypadModifier || !d || !d->isBase(d->currentReader)) {
    QTreeView::keyPressEvent(event);
    return;
  }
  event->accept();
  if (d->operationRunning) return;
  startOperation(kOperationBrowse);
  d->requestCommandRefresh();  // Stop is offered at once
}

void CTreeView_1::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  views::CVireoDoc* d = doc();
  if (!d || event->button() != Qt::LeftButton || d->operationRunning) return;
  if (indexAt(event->position().toPoint()).isValid()) startOperation(kOperationBrowse);
}

}  // namespace vireo::shell
