#include "views/modal.h"

#include <QDialog>
#include <QMessageBox>

#include "platform/modal_answer.h"

namespace vireo::views {

int showModalMessage(QWidget* parent, const QString& text) {
  const ModalRequest request{ModalKind::MessageBox, kAppTitle, text.toStdString(), nullptr};
  if (const std::optional<int> answer = answerModal(request)) return *answer;
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, parent);
  return box.exec();
}

int execModal(QDialog& dialog) {
  const ModalRequest request{ModalKind::Dialog, dialog.windowTitle().toStdString(), {}, &dialog};
  if (const std::optional<int> answer = answerModal(request)) return *answer;
  return dialog.exec();
}

}  // namespace vireo::views
