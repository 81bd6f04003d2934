#include "views/message_list_header.h"

#include <QIcon>
#include <QPainter>
#include <QStyleOptionHeader>

#include "views/message_list_model.h"

namespace vireo::views {
namespace {

constexpr int kArrowSize = 16;
constexpr int kArrowGap = 2;

QRect labelRect(const QStyle* style, const QStyleOptionHeader& option, const QWidget* widget) {
  return style->subElementRect(QStyle::SE_HeaderLabel, &option, widget);
}

}  // namespace

MessageListHeader::MessageListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

QIcon MessageListHeader::sortArrow(int logicalIndex) const {
  if (!model()) return {};
  return model()->headerData(logicalIndex, orientation(), MessageListModel::kSortArrowRole).value<QIcon>();
}

void MessageListHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
  QHeaderView::initStyleOptionForIndex(option, logicalIndex);
  if (sortArrow(logicalIndex).isNull()) return;
  // Shorten the title so that the arrow drawn after it stays inside the section.
  QStyleOptionHeader sized = *option;
  sized.rect = QRect(0, 0, sectionSize(logicalIndex), height());
  const int room = labelRect(style(), sized, this).width() - kArrowGap - kArrowSize;
  option->text = option->fontMetrics.elidedText(option->text, Qt::ElideRight, std::max(room, 0));
}

void MessageListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  QHeaderView::paintSection(painter, rect, logicalIndex);
  const QIcon arrow = sortArrow(logicalIndex);
  if (arrow.isNull()) return;
  QStyleOptionHeader option;
  initStyleOption(&option);
  initStyleOptionForIndex(&option, logicalIndex);
  option.rect = rect;
  const QRect label = labelRect(style(), option, this);
  const int left = label.left() + option.fontMetrics.horizontalAdvance(option.text) + kArrowGap;
  const QRect target(left, rect.top() + (rect.height() - kArrowSize) / 2, kArrowSize, kArrowSize);
  painter->save();
  painter->setClipRect(rect);
  arrow.paint(painter, target);
  painter->restore();
}

}  // namespace vireo::views
