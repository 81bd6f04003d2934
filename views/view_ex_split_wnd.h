#pragma once
// The splitters of the main window: the outer one (tree | right side) and the inner one (list
// over preview). Their additions to QSplitter: GetActivePane, which answers with the frame's
// active view, so that a pane of the inner splitter can be the active one, and a signal after
// each resize, when the panes' sizes are final.
#include <QSplitter>

namespace vireo::views {

class CViewExSplitWnd : public QSplitter {
  Q_OBJECT

 public:
  using QSplitter::QSplitter;

  // The frame's active view's widget when there is one, else the focus widget (whether or not
  // it lies in this splitter). row and column are left as they are.
  QWidget* GetActivePane(int* row = nullptr, int* column = nullptr) const;

 signals:
  // After a resize has been shared out among the panes.
  void resized();

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QSplitter::resizeEvent(event);
    emit resized();
  }
};

}  // namespace vireo::views
