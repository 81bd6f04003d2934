#pragma once
// The message list's table: a thin read-only adapter whose rows are indexes into the selected
// reader's records (the rows' "item data"), in one of the two message layouts, or the lines of a
// notice. Texts are read from the records when a cell is shown; the model owns no message data.
// In the recovery layout a recovered message the index does not list shows a mark beside its
// sender, a fragment a torn page beside its subject, and a filter can narrow the rows to them.
#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <vector>

#include "table/message_record.h"
#include "views/list_columns.h"

namespace vireo::views {

class MessageListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Header data role of the picture drawn to the right of a text column's title: the sort arrow.
  static constexpr int kSortArrowRole = Qt::UserRole + 1;

  // Which recovered records the recovery layout lists; the browse layout lists them all.
  struct RecoveryFilter {
    bool onlyNotInIndex = false;
    bool hideFragments = false;
    bool operator==(const RecoveryFilter&) const = default;
  };

  explicit MessageListModel(QObject* parent = nullptr);

  // The notice layout: one row per line, its text in column 1 (column 0 stays empty).
  void showNotice(const QStringList& lines);
  // A message layout (browse or recovery) with one row per record whose invalid is clear, in
  // table order. records must outlive the rows (the reader's table does, until the next refresh).
  // The recovery layout leaves out the records the filter does not keep.
  void showMessages(ListLayout layout, const std::vector<MessageRecord>& records);

  // Kept for every later showMessages; the rows already shown change only with the next one.
  void setRecoveryFilter(RecoveryFilter filter) { filter_ = filter; }
  RecoveryFilter recoveryFilter() const { return filter_; }
  // Valid records of the table the filter leaves out of the rows (0 outside the recovery layout).
  int hiddenCount() const { return hidden_; }

  ListLayout layout() const { return layout_; }
  bool isNotice() const { return layout_ == ListLayout::notice; }
  // The record index a row stands for; 0 for a notice row.
  int recordAt(int row) const;
  // The row that shows a record, -1 when none does.
  int rowOfRecord(int recordIndex) const;

  // Reorders the rows by a logical column (-1: no change); selections and the current index stay
  // with their records.
  void sortRows(int logicalColumn, bool ascending);

  // The arrow beside a position's title; one position at most shows it. -1 shows none.
  void setSortArrow(int position, bool ascending);
  int sortArrowPosition() const { return arrowPosition_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const MessageRecord* recordOfRow(int row) const;
  QVariant messageData(const MessageRecord& record, int logical, int role) const;
  QVariant messageHeaderData(int section, int role) const;

  ListLayout layout_ = ListLayout::notice;
  QStringList notice_;
  const std::vector<MessageRecord>* records_ = nullptr;
  size_t recordCount_ = 0;  // the table's size when the rows were made
  std::vector<int> rows_;
  RecoveryFilter filter_;
  int hidden_ = 0;
  int arrowPosition_ = -1;
  bool arrowAscending_ = true;
  QIcon fragment_;
  QIcon notInIndex_;
  QIcon redCross_;
  QIcon paperClip_;
  QIcon sortUp_;
  QIcon sortDown_;
};

}  // namespace vireo::views
