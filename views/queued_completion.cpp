#include "views/queued_completion.h"

#include <QMetaObject>
#include <future>
#include <memory>

namespace vireo::views {

CompletionSink queuedCompletionSink(QObject* receiver, std::function<void(int message)> handle) {
  return [receiver, handle = std::move(handle)](int message) {
    auto handled = std::make_shared<std::promise<void>>();
    std::future<void> future = handled->get_future();
    // If the call is dropped unrun, the promise dies with it and the future reports a broken
    // promise: ready all the same.
    QMetaObject::invokeMethod(
        receiver,
        [handle, message, handled] {
          handle(message);
          handled->set_value();
        },
        Qt::QueuedConnection);
    return future;
  };
}

}  // namespace vireo::views
