#include "views/list_view.h"

#include "views/vireo_doc.h"

namespace vireo::views {

CListView_1::CListView_1(CVireoDoc* document, QWidget* parent) : QTableView(parent) {
  attachDocument(document);
}

void CListView_1::OnUpdate(CView*, int) {}

}  // namespace vireo::views
