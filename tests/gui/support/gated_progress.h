#pragma once
// Stands between the worker and the window's progress bar and holds the worker at its first step
// until released, so that a test's Stop lands mid-way however fast the machine reads.
#include <chrono>
#include <cstdint>

#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"

namespace vireo::guitest {

class GatedProgress final : public ProgressSink {
 public:
  explicit GatedProgress(ProgressSink* bar) : bar_(bar) {}
  void setRange(uint32_t maximum) override { bar_->setRange(maximum); }
  void setStep(int step) override { bar_->setStep(step); }
  void setPos(uint32_t position) override { bar_->setPos(position); }
  void setCopying(bool copying) override { bar_->setCopying(copying); }
  void stepIt() override {
    bar_->stepIt();
    if (!reached.isSet()) {
      reached.set();
      release.wait(std::chrono::seconds(60));
    }
  }
  ProgressSink* bar() const { return bar_; }

  ManualResetEvent reached;  // the worker is held at its first step
  ManualResetEvent release;

 private:
  ProgressSink* bar_;
};

}  // namespace vireo::guitest
