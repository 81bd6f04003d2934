#include "platform/windows_path.h"

#include <filesystem>
#include <system_error>

#include "platform/ascii_case.h"

namespace vireo {
namespace fs = std::filesystem;
namespace {

int driveIndex(char letter) {
  const char upper = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
  return upper >= 'A' && upper <= 'Z' ? upper - 'A' : -1;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> pathSteps(std::string_view path) {
  std::vector<std::string> steps;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = at;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    if (end > at) steps.emplace_back(path.substr(at, end - at));
    at = end + 1;
  }
  return steps;
}

// The entry of folder called name in any ASCII letter case; name itself when none is.
std::string entryIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / name, error)) return name;
  fs::directory_iterator entries(folder, error);
  if (error) return name;
  for (const fs::directory_iterator end; entries != end; entries.increment(error)) {
    if (error) break;
    std::string candidate = entries->path().filename().string();
    if (equalsIgnoringAsciiCase(candidate, name)) return candidate;
  }
  return name;
}

}  // namespace

void WindowsDriveMap::mapDrive(char letter, std::string folder) {
  const int index = driveIndex(letter);
  if (index >= 0) drives_[static_cast<size_t>(index)] = std::move(folder);
}

std::optional<std::string> WindowsDriveMap::driveFolder(char letter) const {
  const int index = driveIndex(letter);
  if (index < 0) return std::nullopt;
  return drives_[static_cast<size_t>(index)];
}

std::optional<char> windowsDriveLetter(std::string_view windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':' || driveIndex(windowsPath[0]) < 0) return std::nullopt;
  return static_cast<char>('A' + driveIndex(windowsPath[0]));
}

std::optional<std::string> WindowsDriveMap::hostPath(std::string_view windowsPath) const {
  if (windowsPath.starts_with("\\\\?\\") || windowsPath.starts_with("\\??\\")) windowsPath.remove_prefix(4);
  const std::optional<char> letter = windowsDriveLetter(windowsPath);
  if (!letter) return std::nullopt;
  const std::optional<std::string> root = driveFolder(*letter);
  if (!root) return std::nullopt;
  return findPathIgnoringCase(*root, pathSteps(windowsPath.substr(2)));
}

std::string findPathIgnoringCase(const std::string& folder, const std::vector<std::string>& steps) {
  std::vector<std::string> found;
  bool missing = false;  // once a step is missing, nothing below it can be looked up
  for (const std::string& step : steps) {
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      if (!found.empty()) found.pop_back();
      fs::path at(folder);
      for (const std::string& done : found) at /= done;
      std::error_code error;
      missing = !fs::exists(at, error);
      continue;
    }
    if (missing) {
      found.push_back(step);
      continue;
    }
    fs::path at(folder);
    for (const std::string& done : found) at /= done;
    std::string name = entryIgnoringCase(at, step);
    std::error_code error;
    missing = !fs::exists(at / name, error);
    found.push_back(std::move(name));
  }
  std::string out = folder;
  for (const std::string& step : found) {
    if (out.empty() || out.back() != '/') out += '/';
    out += step;
  }
  return out;
}

}  // namespace vireo
