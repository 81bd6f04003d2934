#include "views/doc_view.h"

#include <algorithm>

namespace vireo::views {

CDocument::~CDocument() {
  const std::vector<CView*> attached = std::move(views_);
  views_.clear();
  for (CView* view : attached) view->attachDocument(nullptr);
}

void CDocument::AddView(CView* view) {
  if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void CDocument::RemoveView(CView* view) { std::erase(views_, view); }

void CDocument::UpdateAllViews(CView* sender, int hint) {
  // A view's update may register or drop views (or update again); walk a copy.
  const std::vector<CView*> targets = views_;
  for (CView* view : targets)
    if (view != sender && std::find(views_.begin(), views_.end(), view) != views_.end()) view->OnUpdate(sender, hint);
}

CView::~CView() {
  if (document_) document_->RemoveView(this);
}

void CView::attachDocument(CDocument* document) {
  if (document_ == document) return;
  CDocument* previous = document_;
  document_ = document;
  if (previous) previous->RemoveView(this);
  if (document_) document_->AddView(this);
}

}  // namespace vireo::views
