#include "views/view_ex_split_wnd.h"

#include <QApplication>

#include "views/main_frame.h"

namespace vireo::views {

QWidget* CViewExSplitWnd::GetActivePane(int*, int*) const {
  if (const auto* frame = qobject_cast<const C3WaySplitter_1*>(window()))
    if (CView* view = frame->GetActiveView()) return view->widget();
  return QApplication::focusWidget();
}

}  // namespace vireo::views
