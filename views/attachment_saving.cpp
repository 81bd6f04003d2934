#include "views/attachment_saving.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "views/modal.h"

namespace vireo::views {

QString writeWholeFile(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (file.write(bytes) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) return file.errorString();
  return {};
}

bool saveAttachment(QWidget* parent, const QString& folder, const QString& suggestedName, const QByteArray& bytes) {
  // The name comes from the message: no folder of its own may sneak into the suggestion.
  QString name = QFileInfo(suggestedName).fileName();
  if (name.isEmpty() || name == QLatin1String("..")) name = QStringLiteral("attachment");
  QFileDialog dialog(parent, QStringLiteral("Save Attachment"), QDir(folder).filePath(name));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (execModal(dialog) != QDialog::Accepted) return false;
  const QString path = dialog.selectedFiles().value(0);
  if (path.isEmpty()) return false;
  const QString failure = writeWholeFile(path, bytes);
  if (failure.isEmpty()) return true;
  showModalMessage(parent, QStringLiteral("Cannot save %1\n%2").arg(QDir::toNativeSeparators(path), failure));
  return false;
}

}  // namespace vireo::views
