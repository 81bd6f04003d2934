#pragma once
#include <string>

namespace vireo {

// Copies a file, replacing the destination. The copy is written beside the destination under a
// temporary name and renamed into place, so a failed copy never leaves a partial file under the
// destination's name. The source is read through ReadOnlyFile (never written, not even its
// access time). On failure returns false and sets error to a sentence naming the file and reason.
bool copyFile(const std::string& source, const std::string& destination, std::string& error);

}  // namespace vireo
