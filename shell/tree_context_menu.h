#pragma once
// The tree's context menu (popup menu 163): its items in their order, grayed and checked from the
// document's flags. Each action carries its command id as its data.
#include <QMenu>
#include <memory>

namespace vireo::views {
class CVireoDoc;
}

namespace vireo::shell {

inline constexpr const char* kTreeFilterMenuText = "Tree View Filter";

std::unique_ptr<QMenu> makeTreeContextMenu(const views::CVireoDoc& doc, QWidget* parent);

// The command id an action of that menu carries; 0 for none.
int commandOf(const QAction* action);

}  // namespace vireo::shell
