#pragma once
// Writes messages of one base as files with a progress bar, and says once at the end how many
// could not be written, where and why: a user told nothing would believe every one was saved.
#include <string>
#include <vector>

#include "reader/message_batch.h"

class QWidget;

namespace vireo::views {

// failedRecords, when given, receives the indexes of the records that were not written. Files of
// the same name are kept (writeMessageBatch), and the box at the end says how many messages went
// beside them; existing replace is for Vireo's own temp folder only.
BatchOutcome saveMessageFiles(const MessageBaseReader& reader, const std::vector<int>& recordIndexes,
                              const std::string& folder, int prefix, QWidget* parent,
                              std::vector<int>* failedRecords = nullptr,
                              ExistingName existing = ExistingName::keepBoth);

}  // namespace vireo::views
