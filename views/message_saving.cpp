#include "views/message_saving.h"

#include "views/modal.h"
#include "views/save_progress.h"

namespace vireo::views {

BatchOutcome saveMessageFiles(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                              const std::string& folder, int prefix, QWidget* parent,
                              std::vector<int>* failedRecords, ExistingName existing) {
  const int total = static_cast<int>(recordIndexes.size());
  BatchOutcome outcome;
  {
    SaveProgress progress(total, parent);
    BatchHooks hooks;
    hooks.keepGoing = [&progress](int done) { return progress.keepGoing(done); };
    if (failedRecords) hooks.onFailure = [failedRecords](int record, const FailureReason&) { failedRecords->push_back(record); };
    outcome = writeMessageBatch(reader, recordIndexes, folder, "eml", prefix, hooks, existing);
  }
  std::string text;
  if (outcome.failed > 0) text = describeBatchFailures(outcome, total, folder);
  if (outcome.keptBeside > 0) text += (text.empty() ? "" : "\n") + describeKeptBeside(outcome, folder);
  if (!text.empty()) showModalMessage(parent, QString::fromStdString(text));
  return outcome;
}

}  // namespace vireo::views
