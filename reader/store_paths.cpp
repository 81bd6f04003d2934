#include "reader/store_paths.h"

namespace vireo {

std::string StorePaths::windowsFolder(const std::string& storeRoot) const {
  std::string folder = expandEnvironmentStrings(storeRoot, variables);
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
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
