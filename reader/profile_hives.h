#pragma once
// Windows profiles on mounted disks: "<mount>/Documents and Settings/<name>/NTUSER.DAT" and
// "<mount>/Users/<name>/NTUSER.DAT" (any letter case), each a key below HKEY_USERS whose paths
// resolve inside that profile and that disk.
#include <string>
#include <vector>

#include "reader/registry_sources.h"

namespace vireo {

// At most this many profiles are read from one profile folder.
inline constexpr size_t kProfilesPerFolderLimit = 1000;

// Adds the readable profile hives found at the roots of the mount points, in their order, each
// profile folder's profiles sorted by name. Each is read through a copy in workingFolder
// (platform/hive_file.h); one that cannot be read is passed over.
void addProfileHives(const std::vector<std::string>& mountPoints, const std::string& workingFolder,
                     RegistrySources& sources);

// The paths of the profile whose hive root was read from <mount>/<parent>/<name>/NTUSER.DAT.
StorePaths profilePaths(const RegistryKey& root, const std::string& mountPoint, const std::string& parent,
                        const std::string& name);

}  // namespace vireo
