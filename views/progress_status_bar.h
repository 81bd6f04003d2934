#pragma once
// The status bar of the main window: one message pane (pane 0) that shows the idle text (the
// last operation's outcome), the commands' fly-by prompts (only while no operation runs) and an
// operation's text, and, while a browse or recovery runs, a progress bar that the tree places
// beside that text. The frame keeps the bar fitted on resize.
#include <QFont>
#include <QRect>
#include <QStatusBar>
#include <QString>

class QLabel;
class QProgressBar;

namespace vireo::views {

class ProgressStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit ProgressStatusBar(QWidget* parent = nullptr);

  // Pane 0's text; an empty text shows the idle text: the last operation's outcome, else "For
  // Help, press F1".
  void SetPaneText(int pane, const QString& text);
  // How the last operation ended ("Inbox.dbx: 13 messages browsed"), shown as the idle text until
  // the next action clears it.
  void showOutcome(const QString& text);
  void clearOutcome() { showOutcome(QString()); }
  QString outcome() const { return outcome_; }
  QString paneText(int pane) const;
  // Pane 0's id (0, or command::kIndicatorKana during an operation) and width. The message pane
  // stretches over the whole bar, so the width is not used.
  void SetPaneInfo(int pane, int id, int width);
  int paneId(int pane) const;
  // Pane 0's rectangle in the status bar's coordinates, and the font its text is drawn in.
  QRect GetItemRect(int pane) const;
  QFont paneFont() const;

  // Width = client width - progressGap, height = client height * 3 / 4, position kept.
  void fitProgressBar();

  // What the message pane shows now: a command's fly-by prompt, else the pane's text, else the
  // idle text.
  QString displayedText() const;

  int progressShown = 0;
  QProgressBar* progressBar = nullptr;
  int progressGap = 0;

 private:
  QLabel* pane_ = nullptr;
  int paneId_ = 0;
  QString text_;
  QString outcome_;
};

// The frame publishes its status bar when it is created, so the tree and the document can reach it.
void publishStatusBar(ProgressStatusBar* bar);
ProgressStatusBar* publishedStatusBar();
// The published bar's showOutcome; nothing when there is none (a pane tested alone).
void publishOutcome(const QString& text);

}  // namespace vireo::views
