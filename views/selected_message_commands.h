#pragma once
// The message list's three commands on the selected messages: save them as .eml files into a
// chosen folder, open them in the desktop's mail program, show the current one's source. Each
// hands over the exact bytes the base stores.
#include <functional>
#include <vector>

class QWidget;

namespace vireo::views {

class CVireoDoc;

// The record indexes of the selected rows, top to bottom in display order, as they are when it
// is called.
using SelectedRecords = std::function<std::vector<int>()>;

// Whether the list may run commandId (32788, 32784 or 32783) with selectedCount rows selected:
// a base is selected, it has been read (not being filled) and holds messages, a row is
// selected, and for opening and viewing the current row is in the table.
bool selectedMessageCommandAllowed(const CVireoDoc& doc, int commandId, int selectedCount);

// 32788: asks for a folder, then writes each selected message as "<number>.eml" there.
void saveSelectedMessages(CVireoDoc& doc, int selectedCount, const SelectedRecords& selection, QWidget* parent);
// 32784: writes each as "<reader>_<number>.eml" in the temp folder and opens it with the
// desktop's handler for .eml files; one box names the files nothing opened, and why.
void openSelectedMessages(CVireoDoc& doc, const SelectedRecords& selection, QWidget* parent);
// 32783: writes the current row as "<number>.eml" in the temp folder and shows it in Vireo's
// source window.
void viewMessageSource(CVireoDoc& doc, QWidget* parent);

}  // namespace vireo::views
