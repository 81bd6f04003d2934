#pragma once
// Writing many messages of one base as files: the loop that the window's save commands and the
// CLI's export share. Every message that can be written is, failures are counted and the first
// one kept, so the caller can say once what went wrong; a stop lands between files, so a stopped
// batch leaves only whole files.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure_reason.h"
#include "reader/message_base_reader.h"

namespace vireo {

struct BatchOutcome {
  int attempted = 0;  // records a write was tried for
  int written = 0;
  int failed = 0;
  std::optional<FailureReason> firstFailure;
  bool stopped = false;  // keepGoing said no before every record was tried
};

struct BatchHooks {
  // Each failed record (its index in the table) with what went wrong.
  std::function<void(int recordIndex, const FailureReason& failure)> onFailure;
  // Asked before each record with the number tried so far; false stops the batch there.
  std::function<bool(int attempted)> keepGoing;
};

// The indexes of the records the message list shows (valid ones), in table order.
std::vector<int> validRecordIndexes(const MessageBaseReader& reader);

// Writes records[i] for every index given, as writeMessageFile names them ("<folder>/<number>.<ext>",
// or with "<prefix>_" unless prefix is -1), replacing files of those names. Invalid records
// and indexes outside the table count as failures.
BatchOutcome writeMessageBatch(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                               const std::string& folder, const std::string& extension, int prefix,
                               const BatchHooks& hooks = {});

// "<failed> of <total> messages were not written to <folder>.\n<the first reason>".
std::string describeBatchFailures(const BatchOutcome& outcome, int total, const std::string& folder);

}  // namespace vireo
