#include "platform/manual_reset_event.h"

namespace vireo {

void ManualResetEvent::set() {
  {
    std::lock_guard lock(mutex_);
    signalled_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
}

void ManualResetEvent::reset() {
  std::lock_guard lock(mutex_);
  signalled_.store(false, std::memory_order_release);
}

bool ManualResetEvent::wait(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return isSet(); });
}

}  // namespace vireo
