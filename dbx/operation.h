#pragma once
// What a reading operation is given besides its file and its table, and how it ends. The
// operations know nothing of the reader that calls them: the caller shows the messages.
#include <cstdint>

#include "platform/failure_reason.h"
#include "platform/manual_reset_event.h"
#include "platform/progress_sink.h"

namespace vireo::dbx {

struct OperationControl {
  const ManualResetEvent* stopEvent = nullptr;  // polled without waiting
  ProgressSink* progress = nullptr;             // none when null

  bool stopRequested() const { return stopEvent && stopEvent->isSet(); }
  ProgressSink& bar() const { return progress ? *progress : NullProgress::instance(); }
};

struct OperationOutcome {
  enum class End {
    completed,
    stopped,        // a stop request: no message
    cannotOpen,     // the working file could not be opened
    badFormat,      // the file breaks the format where it cannot be skipped
    outOfMemory,
    internalError,  // a fault of this program, not of the file
  };
  End end = End::completed;
  FailureReason reason;    // what and where, for every end but completed and stopped
  uint64_t bytesRead = 0;     // everything the operation read from the file
  uint64_t bytesFetched = 0;  // what its system calls brought in for that (read-ahead included)

  bool ok() const { return end == End::completed; }
};

}  // namespace vireo::dbx
