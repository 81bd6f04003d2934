#pragma once
// The mounted local disk file systems: where a Windows disk (or the system's own) can be found.
#include <string>
#include <string_view>
#include <vector>

namespace vireo {

// Whether a file system type (the third field of /proc/self/mounts) is a local disk's.
bool isLocalDiskFileSystem(std::string_view type);

// The mount points of the local disk file systems in a mounts table's text, in listed order,
// each once; pseudo, memory, overlay and network file systems are left out.
std::vector<std::string> localDiskMountPoints(std::string_view mountsText);
// The same for /proc/self/mounts; empty when it cannot be read.
std::vector<std::string> localDiskMountPoints();

}  // namespace vireo
