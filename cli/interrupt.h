#pragma once
// Ctrl-C while an operation runs: the signal handler only writes a byte to a pipe; a watcher
// thread reads it and signals the stop event, which the reading operations poll.
#include <atomic>
#include <csignal>
#include <thread>

#include "platform/manual_reset_event.h"

namespace vireo::cli {

class InterruptWatcher {
 public:
  // Catches SIGINT until destroyed; the previous disposition is put back then.
  explicit InterruptWatcher(ManualResetEvent& stopEvent);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  bool interrupted() const { return interrupted_.load(); }

 private:
  ManualResetEvent& stopEvent_;
  std::atomic<bool> interrupted_{false};
  int pipe_[2] = {-1, -1};
  struct sigaction previous_ {};
  bool installed_ = false;
  std::thread watcher_;
};

}  // namespace vireo::cli
