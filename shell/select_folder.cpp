#include "shell/select_folder.h"

#include <QDir>
#include <QFileDialog>

#include "views/modal.h"

namespace vireo::shell {

std::optional<QString> selectFolder(QWidget* owner) {
  QFileDialog chooser(owner, QString::fromUtf8(kSelectFolderTitle), QDir::homePath());
  chooser.setFileMode(QFileDialog::Directory);
  // Qt's own dialog, because it can show hidden folders (Outlook Express stores lie in them)
  // without touching the desktop's settings.
  chooser.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  chooser.setFilter(chooser.filter() | QDir::Hidden);
  if (views::execModal(chooser) != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = chooser.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return chosen.first();
}

}  // namespace vireo::shell
