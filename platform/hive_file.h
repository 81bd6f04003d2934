#pragma once
// A Windows registry hive file (a profile's NTUSER.DAT), read through hivex. The file is opened
// read-only and never written.
#include <memory>
#include <string>

#include "platform/registry_key.h"

namespace vireo {

// The hive's root key; null when the file cannot be opened or is no hive. The keys handed out
// keep the file open until the last of them goes.
std::unique_ptr<RegistryKey> openHiveFile(const std::string& path);

}  // namespace vireo
