#pragma once
// The two settings, "Path" (the parent of the temp folder) and "options" (three bits), and the
// user's folders they are found beside.
//
// The settings file is $XDG_CONFIG_HOME/Vireo/Vireo.conf (~/.config when that is unset), made
// when first written:
//
//   [Vireo]
//   Path=/home/ann/vireo-work
//   options=3
//   listShare=400
//
// One key=value a line; blank lines, lines starting with '#' or ';' and section lines are
// skipped, unknown keys ignored. A value that cannot be read leaves its default in force.
#include <cstdint>
#include <optional>
#include <string>

namespace vireo {

inline constexpr uint32_t kCopyBeforeBrowseBit = 1;
inline constexpr uint32_t kCopyBeforeRecoverBit = 2;
inline constexpr uint32_t kOpenStoreAtStartBit = 4;

struct Settings {
  std::optional<std::string> path;  // "Path"
  std::optional<uint32_t> options;  // "options"
  // "listShare": the message list's share of the height it splits with the preview, in
  // thousandths, as the user last left it. Window state, kept here like the rest. Initialized,
  // so that a Settings{path, options} needs no third value.
  std::optional<uint32_t> listShare = std::nullopt;
};

// Nothing read (both empty) when the file is missing or unreadable.
Settings readSettings(const std::string& file);

// Writes the values that are set, replacing the file whole through a temporary name, and makes
// its folder first. To change one value, read, change and write back.
bool writeSettings(const std::string& file, const Settings& settings);

// "copyBeforeBrowse | copyBeforeRecover << 1 | openStoreAtStart << 2".
uint32_t optionBits(bool copyBeforeBrowse, bool copyBeforeRecover, bool openStoreAtStart);

// The user's folders. Relative XDG_* values are ignored, as the XDG rules ask.
std::string homeFolder();
std::string configFolder();     // $XDG_CONFIG_HOME, else ~/.config
std::string cacheFolder();      // $XDG_CACHE_HOME, else ~/.cache
std::string settingsFilePath(); // configFolder() + "/Vireo/Vireo.conf"
// XDG_DOCUMENTS_DIR from user-dirs.dirs, else ~/Documents when it exists; empty when neither.
std::string documentsFolder();
// documentsFolder() + "/Vireo", else "~/Backup" (expanded).
std::string defaultExportFolder();

}  // namespace vireo
