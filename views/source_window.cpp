#include "views/source_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStringDecoder>
#include <QTextCursor>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>

#include "views/modal.h"
#include "views/path_text.h"
#include "views/text_editor.h"

namespace vireo::views {
namespace {

// Most messages are ASCII or UTF-8; a message in an 8-bit charset still shows every byte.
QString textOf(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  return text;
}

QByteArray fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return QByteArray::fromStdString(bytes);
}

QString fileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return pathText(slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

SourceWindow::SourceWindow(const std::string& path, QWidget* parent) : QWidget(parent), path_(path) {
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  const QString name = fileNameOf(path);
  setWindowTitle(name);
  setAccessibleName(name);

  pathLabel_ = new QLabel(pathText(path), this);
  pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pathLabel_->setAccessibleName(QStringLiteral("File"));
  editorButton_ = new QPushButton(QString::fromUtf8(kOpenWithEditorText), this);
  connect(editorButton_, &QPushButton::clicked, this, &SourceWindow::openWithEditor);

  find_ = new QLineEdit(this);
  find_->setPlaceholderText(QStringLiteral("Find"));
  find_->setAccessibleName(QStringLiteral("Find"));
  find_->setClearButtonEnabled(true);
  findStatus_ = new QLabel(this);
  connect(find_, &QLineEdit::returnPressed, this, [this] { findNext(false); });
  connect(find_, &QLineEdit::textEdited, this, [this] {
    // Typing looks again from the start of the current match, so the match grows in place.
    QTextCursor cursor = text_->textCursor();
    cursor.setPosition(cursor.selectionStart());
    text_->setTextCursor(cursor);
    findNext(false);
  });
  auto* findShortcut = new QShortcut(QKeySequence::Find, this);
  connect(findShortcut, &QShortcut::activated, this, [this] {
    find_->setFocus(Qt::ShortcutFocusReason);
    find_->selectAll();
  });
  auto* nextShortcut = new QShortcut(QKeySequence::FindNext, this);
  connect(nextShortcut, &QShortcut::activated, this, [this] { findNext(false); });
  auto* previousShortcut = new QShortcut(QKeySequence::FindPrevious, this);
  connect(previousShortcut, &QShortcut::activated, this, [this] { findNext(true); });

  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setAccessibleName(QStringLiteral("Source"));
  text_->setPlainText(textOf(fileBytes(path)));

  auto* top = new QHBoxLayout;
  top->addWidget(pathLabel_, 1);
  top->addWidget(editorButton_);
  auto* findRow = new QHBoxLayout;
  findRow->addWidget(find_, 1);
  findRow->addWidget(findStatus_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(findRow);
  layout->addWidget(text_, 1);
  resize(760, 560);
}

SourceWindow* SourceWindow::showFile(const std::string& path, QWidget* parent) {
  auto* window = new SourceWindow(path, parent);
  window->show();
  return window;
}

bool SourceWindow::findNext(bool backwards) {
  const QString needle = find_->text();
  findStatus_->clear();
  if (needle.isEmpty()) return false;
  const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  if (text_->find(needle, flags)) return true;
  // Wrap around once.
  QTextCursor cursor = text_->textCursor();
  cursor.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
  text_->setTextCursor(cursor);
  if (text_->find(needle, flags)) return true;
  findStatus_->setText(QStringLiteral("Not found"));
  return false;
}

void SourceWindow::openWithEditor() {
  const QString file = pathText(path_);
  if (startTextEditor(file)) return;
  showModalMessage(this, QStringLiteral("No text editor could be started for\n%1\nThe desktop has no program set for "
                                        "plain text (text/plain), or it could not be started.")
                             .arg(file));
}

}  // namespace vireo::views
