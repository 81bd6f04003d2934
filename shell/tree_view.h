#pragma once
// The tree of message bases: the left pane. (Placeholder until the tree is built.)
#include <QTreeView>

#include "views/doc_view.h"

namespace vireo::views {
class CVireoDoc;
}

namespace vireo::shell {

class CTreeView_1 : public QTreeView, public views::CView {
  Q_OBJECT

 public:
  CTreeView_1(views::CVireoDoc* document, QWidget* parent = nullptr);
  void OnUpdate(views::CView* sender, int hint) override;
  QWidget* widget() override { return this; }
};

}  // namespace vireo::shell
