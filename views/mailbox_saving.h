#pragma once
// The window's mbox and Maildir saves: a base, or the selected messages, asked for a folder with
// the save dialog, then written as "<folder>/<base name without .dbx>", one mbox file or a
// Maildir folder (a whole base without its deleted messages; a selection as chosen, the deleted
// ones flagged trashed), with the save bar and its Cancel. One box at the
// end says what could not be written and where the mailbox went.
#include <string>
#include <vector>

#include "reader/message_base_reader.h"
#include "views/selected_message_commands.h"

class QWidget;

namespace vireo::views {

class CVireoDoc;

enum class MailboxForm { mbox, maildir };

// Writes the records of reader as a mailbox in folder; returns the text of the closing box, empty
// when everything was written under the name asked for.
std::string saveMailbox(const MessageBaseReader& reader, const std::vector<int>& recordIndexes, MailboxForm form,
                        const std::string& folder, QWidget* parent);

// "Save message base as mbox..." and "... as Maildir...": every listed message of the selected base.
void saveBaseAsMailbox(CVireoDoc& doc, MailboxForm form, QWidget* parent);
// "Save as mbox..." and "Save as Maildir...": the selected messages, in display order.
void saveSelectedAsMailbox(CVireoDoc& doc, MailboxForm form, int selectedCount, const SelectedRecords& selection,
                           QWidget* parent);

}  // namespace vireo::views
