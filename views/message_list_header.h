#pragma once
// The message list's column header: draws the model's sort arrow to the right of the sorted
// column's title, as a report list does, leaving the title room for it.
#include <QHeaderView>

namespace vireo::views {

class MessageListHeader : public QHeaderView {
  Q_OBJECT

 public:
  explicit MessageListHeader(QWidget* parent = nullptr);

 protected:
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  QIcon sortArrow(int logicalIndex) const;
};

}  // namespace vireo::views
