#pragma once
// Vireo's own window for a message's source, when the desktop has no text editor: the file's
// bytes as text, read-only, in a fixed-pitch font, titled with the file's name.
#include <QPlainTextEdit>

namespace vireo::views {

class SourceWindow : public QPlainTextEdit {
  Q_OBJECT

 public:
  // A top-level window owned by parent (it closes with it) and deleted when closed.
  SourceWindow(const QString& path, QWidget* parent);

  // Opens a window on path and shows it.
  static SourceWindow* showFile(const QString& path, QWidget* parent);
};

}  // namespace vireo::views
