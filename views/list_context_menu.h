#pragma once
// The message list's context menu: "Save as eml", a line, "Open in OE", "View source". View
// source is offered for exactly one selected message. Each action carries its command id.
#include <QMenu>
#include <memory>

namespace vireo::views {

std::unique_ptr<QMenu> makeListContextMenu(int selectedCount, QWidget* parent);

}  // namespace vireo::views
