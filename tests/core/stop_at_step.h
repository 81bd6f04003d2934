#pragma once
// Progress bars that request a stop at their n-th step or at a position, so a test stops an
// operation at a known point of its work.
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"

namespace vireo::testing {

class StopAtStep : public ProgressSink {
 public:
  StopAtStep(ManualResetEvent& stop, int step) : stop_(stop), step_(step) {}
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void setPos(uint32_t) override {}
  void stepIt() override {
    if (++steps_ == step_) stop_.set();
  }

 private:
  ManualResetEvent& stop_;
  int step_;
  int steps_ = 0;
};

// The same for operations that move the bar by positions: a stop once it reaches one.
class StopPastPosition : public ProgressSink {
 public:
  StopPastPosition(ManualResetEvent& stop, uint32_t position) : stop_(stop), position_(position) {}
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void setPos(uint32_t position) override {
    if (position >= position_) stop_.set();
  }
  void stepIt() override {}

 private:
  ManualResetEvent& stop_;
  uint32_t position_;
};

}  // namespace vireo::testing
