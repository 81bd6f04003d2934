#pragma once
// How one registry hive's "Store Root" texts become host folders: the environment variables
// they are expanded with and the host folder of each drive letter.
#include <optional>
#include <string>

#include "platform/environment_strings.h"
#include "platform/registry_key.h"
#include "platform/windows_path.h"

namespace vireo {

struct StorePaths {
  EnvironmentVariables variables;
  WindowsDriveMap drives;
  // The Windows folder whose subfolders are user profiles ("C:\users" in a Wine prefix), for
  // store folders named in another profile than the one on disk; empty: none.
  std::string profilesFolder;

  // The value with its variables expanded and one trailing separator removed.
  std::string windowsFolder(const std::string& storeRoot) const;
  // That folder on this machine; nothing when its drive has no host folder.
  std::optional<std::string> hostFolder(const std::string& storeRoot) const {
    return drives.hostPath(windowsFolder(storeRoot));
  }
  // Where the store at windowsPath (expanded) is on this machine: its host folder; or, when that
  // does not exist and the path lies in a profile of profilesFolder, the same path in the first
  // profile (by name) where it exists. A prefix copied from another machine, or Proton's
  // "steamuser", keeps the old user's name in its store paths. Nothing when the drive has no
  // host folder.
  std::optional<std::string> storeFolder(const std::string& windowsPath) const;
};

// Sets a variable from every value of the Environment key at path below root, each expanded with
// what is defined so far; nothing when the key is missing.
void addEnvironmentKey(const RegistryKey& root, std::string_view path, EnvironmentVariables& variables);

// The Shell Folders folder called name ("AppData", "Local AppData"), from "Shell Folders" as
// written, else "User Shell Folders" expanded; nothing when neither holds it.
std::optional<std::string> shellFolder(const RegistryKey& root, std::string_view name,
                                       const EnvironmentVariables& variables);

}  // namespace vireo
