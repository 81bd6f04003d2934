#pragma once
// The folder chooser "Select folder". It shows hidden folders itself, so no desktop setting is
// changed while it is open.
#include <QString>
#include <optional>

class QWidget;

namespace vireo::shell {

inline constexpr char kSelectFolderTitle[] = "Select folder";

// Shows the chooser (through the modal seam); the chosen folder, or nullopt when the user
// cancelled or chose nothing.
std::optional<QString> selectFolder(QWidget* owner);

}  // namespace vireo::shell
