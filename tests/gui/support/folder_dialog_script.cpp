#include "tests/gui/support/folder_dialog_script.h"

#include <QLabel>
#include <QLineEdit>

#include "views/save_messages_dialog.h"

namespace vireo::guitest {

ModalAnswers::Answer DialogScript::answer() {
  return [this](const ModalRequest& request) -> std::optional<int> {
    auto* dialog = qobject_cast<views::SaveMessagesDialog*>(static_cast<QDialog*>(request.dialog));
    if (request.kind != ModalKind::Dialog || !dialog) return std::nullopt;
    shown.push_back({dialog->windowTitle(), dialog->descriptionLabel()->text(), dialog->folderEdit()->text()});
    if (whileOpen) whileOpen();
    if (folders.isEmpty() || folders.first().isNull()) {
      if (!folders.isEmpty()) folders.removeFirst();
      return QDialog::Rejected;
    }
    dialog->folderEdit()->setText(folders.takeFirst());
    return QDialog::Accepted;
  };
}

}  // namespace vireo::guitest
