#pragma once
#include <optional>
#include <string>

#include "platform/failure_reason.h"

namespace vireo {

// Copies a file, replacing the destination. The copy is written beside the destination under a
// temporary name and renamed into place, so a failed copy never leaves a partial file under the
// destination's name. The source is read through ReadOnlyFile (never written, not even its
// access time). Nothing on success; otherwise what failed, on which file, and why.
[[nodiscard]] std::optional<FailureReason> copyFile(const std::string& source, const std::string& destination);

}  // namespace vireo
