#include "reader/wine_prefix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "platform/registry_tree.h"
#include "platform/wine_hive.h"

namespace vireo {
namespace fs = std::filesystem;
namespace {

// Wine's own name for the prefix's user when user.reg does not say.
constexpr const char* kWineUserKey = "S-1-5-21-0-0-0-1000";
constexpr const char* kProfileList = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct ParsedHive {
  std::shared_ptr<const RegistryNode> tree;
  std::string relativeTo;
  std::unique_ptr<RegistryKey> root() const { return tree ? treeRoot(tree) : nullptr; }
};

ParsedHive readHive(const fs::path& file) {
  std::optional<WineHive> hive = readWineHive(file.string());
  if (!hive) return {};
  return {hive->root, hive->relativeTo};
}

// Wine names the prefix's user after the login name.
std::string loginName() {
  if (const char* user = std::getenv("USER"); user && *user) return user;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name) return entry->pw_name;
  return "user";
}

std::string lastStep(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The variables a program inside the prefix sees: Wine's defaults, the machine's Environment key,
// the user's folders, then the user's own Environment keys.
EnvironmentVariables prefixVariables(const ParsedHive& system, const ParsedHive& user, const ParsedHive& userDefault,
                                     const std::string& userKey) {
  EnvironmentVariables variables;
  variables.set("SystemDrive", "C:");
  variables.set("SystemRoot", "C:\\windows");
  variables.set("windir", "C:\\windows");
  variables.set("ProgramFiles", "C:\\Program Files");
  variables.set("CommonProgramFiles", "C:\\Program Files\\Common Files");
  variables.set("ProgramData", "C:\\ProgramData");
  variables.set("ALLUSERSPROFILE", "C:\\ProgramData");
  variables.set("PUBLIC", "C:\\users\\Public");
  std::unique_ptr<RegistryKey> machine = system.root();
  if (machine) {
    for (const char* path : {"System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                             "System\\ControlSet001\\Control\\Session Manager\\Environment"})
      addEnvironmentKey(*machine, path, variables);
    if (auto folder = valueText(*machine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"))
      variables.set("ProgramFiles", expandEnvironmentStrings(*folder, variables));
  }

  // The profile: the machine's ProfileList for the user's key, else the profile Wine recorded in
  // the user's own hive (Proton's "steamuser", a prefix made by another login), else the login.
  std::unique_ptr<RegistryKey> own = user.root();
  std::optional<std::string> named;
  if (machine) named = valueText(*machine, std::string(kProfileList) + "\\" + userKey, "ProfileImagePath");
  if (!named && own) named = valueText(*own, "Volatile Environment", "USERPROFILE");
  const std::string profile =
      named && !named->empty() ? expandEnvironmentStrings(*named, variables) : "C:\\users\\" + loginName();
  variables.set("USERPROFILE", profile);
  variables.set("USERNAME", lastStep(profile));
  if (const auto letter = windowsDriveLetter(profile)) {
    variables.set("HOMEDRIVE", std::string(1, *letter) + ":");
    variables.set("HOMEPATH", profile.substr(2));
  }

  auto folder = [&](const char* name, const char* fallback) {
    std::optional<std::string> found = own ? shellFolder(*own, name, variables) : std::nullopt;
    return found ? *found : profile + fallback;
  };
  variables.set("APPDATA", folder("AppData", "\\AppData\\Roaming"));
  variables.set("LOCALAPPDATA", folder("Local AppData", "\\AppData\\Local"));
  if (std::unique_ptr<RegistryKey> other = userDefault.root()) addEnvironmentKey(*other, "Environment", variables);
  if (own) addEnvironmentKey(*own, "Environment", variables);
  return variables;
}

}  // namespace

WindowsDriveMap winePrefixDrives(const std::string& prefix) {
  WindowsDriveMap drives;
  const fs::path dosdevices = fs::path(prefix) / "dosdevices";
  std::error_code error;
  fs::directory_iterator entries(dosdevices, error);
  for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
    const std::string name = entries->path().filename().string();
    if (name.size() != 2 || !windowsDriveLetter(name)) continue;
    std::error_code linkError;
    fs::path target = entries->is_symlink(linkError) ? fs::read_symlink(entries->path(), linkError) : entries->path();
    if (linkError) continue;
    if (target.is_relative()) target = dosdevices / target;
    std::string folder = target.lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    drives.mapDrive(name[0], std::move(folder));
  }
  if (!drives.driveFolder('C')) drives.mapDrive('C', (fs::path(prefix) / "drive_c").lexically_normal().string());
  return drives;
}

void addWinePrefixHives(const std::string& prefix, RegistrySources& sources) {
  const fs::path folder(prefix);
  const ParsedHive user = readHive(folder / "user.reg");
  if (!user.tree) return;
  const ParsedHive system = readHive(folder / "system.reg");
  const ParsedHive userDefault = readHive(folder / "userdef.reg");
  std::string userKey = lastStep(user.relativeTo);
  if (userKey.empty()) userKey = kWineUserKey;

  StorePaths paths;
  paths.variables = prefixVariables(system, user, userDefault, userKey);
  paths.drives = winePrefixDrives(prefix);
  paths.profilesFolder = "C:\\users";

  const std::string origin = "Wine prefix " + prefix;
  auto hive = [&](std::string keyName, const ParsedHive& parsed, const char* file) {
    return RegistryHive{std::move(keyName), origin + " (" + file + ")", parsed.root(), paths};
  };
  sources.currentUser.push_back(hive("", user, "user.reg"));
  // Wine lists its users sorted by name: .Default first.
  if (userDefault.tree) sources.users.push_back(hive(".Default", userDefault, "userdef.reg"));
  sources.users.push_back(hive(userKey, user, "user.reg"));
}

}  // namespace vireo
