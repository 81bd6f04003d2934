#pragma once
// Wine's registry files (user.reg, system.reg, userdef.reg): text, one key per "[path] time"
// line, followed by its values:
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to \\User\\S-1-5-21-0-0-0-1000
//   [Software\\Microsoft\\Outlook Express\\5.0] 1700000000
//   #time=1d9a0b2c3d4e5f6
//   "Store Root"=str(2):"%UserProfile%\\Local Settings\\Outlook Express"
//   @="the default value"
//   "Flags"=dword:00000001
//   "Data"=hex:01,02,03
//
// Strings carry C-style escapes (\\ \" \n \x20ac \101); hex(N) holds type N's bytes, which for
// the string types are UTF-16LE; long hex data goes on over lines that end in a backslash. Any
// other line is skipped: parsing never fails, and a hostile file costs at most time and memory
// in proportion to its size.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_tree.h"

namespace vireo {

// Files larger than this are not Wine's registry.
inline constexpr size_t kWineHiveSizeLimit = 256u << 20;
// Keys nested deeper are ignored (Windows stops at 512 levels).
inline constexpr size_t kRegistryDepthLimit = 512;

struct WineHive {
  std::shared_ptr<RegistryNode> root = std::make_shared<RegistryNode>();
  // The ";; All keys relative to" line, unescaped ("\User\S-1-5-21-0-0-0-1000"); empty if none.
  std::string relativeTo;
};

WineHive parseWineHive(std::string_view text);
// Nothing when the file cannot be read, is too large, or does not begin "WINE REGISTRY".
std::optional<WineHive> readWineHive(const std::string& path);

}  // namespace vireo
