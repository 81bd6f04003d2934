#pragma once
// What status pane 0 shows while a browse, recovery or copy of a base runs: the text "Browsing of Inbox.dbx:" (or
// "Recovering of ...") and a progress bar placed right after it, up to the pane's right edge.
#include <QRect>
#include <QString>
#include <string>

class QProgressBar;

namespace vireo::views {
class ProgressStatusBar;
}

namespace vireo::shell {

inline constexpr const char* kBrowsingText = "Browsing of";
inline constexpr const char* kRecoveringText = "Recovering of";
inline constexpr const char* kCopyingText = "Copying";
inline constexpr const char* kSearchingImageText = "Searching";

// "%s %s:" with "Browsing of" (operation 1), "Recovering of" (2), "Copying" (5) or "Searching" (6,
// with the disk image's file name) and the base's file name.
QString operationStatusText(int operation, const std::string& baseName);

// The bar's rectangle: from the end of the text, measured in the pane's font from the pane's
// top-left corner, to the pane's right edge; top and bottom inset by an eighth of the text height.
QRect progressBarRect(const views::ProgressStatusBar& statusBar, const QString& text);

// Gives pane 0 the operation's id and text (a fly-by prompt and the last outcome go), and places a new progress bar, a child of the status
// bar, in that rectangle; fills the status bar's progress members. Returns the bar.
QProgressBar* showOperationStatus(views::ProgressStatusBar& statusBar, const QString& text);

// "Copying Inbox.dbx..." while a browse or recovery copies the base first.
QString copyPhaseText(const std::string& baseName);

// Gives pane 0 another text for the operation under way and moves the bar to follow it.
void retitleOperationStatus(views::ProgressStatusBar& statusBar, QProgressBar* progress, const QString& text);

// Pane 0 back to id 0 and no text. With a progress bar: the status bar forgets it, and it is destroyed.
void endOperationStatus(views::ProgressStatusBar* statusBar, QProgressBar* progress);

}  // namespace vireo::shell
