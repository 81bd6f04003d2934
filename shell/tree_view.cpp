#include "shell/tree_view.h"

#include "views/vireo_doc.h"

namespace vireo::shell {

CTreeView_1::CTreeView_1(views::CVireoDoc* document, QWidget* parent) : QTreeView(parent) {
  attachDocument(document);
}

void CTreeView_1::OnUpdate(views::CView*, int) {}

}  // namespace vireo::shell
