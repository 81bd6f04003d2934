#include "views/mailbox_saving.h"

#include <QFile>

#include "reader/image_open.h"
#include "reader/maildir_export.h"
#include "reader/mbox_export.h"
#include "reader/outcome_text.h"
#include "views/command_table.h"
#include "views/destination_prompt.h"
#include "views/modal.h"
#include "views/progress_status_bar.h"
#include "views/save_messages_dialog.h"
#include "views/save_progress.h"
#include "views/vireo_doc.h"

namespace vireo::views {
namespace {

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString formName(MailboxForm form) { return form == MailboxForm::mbox ? QStringLiteral("mbox") : QStringLiteral("Maildir"); }

// Asks for the folder the mailbox goes into; false after Cancel.
bool askMailboxFolder(CVireoDoc& doc, MailboxForm form, const QString& what, QWidget* parent) {
  SaveMessagesDialog dialog(parent);
  dialog.title = QStringLiteral("Save messages as %1").arg(formName(form));
  dialog.description = what;
  return askDestination(dialog, doc.exportFolder, "Cannot create path", parent);
}

}  // namespace

std::string saveMailbox(const MessageBaseReader& reader, const std::vector<int>& recordIndexes, MailboxForm form,
                        const std::string& folder, QWidget* parent) {
  const std::string destination = mboxNameForBase(folder, baseFileNameForUser(reader));
  const int total = static_cast<int>(recordIndexes.size());
  SaveProgress progress(total, parent);
  BatchHooks hooks;
  hooks.keepGoing = [&progress](int done) { return progress.keepGoing(done); };
  std::string text;
  if (form == MailboxForm::mbox) {
    const MboxOutcome outcome = writeMboxFile(reader, recordIndexes, destination, hooks);
    // A stopped or failed mbox leaves no file at all, whatever was written into it.
    if (outcome.messages.stopped) {
      publishOutcome(QStringLiteral("Save stopped: nothing written"));
      return {};  // the user cancelled: no box
    }
    if (outcome.fileFailure) {
      publishOutcome(QStringLiteral("Save failed: nothing written"));
      return destination + " was not written.\n" + describeFailure(*outcome.fileFailure);
    }
    publishOutcome(pathText(saveOutcomeText(outcome.messages, total, outcome.placed.path)));
    if (outcome.messages.failed > 0) text = describeBatchFailures(outcome.messages, total, outcome.placed.path);
    if (outcome.placed.placement == Placement::keptBeside)
      text += (text.empty() ? "" : "\n") + std::string("A file of that name was kept: the messages were written to ") +
              outcome.placed.path + ".";
  } else {
    const BatchOutcome outcome = writeMaildir(reader, recordIndexes, destination, hooks);
    publishOutcome(pathText(saveOutcomeText(outcome, total, destination)));
    if (outcome.failed > 0) text = describeBatchFailures(outcome, total, destination);
  }
  return text;
}

void saveBaseAsMailbox(CVireoDoc& doc, MailboxForm form, QWidget* parent) {
  if (!doc.isBase(doc.currentReader)) return;
  const int readerIndex = doc.currentReader;
  const MessageBaseReader& reader = doc.readers[static_cast<size_t>(readerIndex)];
  if (reader.count() == 0) return;
  if (!askMailboxFolder(doc, form, QStringLiteral("Save all messages from \"%1\"").arg(pathText(baseFileNameForUser(reader))), parent))
    return;
  // An operation started on this base while the dialog was open now owns its table.
  if (doc.operationRunning && doc.operationReader == readerIndex) return;
  const std::vector<int> records =
      form == MailboxForm::maildir ? maildirRecordIndexes(reader, false) : validRecordIndexes(reader);
  const std::string text = saveMailbox(reader, records, form, doc.exportFolder, parent);
  if (!text.empty()) showModalMessage(parent, pathText(text));
}

void saveSelectedAsMailbox(CVireoDoc& doc, MailboxForm form, int selectedCount, const SelectedRecords& selection,
                           QWidget* parent) {
  const int commandId = form == MailboxForm::mbox ? command::kSaveSelectedMbox : command::kSaveSelectedMaildir;
  if (!selectedMessageCommandAllowed(doc, commandId, selectedCount)) return;
  const int readerIndex = doc.currentReader;
  const MessageBaseReader& reader = doc.readers[static_cast<size_t>(readerIndex)];
  const QString what = selectedCount == 1
                           ? QStringLiteral("Save selected message from \"%1\"").arg(pathText(baseFileNameForUser(reader)))
                           : QStringLiteral("Save %1 selected messages from \"%2\"").arg(selectedCount).arg(pathText(baseFileNameForUser(reader)));
  if (!askMailboxFolder(doc, form, what, parent)) return;
  // While the dialog was open a completed operation may have refreshed the list.
  if (doc.currentReader != readerIndex || !selectedMessageCommandAllowed(doc, commandId, 1)) return;
  std::vector<int> records = selection();
  if (records.empty()) return;
  const std::string text = saveMailbox(reader, records, form, doc.exportFolder, parent);
  if (!text.empty()) showModalMessage(parent, pathText(text));
}

}  // namespace vireo::views
