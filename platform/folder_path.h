#pragma once
#include <string>

namespace vireo {

// The longest path createFolderPath accepts; longer ones are refused rather than cut.
inline constexpr size_t kMaxFolderPath = 259;

// Creates every missing folder along path (a trailing "/" is allowed). Returns 0 when path then
// names an existing folder, -1 otherwise (a file in the way, no permission, or a path over
// kMaxFolderPath characters). A backslash is an ordinary name character here: splitting at it
// would leave stray folders named after the part before it.
int createFolderPath(const std::string& path);

}  // namespace vireo

namespace vireo {

// Removes the regular files directly in folder whose names end with extension (".mht"); folders,
// links and files of other extensions stay. Returns how many were removed.
int removeFilesWithExtension(const std::string& folder, const std::string& extension);

}  // namespace vireo
