#include "shell/operation_status.h"

#include <QFile>
#include <QFontMetrics>
#include <QProgressBar>
#include <algorithm>

#include "reader/worker.h"
#include "views/progress_status_bar.h"

namespace vireo::shell {

namespace {
constexpr int kPaneWidth = 100;
}

QString operationStatusText(int operation, const std::string& baseName) {
  const char* doing = operation == kOperationRecover    ? kRecoveringText
                      : operation == kOperationCopyBase  ? kCopyingText
                      : operation == kOperationOpenImage ? kSearchingImageText
                                                         : kBrowsingText;
  return QStringLiteral("%1 %2:").arg(QString::fromUtf8(doing),
                                      QFile::decodeName(QByteArray::fromStdString(baseName)));
}

QString copyPhaseText(const std::string& baseName) {
  return QStringLiteral("%1 %2...").arg(QString::fromUtf8(kCopyingText),
                                        QFile::decodeName(QByteArray::fromStdString(baseName)));
}

QRect progressBarRect(const views::ProgressStatusBar& statusBar, const QString& text) {
  const QRect pane = statusBar.GetItemRect(0);
  const QFontMetrics metrics(statusBar.paneFont());
  const int h = metrics.height();
  const int e = h / 8;
  const int left = pane.left() + metrics.horizontalAdvance(text);
  const int right = pane.left() + pane.width();
  return QRect(left, pane.top() + e, std::max(0, right - left), std::max(0, h - 2 * e));
}

QProgressBar* showOperationStatus(views::ProgressStatusBar& statusBar, const QString& text) {
  const QRect place = progressBarRect(statusBar, text);
  statusBar.SetPaneInfo(0, command::kIndicatorKana, kPaneWidth);
  statusBar.clearMessage();
  statusBar.clearOutcome();
  statusBar.SetPaneText(0, text);
  auto* progress = new QProgressBar(&statusBar);
  progress->setObjectName(QStringLiteral("operationProgress"));
  progress->setAccessibleName(text);
  progress->setTextVisible(false);
  progress->setRange(0, 100);
  progress->setValue(0);
  progress->setGeometry(place);
  progress->show();
  statusBar.progressGap = statusBar.rect().width() - place.width();
  statusBar.progressShown = 1;
  statusBar.progressBar = progress;
  return progress;
}

void retitleOperationStatus(views::ProgressStatusBar& statusBar, QProgressBar* progress, const QString& text) {
  statusBar.SetPaneText(0, text);
  if (!progress) return;
  const QRect place = progressBarRect(statusBar, text);
  progress->setAccessibleName(text);
  progress->setGeometry(place);
  statusBar.progressGap = statusBar.rect().width() - place.width();
}

void endOperationStatus(views::ProgressStatusBar* statusBar, QProgressBar* progress) {
  if (statusBar) {
    statusBar->SetPaneInfo(0, 0, kPaneWidth);
    statusBar->SetPaneText(0, QString());
    if (progress) {
      statusBar->progressShown = 0;
      if (statusBar->progressBar == progress) statusBar->progressBar = nullptr;
    }
  }
  delete progress;
}

}  // namespace vireo::shell
