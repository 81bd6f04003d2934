#pragma once
// The message list: the upper right pane. (Placeholder until the list is built.)
#include <QTableView>

#include "views/doc_view.h"

namespace vireo::views {

class CVireoDoc;

class CListView_1 : public QTableView, public CView {
  Q_OBJECT

 public:
  CListView_1(CVireoDoc* document, QWidget* parent = nullptr);
  void OnUpdate(CView* sender, int hint) override;
  QWidget* widget() override { return this; }
};

}  // namespace vireo::views
