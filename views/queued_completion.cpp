#include "views/queued_completion.h"

#include <future>
#include <memory>

#include "views/cross_thread_calls.h"

namespace vireo::views {

CompletionSink queuedCompletionSink(QObject* receiver, std::function<void(int message)> handle) {
  // A child of the receiver: it goes with it, and the calls still waiting go with it unrun.
  auto* calls = new CrossThreadCalls(receiver);
  return [calls, handle = std::move(handle)](int message) {
    auto handled = std::make_shared<std::promise<void>>();
    std::future<void> future = handled->get_future();
    // If the call is dropped unrun, the promise dies with it and the future reports a broken
    // promise: ready all the same.
    calls->post([handle, message, handled] {
      handle(message);
      handled->set_value();
    });
    return future;
  };
}

}  // namespace vireo::views
