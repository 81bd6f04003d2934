#pragma once
// The worker's completion messages, carried to the interface thread. The sink posts each message
// to the receiver's thread and hands the worker a future that becomes ready once the handler has
// run there (or once the posted call is dropped because the receiver is gone), so the worker's
// bounded wait ends either way and the handler never races the worker.
#include <QObject>
#include <functional>

#include "reader/worker.h"

namespace vireo::views {

// handle runs on receiver's thread. The receiver must clear the document's completion sink before
// it is destroyed (the sink holds it by pointer).
CompletionSink queuedCompletionSink(QObject* receiver, std::function<void(int message)> handle);

}  // namespace vireo::views
