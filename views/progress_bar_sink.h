#pragma once
// The progress bar of a browse or recovery, as the reading operations see it. They call the four
// requests from the worker thread, tens of thousands of times a second; those only store numbers
// in atomics. A timer on the interface thread shows the latest numbers on the bar a few times a
// second, so the worker never waits for the window and never floods its event queue.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>

#include "platform/progress_sink.h"

class QProgressBar;

namespace vireo::views {

class ProgressBarSink final : public QObject, public ProgressSink {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kRefreshInterval{50};

  explicit ProgressBarSink(QObject* parent = nullptr);

  // Interface thread. Shows progress on bar from now on, starting as a new bar does: range 0 to
  // 100, step 10, position 0.
  void attach(QProgressBar* bar);
  // Interface thread. Stops showing; the bar is left as it is.
  void detach();
  // Interface thread: shows the latest numbers now (the timer calls it).
  void refresh();
  // Interface thread, from refresh: the operation began (true) or ended (false) copying the base
  // before reading it. The tree names the phase in the status bar.
  std::function<void(bool copying)> onCopyingChanged;

  // Any thread.
  void setRange(uint32_t maximum) override;
  void setStep(int step) override;
  void stepIt() override;  // past the end of the range the position starts over, as a bar's does
  void setPos(uint32_t position) override;
  void setCopying(bool copying) override;
  uint32_t maximum() const { return maximum_.load(std::memory_order_relaxed); }
  uint32_t position() const { return position_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> maximum_{100};
  std::atomic<uint32_t> position_{0};
  std::atomic<int> step_{10};
  std::atomic<bool> copying_{false};
  bool copyingShown_ = false;
  QPointer<QProgressBar> bar_;
  QTimer timer_;
};

}  // namespace vireo::views
