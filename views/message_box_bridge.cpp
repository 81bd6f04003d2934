#include "views/message_box_bridge.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>

#include "views/cross_thread_calls.h"
#include "views/modal.h"

namespace vireo::views {

struct MessageBoxBridge::State {
  std::atomic<bool> closing{false};
  QThread* interfaceThread = nullptr;
  QPointer<QWidget> owner;  // interface thread only
  std::mutex mutex;         // guards receiver against its deletion while a worker posts to it
  std::unique_ptr<CrossThreadCalls> receiver;
};

namespace {

// How often a waiting worker looks whether the document began closing.
constexpr std::chrono::milliseconds kClosingPoll{50};

void showOnInterfaceThread(MessageBoxBridge::State& state, const std::string& text) {
  showModalMessage(state.owner.data(), QString::fromStdString(text));
}

void deliver(const std::shared_ptr<MessageBoxBridge::State>& state, const std::string& text) {
  if (QThread::currentThread() == state->interfaceThread) {
    showOnInterfaceThread(*state, text);
    return;
  }
  if (state->closing) return;
  // The posted call owns the only promise: if it is discarded unrun, the future is released.
  auto answered = std::make_shared<std::promise<void>>();
  std::future<void> done = answered->get_future();
  {
    std::lock_guard lock(state->mutex);
    if (state->closing || !state->receiver) return;
    state->receiver->post([state, text, answered = std::move(answered)] {
      if (!state->closing) showOnInterfaceThread(*state, text);
      answered->set_value();
    });
  }
  while (done.wait_for(kClosingPoll) != std::future_status::ready)
    if (state->closing) return;
}

}  // namespace

MessageBoxBridge::MessageBoxBridge() : state_(std::make_shared<State>()) {
  state_->interfaceThread = QThread::currentThread();
  state_->receiver = std::make_unique<CrossThreadCalls>();
  previous_ = setMessageHandler([state = state_](const std::string& text) { deliver(state, text); });
}

MessageBoxBridge::~MessageBoxBridge() {
  setMessageHandler(std::move(previous_));
  beginClosing();
  std::unique_ptr<CrossThreadCalls> receiver;
  {
    std::lock_guard lock(state_->mutex);
    receiver = std::move(state_->receiver);
  }
}

void MessageBoxBridge::setOwner(QWidget* owner) { state_->owner = owner; }

void MessageBoxBridge::beginClosing() { state_->closing = true; }

bool MessageBoxBridge::closing() const { return state_->closing; }

}  // namespace vireo::views
