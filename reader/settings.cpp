#include "reader/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/folder_path.h"

namespace vireo {
namespace {

std::string absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return {};
  return value;
}

std::string trimmed(std::string text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<uint32_t> parseNumber(const std::string& text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

Settings readSettings(const std::string& file) {
  Settings settings;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = trimmed(line.substr(0, equals));
    const std::string value = trimmed(line.substr(equals + 1));
    if (key == "Path" && !value.empty()) settings.path = value;
    else if (key == "options") settings.options = parseNumber(value);
    else if (key == "listShare") settings.listShare = parseNumber(value);
  }
  return settings;
}

bool writeSettings(const std::string& file, const Settings& settings) {
  const std::filesystem::path target(file);
  if (target.has_parent_path() && createFolderPath(target.parent_path().string()) != 0)
    return false;
  std::string text = "[Vireo]\n";
  if (settings.path) text += "Path=" + *settings.path + "\n";
  if (settings.options) text += "options=" + std::to_string(*settings.options) + "\n";
  if (settings.listShare) text += "listShare=" + std::to_string(*settings.listShare) + "\n";
  std::string temporary = file + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool sound = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  sound = ::fsync(fd) == 0 && sound;
  sound = ::close(fd) == 0 && sound;
  sound = sound && std::rename(temporary.c_str(), file.c_str()) == 0;
  if (!sound) ::unlink(temporary.c_str());
  return sound;
}

uint32_t optionBits(bool copyBeforeBrowse, bool copyBeforeRecover, bool openStoreAtStart) {
  return (copyBeforeBrowse ? kCopyBeforeBrowseBit : 0) |
         (copyBeforeRecover ? kCopyBeforeRecoverBit : 0) |
         (openStoreAtStart ? kOpenStoreAtStartBit : 0);
}

std::string homeFolder() {
  std::string home = absoluteVariable("HOME");
  if (!home.empty()) return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return "/";
}

std::string configFolder() {
  const std::string value = absoluteVariable("XDG_CONFIG_HOME");
  return value.empty() ? homeFolder() + "/.config" : value;
}

std::string cacheFolder() {
  const std::string value = absoluteVariable("XDG_CACHE_HOME");
  return value.empty() ? homeFolder() + "/.cache" : value;
}

std::string settingsFilePath() { return configFolder() + "/Vireo/Vireo.conf"; }

std::string documentsFolder() {
  // Lines look like XDG_DOCUMENTS_DIR="$HOME/Documents"; only $HOME is expanded there.
  std::ifstream in(configFolder() + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    line = trimmed(line);
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (!line.starts_with(key)) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.starts_with("$HOME")) value = homeFolder() + value.substr(5);
    if (value.starts_with("/")) return value;
  }
  std::error_code error;
  const std::string fallback = homeFolder() + "/Documents";
  return std::filesystem::is_directory(fallback, error) ? fallback : std::string();
}

std::string defaultExportFolder() {
  const std::string documents = documentsFolder();
  return documents.empty() ? homeFolder() + "/Backup" : documents + "/Vireo";
}

}  // namespace vireo
