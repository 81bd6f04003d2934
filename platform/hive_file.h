#pragma once
// A Windows registry hive file (a profile's NTUSER.DAT), read through hivex. The file is opened
// read-only and never written.
//
// hivex maps the file it opens into memory, and a bad sector under a mapping raises SIGBUS, which
// ends the program. So the hive is read whole with read() into a copy in a working folder, where
// a bad sector is only a failed read, and hivex opens the copy. The copy is unlinked at once; the
// mapping keeps its pages until the last key goes.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry_key.h"

namespace vireo {

// Profile hives are a few MiB, seldom tens; a larger file is no hive worth a copy of its size.
inline constexpr uint64_t kHiveFileSizeLimit = 256ull << 20;

// The hive's root key; null when the file cannot be read whole (a read error, not a regular
// file, over kHiveFileSizeLimit), no copy can be made in workingFolder, or it is no hive. The keys
// handed out keep the copy open until the last of them goes.
std::unique_ptr<RegistryKey> openHiveFile(const std::string& path, const std::string& workingFolder);

}  // namespace vireo
