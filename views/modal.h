#pragma once
// The window's modal boxes and dialogs, each passed through the modal seam
// (platform/modal_answer.h) first, so a test can answer them without a person.
#include <QString>

class QDialog;
class QWidget;

namespace vireo::views {

// The caption of every message box.
inline constexpr char kAppTitle[] = "Vireo for Outlook Express";

// A modal message box with the application title and an OK button; returns the button.
int showModalMessage(QWidget* parent, const QString& text);

// Runs the dialog modally, unless the seam answers for it (the answerer gets the QDialog* and
// may set its controls first); returns the dialog's result code.
int execModal(QDialog& dialog);

}  // namespace vireo::views
