#pragma once
// A progress bar that requests a stop at its n-th step, so a test stops an operation at a
// known point of its work.
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

}  // namespace vireo::testing
