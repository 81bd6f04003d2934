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
  int written = 0;     // messages whose file is in place, including the two kinds below
  int keptBeside = 0;  // the name held another file: written beside it as "N (2).eml" ...
  int identical = 0;   // the name already held the same bytes and was left as it was
  int failed = 0;
  std::optional<FailureReason> firstFailure;
  bool stopped = false;  // keepGoing said no before every record was tried
};

struct BatchHooks {
  // Each failed record (its index in the table) with what went wrong.
  std::function<void(int recordIndex, const FailureReason& failure)> onFailure;
  // Asked before each record with the number tried so far; false stops the batch there.
  std::function<bool(int attempted)> keepGoing;
  // The file name (without folder) for a record, when not its number and the extension.
  std::function<std::string(int recordIndex)> fileName;
};

// The indexes of the records the message list shows (valid ones), in table order.
std::vector<int> validRecordIndexes(const MessageBaseReader& reader);

// Writes records[i] for every index given, as writeMessageFile names them ("<folder>/<number>.<ext>",
// or with "<prefix>_" unless prefix is -1). Nothing is replaced: a file of the same name with
// the same bytes is left as it is, one with other bytes is kept and the message written beside
// it as "<number> (2).<ext>" (then 3, ...); files for Vireo's own temp folder may ask to replace
// instead, as they are opened by the name asked for. Invalid records and indexes outside the table count as
// failures.
BatchOutcome writeMessageBatch(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                               const std::string& folder, const std::string& extension, int prefix,
                               const BatchHooks& hooks = {}, ExistingName existing = ExistingName::keepBoth);

// "<failed> of <total> messages were not written to <folder>.\n<the first reason>".
std::string describeBatchFailures(const BatchOutcome& outcome, int total, const std::string& folder);

// "<n> messages were written beside files of the same name in <folder>, as \"N (2).eml\"."
std::string describeKeptBeside(const BatchOutcome& outcome, const std::string& folder);

// "<n> kept beside files of the same name" and "<n> identical files left as they were" joined by
// ", ", or empty
// when neither happened.
std::string describeSameNames(const BatchOutcome& outcome);

}  // namespace vireo
