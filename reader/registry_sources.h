#pragma once
// The registries that name Outlook Express store folders on this machine. HKEY_CURRENT_USER is
// the user.reg of the Wine prefix ($WINEPREFIX, else ~/.wine); HKEY_USERS holds that prefix's
// users again (.Default and the user's own keys, as Wine shows them) and the NTUSER.DAT of every
// Windows profile under "Documents and Settings" or "Users" at the root of a mounted local disk.
#include <memory>
#include <string>
#include <vector>

#include "platform/registry_key.h"
#include "reader/store_paths.h"

namespace vireo {

struct RegistryHive {
  std::string keyName;  // its key's name below HKEY_USERS; empty for HKEY_CURRENT_USER
  std::string origin;   // the files it was read from, for people: "Wine prefix /home/ann/.wine (user.reg)"
  std::unique_ptr<RegistryKey> root;
  StorePaths paths;

  // "HKEY_CURRENT_USER" or "HKEY_USERS\<keyName>".
  std::string rootName() const;
};

struct RegistrySources {
  std::vector<RegistryHive> currentUser;  // walked as HKEY_CURRENT_USER
  std::vector<RegistryHive> users;        // walked as the subkeys of HKEY_USERS, in this order
};

struct StoreSearchPlaces {
  std::string winePrefix;                // empty: no Wine prefix
  std::vector<std::string> mountPoints;  // where Windows profiles are looked for
  std::string workingFolder;             // where profile hives are copied to be read; none: not read

  // $WINEPREFIX (else ~/.wine) and the local disks of /proc/self/mounts.
  static StoreSearchPlaces forUser(std::string workingFolder);
};

// Hives that cannot be read are left out without a word.
RegistrySources findRegistrySources(const StoreSearchPlaces& places);

}  // namespace vireo
