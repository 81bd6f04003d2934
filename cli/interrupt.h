#pragma once
// Ctrl-C (or a TERM) while an operation runs: the signal handler only writes a byte to a pipe; a
// watcher thread reads it and signals the stop event, which the reading operations poll. Writes
// stop between files or pieces, so the files being written are finished or their temporaries
// removed before the program ends.
#include <atomic>
#include <csignal>
#include <thread>

#include "platform/manual_reset_event.h"

namespace vireo::cli {

class InterruptWatcher {
 public:
  // Catches SIGINT and SIGTERM until destroyed; the previous dispositions are put back then.
  explicit InterruptWatcher(ManualResetEvent& stopEvent);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  bool interrupted() const { return interrupted_.load(); }

 private:
  ManualResetEvent& stopEvent_;
  std::atomic<bool> interrupted_{false};
  int pipe_[2] = {-1, -1};
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
  bool installedInt_ = false;
  bool installedTerm_ = false;
  std::thread watcher_;
};

}  // namespace vireo::cli
