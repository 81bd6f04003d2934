#pragma once
// Calls posted from any thread to run on one object's thread. Qt's posted functors would do, but
// they travel through Qt's event queue, whose locks the thread sanitizer cannot see, so every
// capture read on arrival looks like a race. Here the calls wait in a queue under a std::mutex and
// the posted event carries nothing: what the poster wrote is read only after that lock.
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace vireo::views {

class CrossThreadCalls : public QObject {
  Q_OBJECT

 public:
  explicit CrossThreadCalls(QObject* parent = nullptr) : QObject(parent) {}
  // Calls still waiting are dropped unrun (their captures released) when the object goes.
  ~CrossThreadCalls() override;

  // Any thread. call runs on this object's thread, in the order posted.
  void post(std::function<void()> call);

 private:
  Q_INVOKABLE void runPending();

  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
};

}  // namespace vireo::views
