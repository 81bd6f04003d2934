#include "reader/store_paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/ascii_case.h"

namespace vireo {
namespace {

bool isFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The names of the profiles in the host folder of the profiles, sorted.
std::vector<std::string> profileNames(const std::string& hostFolder) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(hostFolder, error);
  for (const std::filesystem::directory_iterator end; !error && entries != end; entries.increment(error)) {
    std::error_code typeError;
    if (entries->is_directory(typeError)) names.push_back(entries->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string StorePaths::windowsFolder(const std::string& storeRoot) const {
  std::string folder = expandEnvironmentStrings(storeRoot, variables);
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

std::optional<std::string> StorePaths::storeFolder(const std::string& windowsPath) const {
  std::optional<std::string> host = drives.hostPath(windowsPath);
  if (!host || profilesFolder.empty() || isFolder(*host)) return host;
  const size_t length = profilesFolder.size();
  if (windowsPath.size() <= length + 1 || !isSeparator(windowsPath[length]) ||
      !equalsIgnoringAsciiCase(std::string_view(windowsPath).substr(0, length), profilesFolder))
    return host;
  // "<profilesFolder>\<user>\<rest>": the same rest in each other profile.
  const size_t userEnd = windowsPath.find_first_of("\\/", length + 1);
  const std::string rest = userEnd == std::string::npos ? std::string() : windowsPath.substr(userEnd);
  const std::optional<std::string> profiles = drives.hostPath(profilesFolder);
  if (!profiles) return host;
  for (const std::string& name : profileNames(*profiles)) {
    const std::optional<std::string> candidate = drives.hostPath(profilesFolder + "\\" + name + rest);
    if (candidate && isFolder(*candidate)) return candidate;
  }
  return host;
}

void addEnvironmentKey(const RegistryKey& root, std::string_view path, EnvironmentVariables& variables) {
  const std::unique_ptr<RegistryKey> key = findKeyPath(root, path);
  if (!key) return;
  for (const std::string& name : key->valueNames()) {
    if (name.empty()) continue;
    const std::optional<RegistryValue> value = key->value(name);
    if (value) variables.set(name, expandEnvironmentStrings(value->text(), variables));
  }
}

std::optional<std::string> shellFolder(const RegistryKey& root, std::string_view name,
                                       const EnvironmentVariables& variables) {
  if (auto folder = valueText(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name))
    return folder;
  if (auto folder = valueText(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", name))
    return expandEnvironmentStrings(*folder, variables);
  return std::nullopt;
}

}  // namespace vireo
