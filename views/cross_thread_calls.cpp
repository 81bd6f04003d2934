#include "views/cross_thread_calls.h"

#include <QMetaObject>

namespace vireo::views {

CrossThreadCalls::~CrossThreadCalls() {
  std::deque<std::function<void()>> dropped;  // released after the lock, whatever they hold
  std::lock_guard lock(mutex_);
  dropped.swap(pending_);
}

void CrossThreadCalls::post(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(call));
  }
  QMetaObject::invokeMethod(this, "runPending", Qt::QueuedConnection);
}

void CrossThreadCalls::runPending() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return;
      call = std::move(pending_.front());
      pending_.pop_front();
    }
    call();
  }
}

}  // namespace vireo::views
