#pragma once
// Vireo's own window for a message's source: the file's path, a find field and the file's bytes
// as text, read-only, in a fixed-pitch font. It needs nothing from the desktop; the desktop's
// text editor is one button away, and when none starts a box says so.
#include <QWidget>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vireo::views {

inline constexpr char kOpenWithEditorText[] = "Open with the desktop's editor";

class SourceWindow : public QWidget {
  Q_OBJECT

 public:
  // A top-level window owned by parent (it closes with it) and deleted when closed; path is the
  // file's name as bytes.
  SourceWindow(const std::string& path, QWidget* parent);

  // Opens a window on path and shows it.
  static SourceWindow* showFile(const std::string& path, QWidget* parent);

  QPlainTextEdit* text() const { return text_; }
  QLineEdit* findField() const { return find_; }
  QLabel* pathLabel() const { return pathLabel_; }
  QPushButton* editorButton() const { return editorButton_; }

  // Selects the next match of the find field's text after the selection (before it when
  // backwards), wrapping at the end; false when the text holds none.
  bool findNext(bool backwards = false);
  // Starts the desktop's text editor on the file; a box tells when none could be started.
  void openWithEditor();

 private:
  std::string path_;
  QLabel* pathLabel_ = nullptr;
  QLineEdit* find_ = nullptr;
  QLabel* findStatus_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* editorButton_ = nullptr;
};

}  // namespace vireo::views
