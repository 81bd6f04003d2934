#include "views/list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPointer>
#include <QResizeEvent>
#include <algorithm>
#include <numeric>
#include <vector>

#include "views/command_table.h"
#include "views/list_context_menu.h"
#include "views/message_list_header.h"
#include "views/message_list_model.h"
#include "views/mailbox_saving.h"
#include "views/selected_message_commands.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

// Makes the next sort count as a sort by a new column, so that it takes the saved direction.
constexpr int kNoColumnYet = -200;

const char* const kNoBaseSelected = "No message base is selected.";
const char* const kUnableToBrowse = "Vireo is unable to browse this message base.";
const char* const kUseRecovery = "Use message base recovery to recover messages in the mail base.";
const char* const kUseBrowsing = "Use message base browsing to view message base content.";
const char* const kNoItems = "No items are found in this view.";
const char* const kTryRecover = "Try message base recover if you think that the message base is not empty.";

const char* const kOnlyNotInIndexText = "Show only messages not in the index";
const char* const kIndexUnreadableText = "Show only messages not in the index (the index could not be read)";
const char* const kHideFragmentsText = "Hide fragments";

int slotOf(ListLayout layout) { return layout == ListLayout::recovery ? kRecoverySlot : kBrowseSlot; }

}  // namespace

CListView_1::CListView_1(CVireoDoc* document, QWidget* parent) : QTableView(parent) {
  setHorizontalHeader(new MessageListHeader(this));
  model_ = new MessageListModel(this);
  setModel(model_);
  setAccessibleName(QStringLiteral("Messages"));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setIconSize(QSize(16, 16));

  // Every row is as high as every other: the view never measures a row's content.
  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(std::max(fontMetrics().height(), iconSize().height()) + 4);

  QHeaderView* header = horizontalHeader();
  header->setSectionsMovable(true);
  header->setSectionsClickable(true);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(0);  // the notice layout's first column is 0 wide
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionResizeMode(QHeaderView::Interactive);
  connect(header, &QHeaderView::sectionClicked, this, &CListView_1::OnColumnClick);
  connect(header, &QHeaderView::sectionResized, this, [this] { fitSubjectColumn(); });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CListView_1::onSelectionChanged);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (current.isValid()) OnItemChanged(current.row());
  });

  showNotice({QString::fromUtf8(kNoBaseSelected)});
  attachDocument(document);
}

CVireoDoc* CListView_1::GetDocument() const { return static_cast<CVireoDoc*>(CView::GetDocument()); }

MessageBaseReader* CListView_1::selectedReader() const {
  CVireoDoc* doc = GetDocument();
  if (!doc || !doc->isBase(doc->currentReader)) return nullptr;
  return &doc->readers[static_cast<size_t>(doc->currentReader)];
}

void CListView_1::OnUpdate(CView*, int hint) {
  if (!hintRefreshesList(hint)) return;
  saveColumnState();
  MessageBaseReader* reader = selectedReader();
  if (!reader) {
    showNotice({QString::fromUtf8(kNoBaseSelected)});
  } else if (reader->state == 0) {
    // browseFailed stays set for a whole browse, so a base being browsed says this too.
    if (reader->browseFailed)
      showNotice({QString::fromUtf8(kUnableToBrowse), QString::fromUtf8(kUseRecovery)});
    else
      showNotice({QString::fromUtf8(kUseBrowsing)});
  } else if (reader->count() == 0) {
    QStringList lines{QString::fromUtf8(kNoItems)};
    if (reader->state == 1) lines.append(QString::fromUtf8(kTryRecover));
    showNotice(lines);
  } else {
    fill(*reader);
  }
}

// The outgoing message layout's widths, orders and sort go to the document's slot for it, so
// that the layout comes back as the user left it.
void CListView_1::saveColumnState() {
  CVireoDoc* doc = GetDocument();
  const QHeaderView* header = horizontalHeader();
  const int columns = header->count();
  if (!doc || (columns != 6 && columns != 7) || sortColumn == -1) return;
  ListColumnState& slot = doc->listColumns[static_cast<size_t>(columns == 7 ? kBrowseSlot : kRecoverySlot)];
  slot.ascending = sortAscending;
  slot.sortPosition = sortColumn;
  for (int position = 0; position < columns; ++position) {
    const size_t logical = static_cast<size_t>(columns == 7 ? position : position + 1);
    slot.widths[logical] = header->sectionSize(position);
    slot.orders[logical] = header->visualIndex(position);
  }
}

void CListView_1::showNotice(const QStringList& lines) {
  model_->showNotice(lines);
  QHeaderView* header = horizontalHeader();
  header->hide();
  header->resizeSection(0, 0);
  header->resizeSection(1, viewport()->width());
}

void CListView_1::fill(MessageBaseReader& reader) {
  sortColumn = -1;
  arrowColumn = -1;
  sortAscending = true;
  const ListLayout layout = reader.state == 1 ? ListLayout::browse : ListLayout::recovery;
  buildMessageColumns(layout, reader);
  // The first listed record, in table order, is selected without moving the focus or the view.
  if (model_->rowCount() > 0)
    selectionModel()->select(model_->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const ListColumnState& slot = GetDocument()->listColumns[static_cast<size_t>(
      columnPositions[kNumberColumn] == 5 ? kRecoverySlot : kBrowseSlot)];
  sortColumn = kNoColumnYet;
  sortAscending = slot.ascending;
  sortBy(slot.sortPosition, sortAscending);
  showSortArrow(slot.sortPosition);
}

void CListView_1::buildMessageColumns(ListLayout layout, const MessageBaseReader& reader) {
  setColumnPositions(layout);
  const ListColumnState& slot = GetDocument()->listColumns[static_cast<size_t>(slotOf(layout))];
  model_->showMessages(layout, reader.records);
  QHeaderView* header = horizontalHeader();
  header->show();
  const int columns = columnCount(layout);
  std::vector<int> displayOrder(static_cast<size_t>(columns));
  for (int position = 0; position < columns; ++position) {
    const size_t logical = static_cast<size_t>(logicalColumnIn(layout, position));
    const int saved = slot.widths[logical];
    // The picture columns always come back at their own width.
    header->resizeSection(position, isPictureColumn(static_cast<int>(logical)) ? kColumns[logical].defaultWidth
                                    : saved == -1                              ? firstRunWidth(static_cast<int>(logical))
                                                                               : saved);
    displayOrder[static_cast<size_t>(position)] = slot.orders[logical] != -1 ? slot.orders[logical] : position;
  }
  std::vector<int> sections(static_cast<size_t>(columns));
  std::iota(sections.begin(), sections.end(), 0);
  std::stable_sort(sections.begin(), sections.end(), [&](int a, int b) {
    return displayOrder[static_cast<size_t>(a)] < displayOrder[static_cast<size_t>(b)];
  });
  for (int visual = 0; visual < columns; ++visual)
    header->moveSection(header->visualIndex(sections[static_cast<size_t>(visual)]), visual);
  fitSubjectColumn();
}

// From and To hold "Name <address>": room for a common name and address in the list's font, so
// that the address is not cut at the name, though never more than a fifth of the list each, which
// leaves Subject the most.
int CListView_1::firstRunWidth(int logical) const {
  const int least = kColumns[static_cast<size_t>(logical)].defaultWidth;
  if (logical != kFromColumn && logical != kToColumn) return least;
  const int wanted = fontMetrics().horizontalAdvance(QStringLiteral("Vireo Team <team@vireo.example>")) + 16;
  return std::max(least, std::min(wanted, viewport()->width() / 5));
}

void CListView_1::fitSubjectColumn() {
  if (fittingSubject_ || model_->isNotice()) return;
  const int subject = columnPositions[kSubjectColumn];
  QHeaderView* header = horizontalHeader();
  if (subject < 0 || subject >= header->count()) return;
  int others = 0;
  for (int position = 0; position < header->count(); ++position)
    if (position != subject && !header->isSectionHidden(position)) others += header->sectionSize(position);
  const int width = std::max(kColumns[kSubjectColumn].defaultWidth, viewport()->width() - others);
  if (width == header->sectionSize(subject)) return;
  fittingSubject_ = true;
  header->resizeSection(subject, width);
  fittingSubject_ = false;
}

void CListView_1::sortBy(int position, bool ascending) {
  sortKey = position;
  if (position == sortColumn) {
    sortAscending = !sortAscending;
  } else {
    sortAscending = ascending;
    sortColumn = position;
  }
  model_->sortRows(logicalColumnAt(sortKey), sortAscending);
}

void CListView_1::showSortArrow(int position) {
  if (arrowColumn != -1) {
    model_->setSortArrow(-1, sortAscending);
    arrowColumn = -1;
  }
  if (isPictureColumn(logicalColumnAt(position))) return;
  model_->setSortArrow(position, sortAscending);
  arrowColumn = position;
}

void CListView_1::OnColumnClick(int position) {
  const MessageBaseReader* reader = selectedReader();
  if (!reader || reader->state == 0 || reader->count() <= 1) return;
  sortBy(position, sortAscending);
  showSortArrow(position);
}

// Qt reports a row's selection and the focus moving to it separately; the row that changed is
// the focused one when it is among the newly selected, else the first newly selected, else the
// first deselected.
void CListView_1::onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  const QModelIndex current = currentIndex();
  int row = -1;
  if (current.isValid() && (selected.isEmpty() || selected.contains(current)))
    row = current.row();
  else if (!selected.isEmpty())
    row = selected.first().top();
  else if (!deselected.isEmpty())
    row = deselected.first().top();
  if (row >= 0) OnItemChanged(row);
}

void CListView_1::OnItemChanged(int row) {
  CVireoDoc* doc = GetDocument();
  if (!doc) return;
  MessageBaseReader* reader = selectedReader();
  if (!reader) {
    doc->canSaveSelected = 0;
    return;
  }
  const int record = model_->recordAt(row);
  const int count = reader->count();
  if (record != reader->currentRow && record < count) {
    reader->currentRow = record;
    if (count != 0) doc->canSaveSelected = reader->currentRow < count && !doc->canBrowse ? 1 : 0;
    doc->UpdateAllViews(this, kHintPreview);
  } else {
    doc->canSaveSelected = record < count && !doc->canBrowse ? 1 : 0;
  }
  if (!selectionModel()->hasSelection()) doc->canSaveSelected = 0;
}

void CListView_1::OnActivateView(bool activate, CView*, CView*) {
  CVireoDoc* doc = GetDocument();
  if (!doc) return;
  if (!activate) {
    doc->canSaveSelected = 0;
    return;
  }
  const MessageBaseReader* reader = selectedReader();
  if (reader && reader->hasMessagesToShow())
    doc->canSaveSelected = selectionModel()->hasSelection() ? 1 : 0;
}

QModelIndex CListView_1::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  // A row is one message; QTableView's Home and End move along it (with Ctrl, to a corner).
  const QModelIndex current = currentIndex();
  if ((cursorAction == MoveHome || cursorAction == MoveEnd) && !model_->isNotice() && model_->rowCount() > 0 &&
      current.isValid())
    return model_->index(cursorAction == MoveHome ? 0 : model_->rowCount() - 1, current.column());
  return QTableView::moveCursor(cursorAction, modifiers);
}

void CListView_1::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  if (model_->isNotice()) horizontalHeader()->resizeSection(1, viewport()->width());
  else fitSubjectColumn();
}

bool CListView_1::viewportEvent(QEvent* event) {
  const bool handled = QTableView::viewportEvent(event);
  // A scroll bar coming or going changes the viewport alone.
  if (event->type() == QEvent::Resize && !model_->isNotice()) fitSubjectColumn();
  return handled;
}

int CListView_1::selectedCount() const {
  return model_->isNotice() ? 0 : static_cast<int>(selectionModel()->selectedRows().size());
}

std::vector<int> CListView_1::selectedRecordIndexes() const {
  std::vector<int> rows;
  if (model_->isNotice()) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  std::vector<int> records;
  records.reserve(rows.size());
  for (const int row : rows) records.push_back(model_->recordAt(row));
  return records;
}

bool CListView_1::OnCmdMsg(int commandId) {
  CVireoDoc* doc = GetDocument();
  if (!doc) return false;
  const auto selection = [this] { return selectedRecordIndexes(); };
  switch (commandId) {
    case command::kViewOnlyNotInIndex: toggleRecoveryFilter(true); return true;
    case command::kViewHideFragments: toggleRecoveryFilter(false); return true;
    case command::kSaveSelected: saveSelectedMessages(*doc, selectedCount(), selection, this); return true;
    case command::kSaveSelectedMbox:
      saveSelectedAsMailbox(*doc, MailboxForm::mbox, selectedCount(), selection, this);
      return true;
    case command::kSaveSelectedMaildir:
      saveSelectedAsMailbox(*doc, MailboxForm::maildir, selectedCount(), selection, this);
      return true;
    case command::kOpenInOe: openSelectedMessages(*doc, selection, this); return true;
    case command::kViewSource: viewMessageSource(*doc, this); return true;
    default: return false;
  }
}

std::optional<bool> CListView_1::OnUpdateCmdUI(int commandId) {
  const CVireoDoc* doc = GetDocument();
  if (!doc) return std::nullopt;
  if (const std::optional<bool> offered = recoveryFilterOffered(commandId)) return offered;
  switch (commandId) {
    case command::kSaveSelected:
    case command::kSaveSelectedMbox:
    case command::kSaveSelectedMaildir:
      return doc->canSaveSelected != 0 && selectedMessageCommandAllowed(*doc, commandId, selectedCount());
    case command::kOpenInOe:
    case command::kViewSource:
      return selectedMessageCommandAllowed(*doc, commandId, selectedCount());
    default:
      return std::nullopt;
  }
}

std::optional<bool> CListView_1::recoveryFilterOffered(int commandId) const {
  const MessageListModel::RecoveryFilter filter = model_->recoveryFilter();
  const bool recovery = model_->layout() == ListLayout::recovery && !model_->isNotice();
  const MessageBaseReader* reader = selectedReader();
  // A filter that is on can always be turned off, whatever the list shows.
  switch (commandId) {
    case command::kViewOnlyNotInIndex:
      // Nothing is marked when the index could not be read.
      return filter.onlyNotInIndex || (recovery && !(reader && reader->indexUnreadable));
    case command::kViewHideFragments: return filter.hideFragments || recovery;
    default: return std::nullopt;
  }
}

std::optional<bool> CListView_1::OnUpdateCmdChecked(int commandId) {
  if (commandId == command::kViewOnlyNotInIndex) return model_->recoveryFilter().onlyNotInIndex;
  if (commandId == command::kViewHideFragments) return model_->recoveryFilter().hideFragments;
  return std::nullopt;
}

void CListView_1::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
  // Only a click on a row (or the keyboard, at the current row) offers the message commands; the
  // recovery layout offers its filter anywhere, so a filter that leaves no row can be undone.
  const QModelIndex row = byKeyboard ? currentIndex() : indexAt(event->pos());
  if (model_->isNotice()) return;
  const bool onRow = row.isValid();
  if (!onRow && model_->layout() != ListLayout::recovery) return;
  const QPoint at = byKeyboard && onRow ? viewport()->mapToGlobal(visualRect(row).center())
                    : byKeyboard        ? viewport()->mapToGlobal(viewport()->rect().topLeft())
                                        : event->globalPos();
  showContextMenu(at, onRow);
}

std::unique_ptr<QMenu> CListView_1::makeContextMenu(bool onRow) {
  CVireoDoc* doc = GetDocument();
  const int selected = selectedCount();
  // The message commands need a current row in the table, as Open in OE and View source do.
  const bool commands =
      onRow && doc && selected != 0 && selectedMessageCommandAllowed(*doc, command::kOpenInOe, selected);
  const bool recovery = model_->layout() == ListLayout::recovery;
  if (!commands && !recovery) return nullptr;
  std::unique_ptr<QMenu> menu = commands ? makeListContextMenu(selected, this) : std::make_unique<QMenu>(this);
  if (recovery) {
    if (commands) menu->addSeparator();
    const MessageBaseReader* reader = selectedReader();
    const bool indexRead = !reader || !reader->indexUnreadable;
    const MessageListModel::RecoveryFilter filter = model_->recoveryFilter();
    // The View menu's two commands, with the same state.
    QAction* onlyNotInIndex =
        menu->addAction(QString::fromUtf8(indexRead ? kOnlyNotInIndexText : kIndexUnreadableText));
    onlyNotInIndex->setCheckable(true);
    onlyNotInIndex->setChecked(filter.onlyNotInIndex);
    // Nothing is marked when the index could not be read; the filter can still be turned off.
    onlyNotInIndex->setEnabled(indexRead || filter.onlyNotInIndex);
    onlyNotInIndex->setData(command::kViewOnlyNotInIndex);
    QAction* hideFragments = menu->addAction(QString::fromUtf8(kHideFragmentsText));
    hideFragments->setCheckable(true);
    hideFragments->setChecked(filter.hideFragments);
    hideFragments->setData(command::kViewHideFragments);
  }
  return menu;
}

void CListView_1::showContextMenu(const QPoint& globalPosition, bool onRow) {
  const QPointer<QMenu> menu = makeContextMenu(onRow).release();
  if (!menu) return;
  const QPointer<CListView_1> alive(this);
  QAction* chosen = menu->exec(globalPosition);
  const int choice = menu && chosen ? chosen->data().toInt() : 0;
  delete menu.data();
  if (!alive || choice == 0) return;
  OnCmdMsg(choice);
  // The View menu shows the filters' state too.
  if (CVireoDoc* doc = GetDocument()) doc->requestCommandRefresh();
}

void CListView_1::setRecoveryFilter(MessageListModel::RecoveryFilter filter) {
  if (filter == model_->recoveryFilter()) return;
  model_->setRecoveryFilter(filter);
  // Rebuilt as on any refresh: the sort and widths are kept, the first row is selected and the
  // preview follows it.
  if (CVireoDoc* doc = GetDocument()) doc->UpdateAllViews(nullptr, kHintListAndPreview);
}

void CListView_1::toggleRecoveryFilter(bool onlyNotInIndex) {
  MessageListModel::RecoveryFilter filter = model_->recoveryFilter();
  if (onlyNotInIndex) filter.onlyNotInIndex = !filter.onlyNotInIndex;
  else filter.hideFragments = !filter.hideFragments;
  setRecoveryFilter(filter);
}

void CListView_1::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid() && !model_->isNotice())
    OnCmdMsg(command::kOpenInOe);
}

}  // namespace vireo::views
