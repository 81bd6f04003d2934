#include "cli/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vireo::cli {
namespace {

constexpr char kInterrupt = 'i';
constexpr char kQuit = 'q';

volatile sig_atomic_t wakeFd = -1;

void onInterrupt(int) {
  const int saved = errno;
  const int fd = wakeFd;
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &kInterrupt, 1);
  }
  errno = saved;
}

}  // namespace

InterruptWatcher::InterruptWatcher(ManualResetEvent& stopEvent) : stopEvent_(stopEvent) {
  if (::pipe2(pipe_, O_CLOEXEC) != 0) return;
  // A full pipe must not block the handler; one byte is enough to tell.
  ::fcntl(pipe_[1], F_SETFL, O_NONBLOCK);
  watcher_ = std::thread([this] {
    char byte = 0;
    while (true) {
      const ssize_t got = ::read(pipe_[0], &byte, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || byte == kQuit) return;
      interrupted_.store(true);
      stopEvent_.set();
    }
  });
  wakeFd = pipe_[1];
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installedInt_ = ::sigaction(SIGINT, &action, &previousInt_) == 0;
  installedTerm_ = ::sigaction(SIGTERM, &action, &previousTerm_) == 0;
}

InterruptWatcher::~InterruptWatcher() {
  if (installedInt_) ::sigaction(SIGINT, &previousInt_, nullptr);
  if (installedTerm_) ::sigaction(SIGTERM, &previousTerm_, nullptr);
  wakeFd = -1;
  if (watcher_.joinable()) {
    while (::write(pipe_[1], &kQuit, 1) < 0 && errno == EINTR) {
    }
    watcher_.join();
  }
  for (int fd : pipe_)
    if (fd >= 0) ::close(fd);
}

}  // namespace vireo::cli
