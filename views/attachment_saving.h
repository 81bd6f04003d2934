#pragma once
// Saving an attachment of the previewed message: the user picks the file, and the bytes are
// written whole (a temporary file renamed into place), or a box names the file and the reason.
#include <QByteArray>
#include <QString>
#include <vector>

class QWidget;

namespace vireo::views {

// Offers suggestedName (reduced to a plain file name) in folder; true when the file was saved.
bool saveAttachment(QWidget* parent, const QString& folder, const QString& suggestedName, const QByteArray& bytes);

struct AttachmentFile {
  QString name;  // as the message names it
  QByteArray bytes;
};

// Asks for a folder and writes every attachment into it under its plain file name (made unique:
// nothing there is replaced); one box names how many failed, with the first reason. The number
// written.
int saveAllAttachments(QWidget* parent, const QString& folder, const std::vector<AttachmentFile>& attachments);

// Writes bytes to path, replacing it only by a complete file; the error text when it could not.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace vireo::views
