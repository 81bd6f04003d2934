#include "views/progress_bar_sink.h"

#include <QProgressBar>
#include <algorithm>
#include <climits>

namespace vireo::views {

ProgressBarSink::ProgressBarSink(QObject* parent) : QObject(parent) {
  timer_.setInterval(kRefreshInterval);
  connect(&timer_, &QTimer::timeout, this, &ProgressBarSink::refresh);
}

void ProgressBarSink::attach(QProgressBar* bar) {
  maximum_.store(100, std::memory_order_relaxed);
  position_.store(0, std::memory_order_relaxed);
  step_.store(10, std::memory_order_relaxed);
  copying_.store(false, std::memory_order_relaxed);
  copyingShown_ = false;
  bar_ = bar;
  refresh();
  timer_.start();
}

void ProgressBarSink::detach() {
  timer_.stop();
  bar_ = nullptr;
}

void ProgressBarSink::refresh() {
  if (!bar_) return;
  if (const bool copying = copying_.load(std::memory_order_relaxed); copying != copyingShown_) {
    copyingShown_ = copying;
    if (onCopyingChanged) onCopyingChanged(copying);
    if (!bar_) return;
  }
  uint32_t maximum = maximum_.load(std::memory_order_relaxed);
  uint32_t position = std::min(position_.load(std::memory_order_relaxed), maximum);
  // QProgressBar counts in int; a range beyond it is shown scaled down.
  const uint32_t scale = maximum / static_cast<uint32_t>(INT_MAX) + 1;
  maximum /= scale;
  position /= scale;
  // A range of 0 .. 0 would make the bar a busy indicator.
  bar_->setRange(0, std::max<int>(1, static_cast<int>(maximum)));
  bar_->setValue(static_cast<int>(position));
}

void ProgressBarSink::setRange(uint32_t maximum) { maximum_.store(maximum, std::memory_order_relaxed); }

void ProgressBarSink::setStep(int step) { step_.store(step, std::memory_order_relaxed); }

void ProgressBarSink::stepIt() {
  const uint32_t maximum = maximum_.load(std::memory_order_relaxed);
  const int64_t next = int64_t{position_.load(std::memory_order_relaxed)} + step_.load(std::memory_order_relaxed);
  uint32_t stored = 0;
  if (maximum == 0) stored = 0;
  else if (next > int64_t{maximum}) stored = static_cast<uint32_t>(next % maximum);
  else if (next > 0) stored = static_cast<uint32_t>(next);
  position_.store(stored, std::memory_order_relaxed);
}

void ProgressBarSink::setPos(uint32_t position) { position_.store(position, std::memory_order_relaxed); }

void ProgressBarSink::setCopying(bool copying) { copying_.store(copying, std::memory_order_relaxed); }

}  // namespace vireo::views
