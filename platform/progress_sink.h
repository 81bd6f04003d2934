#pragma once
// The four requests a progress bar takes. The window's status bar, the CLI's terminal bar and the
// tests implement it; the reading operations only ever call these.
#include <cstdint>

namespace vireo {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void setRange(uint32_t maximum) = 0;  // range 0 .. maximum
  virtual void setStep(int step) = 0;
  virtual void stepIt() = 0;
  virtual void setPos(uint32_t position) = 0;
  // True while the operation copies the base before reading it (the "copy before" options),
  // false when the reading starts. A bar that names its phase says so; others ignore it.
  virtual void setCopying(bool /*copying*/) {}
};

class NullProgress final : public ProgressSink {
 public:
  void setRange(uint32_t) override {}
  void setStep(int) override {}
  void stepIt() override {}
  void setPos(uint32_t) override {}
  static NullProgress& instance();
};

}  // namespace vireo
