#include "reader/profile_hives.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ascii_case.h"
#include "platform/hive_file.h"

namespace vireo {
namespace fs = std::filesystem;
namespace {

// The entries of folder whose names match name in any ASCII letter case, sorted.
std::vector<std::string> entriesNamed(const fs::path& folder, std::string_view name) {
  std::vector<std::string> found;
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    std::string entry = entries->path().filename().string();
    if (equalsIgnoringAsciiCase(entry, name)) found.push_back(std::move(entry));
  }
  std::sort(found.begin(), found.end());
  return found;
}

// A profile's folders are its own subfolders; links among them (Vista's "All Users" and
// "Default User") lead elsewhere and are not followed.
std::vector<std::string> profileFolders(const fs::path& parent) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator entries(parent, error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    std::error_code typeError;
    if (entries->is_symlink(typeError) || !entries->is_directory(typeError)) continue;
    names.push_back(entries->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  if (names.size() > kProfilesPerFolderLimit) names.resize(kProfilesPerFolderLimit);
  return names;
}

// The letter the profile's own system drive had: the one its Shell Folders name, else C.
char systemDriveLetter(const RegistryKey& root) {
  for (const char* name : {"AppData", "Local AppData", "Personal", "Desktop"}) {
    const auto folder = valueText(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name);
    if (folder)
      if (const auto letter = windowsDriveLetter(*folder)) return *letter;
  }
  return 'C';
}

// The first of the candidate Windows folders that exists on the disk; the last when none does.
std::string existingFolder(const StorePaths& paths, std::initializer_list<std::string> candidates) {
  std::string last;
  for (const std::string& candidate : candidates) {
    last = candidate;
    const auto host = paths.drives.hostPath(candidate);
    std::error_code error;
    if (host && fs::is_directory(*host, error)) return candidate;
  }
  return last;
}

}  // namespace

StorePaths profilePaths(const RegistryKey& root, const std::string& mountPoint, const std::string& parent,
                        const std::string& name) {
  StorePaths paths;
  const std::string drive = std::string(1, systemDriveLetter(root)) + ":";
  paths.drives.mapDrive(drive[0], mountPoint);
  const std::string profile = drive + "\\" + parent + "\\" + name;
  const bool oldLayout = equalsIgnoringAsciiCase(parent, "Documents and Settings");
  EnvironmentVariables& variables = paths.variables;
  variables.set("SystemDrive", drive);
  variables.set("SystemRoot", drive + "\\WINDOWS");
  variables.set("windir", drive + "\\WINDOWS");
  variables.set("ProgramFiles", drive + "\\Program Files");
  variables.set("CommonProgramFiles", drive + "\\Program Files\\Common Files");
  variables.set("ALLUSERSPROFILE", oldLayout ? drive + "\\Documents and Settings\\All Users" : drive + "\\ProgramData");
  if (!oldLayout) variables.set("ProgramData", drive + "\\ProgramData");
  variables.set("USERPROFILE", profile);
  variables.set("USERNAME", name);
  variables.set("HOMEDRIVE", drive);
  variables.set("HOMEPATH", "\\" + parent + "\\" + name);

  auto folder = [&](const char* shellName, std::initializer_list<std::string> candidates) {
    const std::optional<std::string> named = shellFolder(root, shellName, variables);
    if (named) {
      const auto host = paths.drives.hostPath(*named);
      std::error_code error;
      if (host && fs::is_directory(*host, error)) return *named;
    }
    return existingFolder(paths, candidates);
  };
  variables.set("APPDATA", folder("AppData", {profile + "\\AppData\\Roaming", profile + "\\Application Data"}));
  variables.set("LOCALAPPDATA", folder("Local AppData", {profile + "\\AppData\\Local",
                                                         profile + "\\Local Settings\\Application Data"}));
  addEnvironmentKey(root, "Environment", variables);
  return paths;
}

void addProfileHives(const std::vector<std::string>& mountPoints, const std::string& workingFolder,
                     RegistrySources& sources) {
  for (const std::string& mountPoint : mountPoints) {
    for (const char* parentName : {"Documents and Settings", "Users"}) {
      for (const std::string& parent : entriesNamed(mountPoint, parentName)) {
        const fs::path parentPath = fs::path(mountPoint) / parent;
        for (const std::string& name : profileFolders(parentPath)) {
          for (const std::string& file : entriesNamed(parentPath / name, "NTUSER.DAT")) {
            const fs::path hivePath = parentPath / name / file;
            std::error_code error;
            // A FIFO or device by that name would hang or flood the read.
            if (!fs::is_regular_file(fs::symlink_status(hivePath, error))) continue;
            std::unique_ptr<RegistryKey> root = openHiveFile(hivePath.string(), workingFolder);
            if (!root) continue;
            StorePaths paths = profilePaths(*root, mountPoint, parent, name);
            sources.users.push_back(RegistryHive{name, hivePath.string(), std::move(root), std::move(paths)});
          }
        }
      }
    }
  }
}

}  // namespace vireo
