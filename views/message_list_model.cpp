#include "views/message_list_model.h"

#include <algorithm>
#include <string_view>

#include "views/list_pictures.h"
#include "views/record_compare.h"

namespace vireo::views {
namespace {

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

QString textOf(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

const char* const kNotInIndexTip = "Not in the index: deleted, or lost from the index";
const char* const kFragmentTip = "Fragment: only part of a message was recovered";

bool keeps(const MessageListModel::RecoveryFilter& filter, const MessageRecord& record) {
  if (filter.onlyNotInIndex && !record.unindexed) return false;
  return !(filter.hideFragments && record.fragment);
}

}  // namespace

MessageListModel::MessageListModel(QObject* parent)
    : QAbstractTableModel(parent),
      fragment_(listPicture(ListPicture::fragment)),
      notInIndex_(listPicture(ListPicture::notInIndex)),
      redCross_(listPicture(ListPicture::redCross)),
      paperClip_(listPicture(ListPicture::paperClip)),
      sortUp_(listPicture(ListPicture::sortUp)),
      sortDown_(listPicture(ListPicture::sortDown)) {}

void MessageListModel::showNotice(const QStringList& lines) {
  beginResetModel();
  layout_ = ListLayout::notice;
  notice_ = lines;
  records_ = nullptr;
  recordCount_ = 0;
  rows_.clear();
  hidden_ = 0;
  arrowPosition_ = -1;
  endResetModel();
}

void MessageListModel::showMessages(ListLayout layout, const std::vector<MessageRecord>& records) {
  beginResetModel();
  layout_ = layout;
  notice_.clear();
  records_ = &records;
  recordCount_ = records.size();
  rows_.clear();
  rows_.reserve(records.size());
  hidden_ = 0;
  const bool filtered = layout == ListLayout::recovery;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].invalid) continue;
    if (filtered && !keeps(filter_, records[i])) ++hidden_;
    else rows_.push_back(static_cast<int>(i));
  }
  arrowPosition_ = -1;
  endResetModel();
}

int MessageListModel::recordAt(int row) const {
  if (isNotice() || row < 0 || row >= static_cast<int>(rows_.size())) return 0;
  return rows_[static_cast<size_t>(row)];
}

int MessageListModel::rowOfRecord(int recordIndex) const {
  const auto found = std::find(rows_.begin(), rows_.end(), recordIndex);
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

// The table behind the rows must still be the one they were made from; a table that changed
// without a refresh shows empty cells rather than somebody else's records.
const MessageRecord* MessageListModel::recordOfRow(int row) const {
  if (!records_ || records_->size() != recordCount_ || row < 0 || row >= static_cast<int>(rows_.size()))
    return nullptr;
  const MessageRecord& record = (*records_)[static_cast<size_t>(rows_[static_cast<size_t>(row)])];
  return record.invalid ? nullptr : &record;
}

void MessageListModel::sortRows(int logicalColumn, bool ascending) {
  if (isNotice() || logicalColumn < 0 || !records_ || records_->size() != recordCount_) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<int> before = rows_;
  sortRecordRows(rows_, *records_, logicalColumn, ascending);
  const QModelIndexList persistent = persistentIndexList();
  if (!persistent.isEmpty()) {
    std::vector<int> newRowOfRecord(recordCount_, -1);
    for (size_t row = 0; row < rows_.size(); ++row) newRowOfRecord[static_cast<size_t>(rows_[row])] = static_cast<int>(row);
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent)
      moved.append(index(newRowOfRecord[static_cast<size_t>(before[static_cast<size_t>(old.row())])], old.column()));
    changePersistentIndexList(persistent, moved);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void MessageListModel::setSortArrow(int position, bool ascending) {
  const int previous = arrowPosition_;
  arrowPosition_ = position >= 0 && position < columnCount() ? position : -1;
  arrowAscending_ = ascending;
  if (previous >= 0) emit headerDataChanged(Qt::Horizontal, previous, previous);
  if (arrowPosition_ >= 0) emit headerDataChanged(Qt::Horizontal, arrowPosition_, arrowPosition_);
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return isNotice() ? static_cast<int>(notice_.size()) : static_cast<int>(rows_.size());
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : views::columnCount(layout_);
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.model() != this) return {};
  if (isNotice()) {
    if (index.column() != 1 || index.row() >= notice_.size()) return {};
    if (role == Qt::DisplayRole) return notice_[index.row()];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
  }
  const MessageRecord* record = recordOfRow(index.row());
  if (!record) return {};
  return messageData(*record, logicalColumnIn(layout_, index.column()), role);
}

QVariant MessageListModel::messageData(const MessageRecord& record, int logical, int role) const {
  switch (role) {
    case Qt::DisplayRole:
      switch (logical) {
        case kFromColumn: return textOf(record.from());
        case kToColumn: return textOf(record.to());
        case kSubjectColumn: return textOf(record.subject());
        case kDateColumn: return textOf(record.dateText());
        case kNumberColumn: return QString::number(record.number);
        default: return {};
      }
    case Qt::DecorationRole:
      if (logical == kDeletedColumn && record.deleted) return redCross_;
      if (logical == kAttachmentColumn && record.attachment != 0) return paperClip_;
      if (logical == kFromColumn && record.unindexed) return notInIndex_;
      if (logical == kSubjectColumn && record.fragment) return fragment_;
      return {};
    case Qt::ToolTipRole:
      if (logical == kFromColumn && record.unindexed) return QString::fromUtf8(kNotInIndexTip);
      if (logical == kSubjectColumn && record.fragment) return QString::fromUtf8(kFragmentTip);
      return {};
    case Qt::AccessibleTextRole:
      // A picture cell says what its picture means; a blank one says nothing. A text cell with a
      // mark says the mark before its text.
      if (logical == kDeletedColumn) return record.deleted ? QStringLiteral("Deleted") : QString();
      if (logical == kAttachmentColumn) return record.attachment != 0 ? QStringLiteral("Attachment") : QString();
      if (logical == kFromColumn && record.unindexed)
        return QStringLiteral("Not in the index, ") + textOf(record.from());
      if (logical == kSubjectColumn && record.fragment) return QStringLiteral("Fragment, ") + textOf(record.subject());
      return {};
    case Qt::TextAlignmentRole: return QVariant::fromValue(kLeft);
    default: return {};
  }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (!isNotice()) return messageHeaderData(section, role);
  if (section != 1) return {};
  if (role == Qt::DisplayRole) return QStringLiteral("Info");
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

QVariant MessageListModel::messageHeaderData(int section, int role) const {
  const int logical = logicalColumnIn(layout_, section);
  if (logical < 0) return {};
  const ColumnInfo& column = kColumns[static_cast<size_t>(logical)];
  switch (role) {
    case Qt::DisplayRole: return QString::fromUtf8(column.title);
    case Qt::AccessibleTextRole: return QString::fromUtf8(column.accessibleName);
    case Qt::DecorationRole:
      if (logical == kDeletedColumn) return redCross_;
      if (logical == kAttachmentColumn) return paperClip_;
      return {};
    case Qt::TextAlignmentRole: return QVariant::fromValue(kLeft);
    case kSortArrowRole:
      if (section != arrowPosition_ || isPictureColumn(logical)) return {};
      return arrowAscending_ ? sortUp_ : sortDown_;
    default: return {};
  }
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // Notice lines are explanations, not items to act on.
  if (isNotice()) return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace vireo::views
