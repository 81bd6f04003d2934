#pragma once
// A Wine prefix's registry: user.reg as HKEY_CURRENT_USER and as the user's key below
// HKEY_USERS, userdef.reg as HKEY_USERS\.Default; paths resolved the way programs inside the
// prefix see them.
#include <string>

#include "reader/registry_sources.h"

namespace vireo {

// Adds the prefix's hives to sources; nothing when its user.reg cannot be read.
void addWinePrefixHives(const std::string& prefix, RegistrySources& sources);

// The prefix's drive letters: each dosdevices/<letter>: link (relative links taken from
// dosdevices), and drive_c for C: when no link names it.
WindowsDriveMap winePrefixDrives(const std::string& prefix);

}  // namespace vireo
