#include "views/progress_status_bar.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <algorithm>

namespace vireo::views {
namespace {
QPointer<ProgressStatusBar> published;
const char* const kIdleText = "For Help, press F1";
}  // namespace

ProgressStatusBar::ProgressStatusBar(QWidget* parent) : QStatusBar(parent) {
  pane_ = new QLabel(QString::fromUtf8(kIdleText), this);
  pane_->setObjectName(QStringLiteral("messagePane"));
  pane_->setTextFormat(Qt::PlainText);
  addWidget(pane_, 1);
  setAccessibleName(QStringLiteral("Status bar"));
}

void ProgressStatusBar::SetPaneText(int /*pane*/, const QString& text) {
  text_ = text;
  if (!text.isEmpty()) pane_->setText(text);
  else pane_->setText(outcome_.isEmpty() ? QString::fromUtf8(kIdleText) : outcome_);
}

void ProgressStatusBar::showOutcome(const QString& text) {
  outcome_ = text;
  if (text_.isEmpty()) SetPaneText(0, QString());
}

QString ProgressStatusBar::paneText(int /*pane*/) const { return text_; }

void ProgressStatusBar::SetPaneInfo(int /*pane*/, int id, int /*width*/) { paneId_ = id; }

int ProgressStatusBar::paneId(int /*pane*/) const { return paneId_; }

QRect ProgressStatusBar::GetItemRect(int /*pane*/) const { return pane_->geometry(); }

QFont ProgressStatusBar::paneFont() const { return pane_->font(); }

void ProgressStatusBar::fitProgressBar() {
  if (!progressShown || !progressBar) return;
  const QRect client = rect();
  progressBar->resize(std::max(0, client.width() - progressGap), client.height() * 3 / 4);
  progressBar->show();
}

QString ProgressStatusBar::displayedText() const {
  const QString prompt = currentMessage();
  return prompt.isEmpty() ? pane_->text() : prompt;
}

void publishStatusBar(ProgressStatusBar* bar) { published = bar; }
ProgressStatusBar* publishedStatusBar() { return published.data(); }

void publishOutcome(const QString& text) {
  if (ProgressStatusBar* bar = published.data()) bar->showOutcome(text);
}

}  // namespace vireo::views
