#pragma once
// Messages of one base as one mbox file (mboxrd), the form Thunderbird, Evolution, KMail and
// mutt take in. The file is written through UserFileWriter: it appears under its name only
// whole, a stopped or failed export leaves nothing, and a file of the same name is kept (the
// new one goes beside it as "Inbox (2)").
#include <optional>
#include <string>
#include <vector>

#include "platform/failure_reason.h"
#include "platform/user_file_writer.h"
#include "reader/message_base_reader.h"
#include "reader/message_batch.h"

namespace vireo {

struct MboxOutcome {
  BatchOutcome messages;  // per message: a message that cannot be read is left out and counted
  // The mbox itself could not be written or placed; nothing was left.
  std::optional<FailureReason> fileFailure;
  PlacedFile placed;  // where the file went, when it was placed
  bool complete() const { return !fileFailure && !messages.stopped; }
};

// Writes records[i] for every index given, in that order, into destination. hooks work as in
// writeMessageBatch; a stop discards the whole file. Messages without a Date are dated by the
// base file's modification time in their "From " line.
MboxOutcome writeMboxFile(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                          const std::string& destination, const BatchHooks& hooks = {});

// "<folder>/<base name without .dbx>": the mbox of one base in a folder of mboxes, as a
// Thunderbird "Local Folders" directory names its folders.
std::string mboxNameForBase(const std::string& folder, const std::string& baseName);

}  // namespace vireo
