#pragma once
// The message list: the upper right pane. Lists the selected base's readable messages in the
// browse (7 columns) or recovery (6 columns) layout, or explains in a notice why there is
// nothing to list. It owns no message data: each row stands for a record index of the reader,
// and the list sorts its rows itself by the column clicked.
#include <QStringList>
#include <QTableView>
#include <memory>
#include <optional>
#include <vector>

#include "views/doc_view.h"
#include "views/list_columns.h"
#include "views/message_list_model.h"

class QItemSelection;
class QMenu;

namespace vireo {
class MessageBaseReader;
}

namespace vireo::views {

class CVireoDoc;

class CListView_1 : public QTableView, public CView {
  Q_OBJECT

 public:
  CListView_1(CVireoDoc* document, QWidget* parent = nullptr);

  CVireoDoc* GetDocument() const;
  MessageListModel* listModel() const { return model_; }

  void OnUpdate(CView* sender, int hint) override;
  void OnActivateView(bool activate, CView* activateView, CView* deactiveView) override;
  QWidget* widget() override { return this; }

  // A click on the header at a position: sorts by it (the same column again reverses).
  void OnColumnClick(int position);

  // Save as eml (32788), Open in OE (32784), View source (32783), the recovery layout's two
  // filters (32851, 32852).
  bool OnCmdMsg(int commandId) override;
  std::optional<bool> OnUpdateCmdUI(int commandId) override;
  // The two filters' check marks.
  std::optional<bool> OnUpdateCmdChecked(int commandId) override;
  // Whether a filter command is offered (the recovery layout, or the filter is on); nullopt for
  // other commands.
  std::optional<bool> recoveryFilterOffered(int commandId) const;
  // The selected rows' record indexes, top to bottom in display order.
  std::vector<int> selectedRecordIndexes() const;

  // The recovery layout's filter ("Show only messages not in the index", "Hide fragments"); a
  // change refreshes the list and the preview.
  void setRecoveryFilter(MessageListModel::RecoveryFilter filter);
  void toggleRecoveryFilter(bool onlyNotInIndex);
  // The context menu as it would show: on a row the message commands, in the recovery layout the
  // filter's two checkable choices too. Null when nothing would show.
  std::unique_ptr<QMenu> makeContextMenu(bool onRow);

  int sortColumn = -1;   // the position the list is sorted by; -1 none
  int arrowColumn = -1;  // the position whose header shows the arrow; -1 none

 protected:
  // Home and End go to the first and last message, not to the row's first and last column.
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  MessageBaseReader* selectedReader() const;
  void saveColumnState();
  void showNotice(const QStringList& lines);
  void fill(MessageBaseReader& reader);
  void buildMessageColumns(ListLayout layout, const MessageBaseReader& reader);
  void sortBy(int position, bool ascending);
  void showSortArrow(int position);
  void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  void OnItemChanged(int row);
  int selectedCount() const;
  void showContextMenu(const QPoint& globalPosition, bool onRow);
  // Gives Subject the width the other columns leave (at least its default width).
  void fitSubjectColumn();
  // A column's width when the document has none for it yet.
  int firstRunWidth(int logical) const;

  MessageListModel* model_ = nullptr;
  bool fittingSubject_ = false;
};

}  // namespace vireo::views
