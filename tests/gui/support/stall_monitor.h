#pragma once
// Measures how long the interface thread goes without running its event loop: a short timer
// records the longest gap between its ticks while the monitor lives and runs.
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace vireo::guitest {

class StallMonitor {
 public:
  explicit StallMonitor(int tickMs = 1) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(tickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
  }

  void start() {
    longestNs_ = 0;
    clock_.start();
    timer_.start();
  }
  void stop() {
    tick();
    timer_.stop();
  }
  // The longest gap between two ticks so far, in milliseconds.
  double longestMs() const { return static_cast<double>(longestNs_) / 1e6; }

 private:
  void tick() {
    longestNs_ = std::max(longestNs_, clock_.nsecsElapsed());
    clock_.restart();
  }

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longestNs_ = 0;
};

}  // namespace vireo::guitest
