#include "cli/terminal_progress.h"

#include <algorithm>
#include <cstdio>

namespace vireo::cli {
namespace {
constexpr int kWidth = 40;
}

void TerminalProgress::setLabel(std::string label) {
  finish();
  label_ = std::move(label);
  maximum_ = position_ = 0;
}

void TerminalProgress::setRange(uint32_t maximum) {
  maximum_ = maximum;
  draw();
}

void TerminalProgress::stepIt() {
  position_ += static_cast<uint64_t>(std::max(step_, 0));
  draw();
}

void TerminalProgress::setPos(uint32_t position) {
  position_ = position;
  draw();
}

void TerminalProgress::draw() {
  const uint64_t done = maximum_ == 0 ? 0 : std::min(position_, maximum_);
  const int percent = maximum_ == 0 ? 0 : static_cast<int>(done * 100 / maximum_);
  if (percent == shown_) return;
  shown_ = percent;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kWidth - filled), ' ').c_str(), percent);
  std::fflush(stderr);
}

void TerminalProgress::finish() {
  if (shown_ < 0) return;
  std::fputs("\n", stderr);
  shown_ = -1;
}

}  // namespace vireo::cli
