#pragma once
// A manual-reset event: stays signalled until reset, wakes every waiter. The reading loops poll
// isSet() in hot paths, so it is one atomic load.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vireo {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool signalled = false) : signalled_(signalled) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void set();
  void reset();
  bool isSet() const { return signalled_.load(std::memory_order_acquire); }
  // True when the event is signalled within the time-out.
  bool wait(std::chrono::milliseconds timeout) const;

 private:
  std::atomic<bool> signalled_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
};

}  // namespace vireo
