#pragma once
// A progress bar on stderr, redrawn only when its percentage changes.
#include <cstdint>
#include <string>

#include "platform/progress_sink.h"

namespace vireo::cli {

class TerminalProgress final : public ProgressSink {
 public:
  explicit TerminalProgress(std::string label) : label_(std::move(label)) {}
  ~TerminalProgress() override { finish(); }

  void setLabel(std::string label);
  void setRange(uint32_t maximum) override;
  void setStep(int step) override { step_ = step; }
  void stepIt() override;
  void setPos(uint32_t position) override;
  void finish();  // ends the bar's line

 private:
  void draw();

  std::string label_;
  uint64_t maximum_ = 0;
  uint64_t position_ = 0;
  int step_ = 1;
  int shown_ = -1;
};

}  // namespace vireo::cli
