#pragma once
// Recovery from a disk image: the bases found in it are each written as a file of Vireo's own
// (its pieces at their offsets, holes where nothing was found) in the run's working folder, and
// recovery runs on that file exactly as on a base the user named. The image is only read.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbx/operation.h"
#include "dbx/piece_vote.h"
#include "platform/failure_reason.h"
#include "reader/message_base_reader.h"

namespace vireo {

struct CarvedBase {
  dbx::FoundBase found;
  MessageBaseReader reader;  // its table: what recovery found in the base written from the image
};

struct ImageCarve {
  dbx::OperationOutcome outcome;                   // of the pass over the image
  std::vector<std::unique_ptr<CarvedBase>> bases;  // those in which something was recovered
};

// Writes base as a sparse file at path (a new file; an existing one is refused).
std::optional<FailureReason> writeFoundBase(const std::string& imagePath, const dbx::FoundBase& base,
                                            const std::string& path);

// Finds the bases of the image, writes base k as "<workingFolder>/carved-<k>.dbc" and recovers
// it. A stop ends it after the base under way; what was recovered until then stays.
ImageCarve carveImage(const std::string& imagePath, const std::string& workingFolder, ManualResetEvent* stopEvent,
                      ProgressSink* progress);

}  // namespace vireo
