#include "views/save_progress.h"

#include <QCoreApplication>

namespace vireo::views {
namespace {

constexpr int kShowAfterMs = 500;
constexpr qint64 kEventsEveryMs = 30;

SaveProgress::Observer& observerSlot() {
  static SaveProgress::Observer observer;
  return observer;
}

}  // namespace

SaveProgress::SaveProgress(int total, QWidget* parent)
    : dialog_(QStringLiteral("Saving messages..."), QStringLiteral("Cancel"), 0, total, parent) {
  dialog_.setWindowTitle(QStringLiteral("Vireo for Outlook Express"));
  dialog_.setWindowModality(Qt::WindowModal);
  dialog_.setMinimumDuration(kShowAfterMs);
  dialog_.setAutoReset(false);
  dialog_.setAutoClose(false);
  dialog_.setValue(0);
  sinceEvents_.start();
}

bool SaveProgress::keepGoing(int done) {
  if (const Observer& observer = observerSlot()) observer(*this, done);
  if (sinceEvents_.elapsed() >= kEventsEveryMs) {
    sinceEvents_.restart();
    dialog_.setValue(done);  // shows the bar when the save looks long; processes events once it is up
    // Until then the window repaints and timers run, but no click reaches it mid-save.
    if (!dialog_.isVisible()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return !dialog_.wasCanceled();
}

SaveProgress::Observer SaveProgress::setObserver(Observer observer) {
  Observer previous = std::move(observerSlot());
  observerSlot() = std::move(observer);
  return previous;
}

}  // namespace vireo::views
