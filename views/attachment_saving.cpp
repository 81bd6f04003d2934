#include "views/attachment_saving.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "reader/outcome_text.h"
#include "views/modal.h"
#include "views/progress_status_bar.h"

namespace vireo::views {
namespace {

// The message's name reduced to a plain file name: no folder of its own may sneak in.
QString plainFileName(const QString& suggestedName) {
  QString name = QFileInfo(suggestedName).fileName();
  if (name.isEmpty() || name == QLatin1String("..") || name == QLatin1String(".")) name = QStringLiteral("attachment");
  return name;
}

// name in folder, or "base (2).ext", "base (3).ext", ... when that is taken (on disk or by taken).
QString freePath(const QDir& folder, const QString& name, QStringList& taken) {
  const QFileInfo info(name);
  const QString base = info.completeBaseName().isEmpty() ? name : info.completeBaseName();
  const QString suffix = info.completeBaseName().isEmpty() || info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
  QString candidate = name;
  for (int n = 2; QFileInfo::exists(folder.filePath(candidate)) || taken.contains(candidate); ++n)
    candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix);
  taken.append(candidate);
  return folder.filePath(candidate);
}

}  // namespace

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
  QFileDialog dialog(parent, QStringLiteral("Save Attachment"), QDir(folder).filePath(plainFileName(suggestedName)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (execModal(dialog) != QDialog::Accepted) return false;
  const QString path = dialog.selectedFiles().value(0);
  if (path.isEmpty()) return false;
  const QString failure = writeWholeFile(path, bytes);
  if (failure.isEmpty()) {
    publishOutcome(QStringLiteral("Attachment saved as %1").arg(QDir::toNativeSeparators(path)));
    return true;
  }
  publishOutcome(QStringLiteral("Attachment not saved: nothing written"));
  showModalMessage(parent, QStringLiteral("Cannot save %1\n%2").arg(QDir::toNativeSeparators(path), failure));
  return false;
}

}  // namespace vireo::views

namespace vireo::views {

int saveAllAttachments(QWidget* parent, const QString& folder, const std::vector<AttachmentFile>& attachments) {
  if (attachments.empty()) return 0;
  QFileDialog dialog(parent, QStringLiteral("Save All Attachments"), folder);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (execModal(dialog) != QDialog::Accepted) return 0;
  const QString chosen = dialog.selectedFiles().value(0);
  if (chosen.isEmpty()) return 0;
  const QDir target(chosen);
  QStringList taken;
  int written = 0;
  QString firstFailure;
  for (const AttachmentFile& attachment : attachments) {
    const QString path = freePath(target, plainFileName(attachment.name), taken);
    const QString failure = writeWholeFile(path, attachment.bytes);
    if (failure.isEmpty()) ++written;
    else if (firstFailure.isEmpty()) firstFailure = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), failure);
  }
  const int failed = static_cast<int>(attachments.size()) - written;
  publishOutcome(QFile::decodeName(QByteArray::fromStdString(
      attachmentsOutcomeText(written, static_cast<int>(attachments.size()), QFile::encodeName(chosen).toStdString()))));
  if (failed != 0)
    showModalMessage(parent, QStringLiteral("%1 of %2 attachments were not written to %3.\n%4")
                                 .arg(failed)
                                 .arg(attachments.size())
                                 .arg(QDir::toNativeSeparators(chosen), firstFailure));
  return written;
}

}  // namespace vireo::views
