#pragma once
// Saving an attachment of the previewed message: the user picks the file, and the bytes are
// written whole (a temporary file renamed into place), or a box names the file and the reason.
#include <QByteArray>
#include <QString>

class QWidget;

namespace vireo::views {

// Offers suggestedName (reduced to a plain file name) in folder; true when the file was saved.
bool saveAttachment(QWidget* parent, const QString& folder, const QString& suggestedName, const QByteArray& bytes);

// Writes bytes to path, replacing it only by a complete file; the error text when it could not.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace vireo::views
