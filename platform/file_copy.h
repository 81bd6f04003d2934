#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure_reason.h"
#include "platform/user_file_writer.h"

namespace vireo {

// The failure's "what" when progress asked the copy to stop.
inline constexpr std::string_view kCopyStopped = "copy stopped";

struct CopyOptions {
  // The user's copies keep both files when the name is taken; a working copy replaces.
  ExistingName existing = ExistingName::keepBoth;
  // Called after each piece with the bytes copied so far and the source's size; false stops the
  // copy, which then fails with kCopyStopped and leaves nothing behind.
  std::function<bool(uint64_t copied, uint64_t total)> progress;
};

// Copies a file through UserFileWriter: a temporary beside the destination, flushed to the disk
// and renamed into place, so neither a failure nor a killed process leaves a partial file under
// the destination's name; a taken name is treated as options.existing says. The source is read
// through ReadOnlyFile (never written, not even its access time). Nothing on success (placed,
// when given, then says the final name and how it was placed); otherwise what failed, on which
// file, and why.
[[nodiscard]] std::optional<FailureReason> copyFile(const std::string& source, const std::string& destination,
                                                    const CopyOptions& options = {}, PlacedFile* placed = nullptr);

}  // namespace vireo
