#include "views/source_window.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStringDecoder>

namespace vireo::views {
namespace {

// Most messages are ASCII or UTF-8; a message in an 8-bit charset still shows every byte.
QString textOf(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  return text;
}

}  // namespace

SourceWindow::SourceWindow(const QString& path, QWidget* parent) : QPlainTextEdit(parent) {
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QString name = QFileInfo(path).fileName();
  setWindowTitle(name);
  setAccessibleName(name);
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) setPlainText(textOf(file.readAll()));
  resize(760, 560);
}

SourceWindow* SourceWindow::showFile(const QString& path, QWidget* parent) {
  auto* window = new SourceWindow(path, parent);
  window->show();
  return window;
}

}  // namespace vireo::views
