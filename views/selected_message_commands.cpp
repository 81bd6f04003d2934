#include "views/selected_message_commands.h"

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <string>

#include "content/message_export.h"
#include "reader/image_open.h"
#include "reader/outcome_text.h"
#include "views/command_table.h"
#include "views/desktop_handoff.h"
#include "views/destination_prompt.h"
#include "views/message_saving.h"
#include "views/modal.h"
#include "views/progress_status_bar.h"
#include "views/save_messages_dialog.h"
#include "views/source_window.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

// A box naming many files names this many and counts the rest.
constexpr int kFilesNamed = 10;

MessageBaseReader* readerOf(CVireoDoc& doc) {
  return doc.isBase(doc.currentReader) ? &doc.readers[static_cast<size_t>(doc.currentReader)] : nullptr;
}

QString quoted(const std::string& text) { return QLatin1Char('"') + QString::fromStdString(text) + QLatin1Char('"'); }

QString saveDescription(int selectedCount, const std::string& baseName) {
  if (selectedCount == 1) return QStringLiteral("Save selected message from ") + quoted(baseName);
  return QStringLiteral("Save  %1 selected messages from ").arg(selectedCount) + quoted(baseName);
}

QString notOpenedText(const QStringList& paths) {
  QString text = QStringLiteral("No program could open these messages:");
  for (qsizetype i = 0; i < paths.size() && i < kFilesNamed; ++i) text += QLatin1Char('\n') + paths[i];
  if (paths.size() > kFilesNamed) text += QStringLiteral("\nand %1 more").arg(paths.size() - kFilesNamed);
  // The files stay written: the user can open them another way.
  text += (paths.size() == 1 ? QStringLiteral("\nThe message was written to that file. ")
                             : QStringLiteral("\nThe messages were written to those files. ")) +
          desktopOpenFailureReason();
  return text;
}

}  // namespace

bool selectedMessageCommandAllowed(const CVireoDoc& doc, int commandId, int selectedCount) {
  if (!doc.isBase(doc.currentReader) || selectedCount <= 0) return false;
  const MessageBaseReader& reader = doc.readers[static_cast<size_t>(doc.currentReader)];
  // A table the worker is still filling is not the interface's to read.
  if (reader.state == kStateNotRead || reader.count() == 0) return false;
  if (commandId == command::kSaveSelected || commandId == command::kSaveSelectedMbox ||
      commandId == command::kSaveSelectedMaildir)
    return true;
  if (commandId == command::kOpenInOe || commandId == command::kViewSource)
    return reader.currentRow >= 0 && reader.currentRow < reader.count();
  return false;
}

void saveSelectedMessages(CVireoDoc& doc, int selectedCount, const SelectedRecords& selection, QWidget* parent) {
  if (!selectedMessageCommandAllowed(doc, command::kSaveSelected, selectedCount)) return;
  const int readerIndex = doc.currentReader;
  SaveMessagesDialog dialog(parent);
  dialog.description = saveDescription(selectedCount, baseFileNameForUser(*readerOf(doc)));
  if (!askDestination(dialog, doc.exportFolder, "Cannot create path", parent)) return;
  // While the dialog was open a completed operation may have refreshed the list.
  std::vector<int> records;
  if (doc.currentReader == readerIndex && selectedMessageCommandAllowed(doc, command::kSaveSelected, 1))
    records = selection();
  if (records.size() > static_cast<size_t>(selectedCount)) records.resize(static_cast<size_t>(selectedCount));
  if (!records.empty()) {
    const BatchOutcome outcome = saveMessageFiles(*readerOf(doc), records, doc.exportFolder, -1, parent);
    publishOutcome(QFile::decodeName(
        QByteArray::fromStdString(saveOutcomeText(outcome, static_cast<int>(records.size()), doc.exportFolder))));
  }
  if (static_cast<int>(records.size()) < selectedCount)
    showModalMessage(parent, QStringLiteral("Only %1 messages were copied").arg(records.size()));
}

void openSelectedMessages(CVireoDoc& doc, const SelectedRecords& selection, QWidget* parent) {
  std::vector<int> records = selection();
  if (!selectedMessageCommandAllowed(doc, command::kOpenInOe, static_cast<int>(records.size()))) return;
  const MessageBaseReader& reader = *readerOf(doc);
  const int prefix = doc.currentReader;
  std::vector<int> notWritten;
  // Opened by the names asked for: the temp folder's files of those names are replaced.
  const BatchOutcome outcome =
      saveMessageFiles(reader, records, doc.tempFolder, prefix, parent, &notWritten, ExistingName::replace);
  records.resize(static_cast<size_t>(outcome.attempted));  // a cancel opens none of the rest
  QStringList notOpened;
  for (const int record : records) {
    // A file that could not be written has been reported already; an older one of its name is not opened.
    if (std::find(notWritten.begin(), notWritten.end(), record) != notWritten.end()) continue;
    const QString path =
        QString::fromStdString(messageFileName(doc.tempFolder, reader.row(record).number, "eml", prefix));
    if (!openWithDesktop(QUrl::fromLocalFile(path))) notOpened << path;
  }
  if (!notOpened.isEmpty()) showModalMessage(parent, notOpenedText(notOpened));
}

void viewMessageSource(CVireoDoc& doc, QWidget* parent) {
  if (!selectedMessageCommandAllowed(doc, command::kViewSource, 1)) return;
  const MessageBaseReader& reader = *readerOf(doc);
  const int record = reader.currentRow;
  // Opened by the name asked for: the temp folder's file of that name is replaced.
  if (saveMessageFiles(reader, {record}, doc.tempFolder, -1, parent, nullptr, ExistingName::replace).written != 1) return;
  // Vireo's own window first: it needs nothing from the desktop, and offers the desktop's editor.
  SourceWindow::showFile(messageFileName(doc.tempFolder, reader.row(record).number, "eml", -1), parent);
}

}  // namespace vireo::views
