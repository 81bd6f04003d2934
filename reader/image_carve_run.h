#pragma once
// Recovery from a disk image: each base found in it is read in place, as a file mapped onto its
// pieces of the image (holes where nothing was found read as zeros), and recovery runs on it
// exactly as on a base the user named. Nothing is copied out of the image, which is only read.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbx/operation.h"
#include "dbx/piece_vote.h"
#include "platform/failure_reason.h"
#include "platform/piece_mapped_file.h"
#include "reader/message_base_reader.h"

namespace vireo {

struct CarvedBase {
  dbx::FoundBase found;
  // The base's path in the working folder, mapped onto the image for as long as the reader
  // (declared after it, so gone first) may read messages from it.
  std::unique_ptr<PieceMappedFile> mapping;
  MessageBaseReader reader;  // its table: what recovery found in the base
};

struct ImageCarve {
  dbx::OperationOutcome outcome;                   // of the pass over the image
  std::vector<std::unique_ptr<CarvedBase>> bases;  // those in which something was recovered
};

// The map that reads base in place from the image: base offsets onto image offsets.
PieceMap pieceMapOf(const std::string& imagePath, const dbx::FoundBase& base);

// Writes base as a sparse file at path (a new file; an existing one is refused).
std::optional<FailureReason> writeFoundBase(const std::string& imagePath, const dbx::FoundBase& base,
                                            const std::string& path);

// Finds the bases of the image, maps base k as "<workingFolder>/carved-<k>.dbc" (no file is
// written there) and recovers it, a few bases side by side. A stop ends it after the bases under
// way; the bases recovered before the first one it cut short stay.
ImageCarve carveImage(const std::string& imagePath, const std::string& workingFolder, ManualResetEvent* stopEvent,
                      ProgressSink* progress);

}  // namespace vireo
