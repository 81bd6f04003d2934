#include "reader/message_batch.h"

#include "content/message_export.h"

namespace vireo {

std::vector<int> validRecordIndexes(const MessageBaseReader& reader) {
  std::vector<int> indexes;
  indexes.reserve(static_cast<size_t>(reader.validCount));
  for (int i = 0; i < reader.count(); ++i)
    if (!reader.row(i).invalid) indexes.push_back(i);
  return indexes;
}

BatchOutcome writeMessageBatch(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                               const std::string& folder, const std::string& extension, int prefix,
                               const BatchHooks& hooks, ExistingName existing) {
  BatchOutcome outcome;
  // One writer for the batch: it keeps the working file open between messages.
  MessageFileWriter writer(reader.workingPath);
  for (const int index : recordIndexes) {
    if (hooks.keepGoing && !hooks.keepGoing(outcome.attempted)) {
      outcome.stopped = true;
      break;
    }
    ++outcome.attempted;
    std::optional<FailureReason> failure;
    PlacedFile placed;
    if (index < 0 || index >= reader.count() || reader.row(index).invalid)
      failure = FailureReason{"no message " + std::to_string(index) + " in the table", {}, {}, {}};
    else
      failure = writer.write(reader, index,
                             hooks.fileName ? folder + "/" + hooks.fileName(index)
                                            : messageFileName(folder, reader.row(index).number, extension, prefix),
                             &placed, existing);
    if (!failure) {
      ++outcome.written;
      if (placed.placement == Placement::keptBeside) ++outcome.keptBeside;
      if (placed.placement == Placement::identical) ++outcome.identical;
      continue;
    }
    ++outcome.failed;
    if (!outcome.firstFailure) outcome.firstFailure = failure;
    if (hooks.onFailure) hooks.onFailure(index, *failure);
  }
  return outcome;
}

std::string describeBatchFailures(const BatchOutcome& outcome, int total, const std::string& folder) {
  std::string text = std::to_string(outcome.failed) + " of " + std::to_string(total) +
                     " messages were not written to " + folder + ".";
  if (outcome.firstFailure) text += "\n" + describeFailure(*outcome.firstFailure);
  return text;
}

std::string describeKeptBeside(const BatchOutcome& outcome, const std::string& folder) {
  return std::to_string(outcome.keptBeside) + " messages were written beside files of the same name in " + folder +
         ", as \"N (2).eml\".";
}

std::string describeSameNames(const BatchOutcome& outcome) {
  std::string text;
  if (outcome.keptBeside > 0) text = std::to_string(outcome.keptBeside) + " kept beside files of the same name";
  if (outcome.identical > 0)
    text += (text.empty() ? "" : ", ") + std::to_string(outcome.identical) + " identical files left as they were";
  return text;
}

}  // namespace vireo
