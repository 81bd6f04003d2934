#include "platform/mount_table.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

namespace vireo {
namespace {

// Spaces, tabs, newlines and backslashes in a mount point are written as three octal digits.
std::string unescapeMountField(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

}  // namespace

bool isLocalDiskFileSystem(std::string_view type) {
  static constexpr std::array<std::string_view, 14> kTypes = {
      "ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk",
      "jfs", "reiserfs"};
  return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

std::vector<std::string> localDiskMountPoints(std::string_view mountsText) {
  std::vector<std::string> points;
  std::istringstream lines{std::string(mountsText)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    if (!(fields >> device >> point >> type) || !isLocalDiskFileSystem(type)) continue;
    std::string unescaped = unescapeMountField(point);
    if (std::find(points.begin(), points.end(), unescaped) == points.end()) points.push_back(std::move(unescaped));
  }
  return points;
}

std::vector<std::string> localDiskMountPoints() {
  std::ifstream file("/proc/self/mounts");
  if (!file) return {};
  std::ostringstream text;
  text << file.rdbuf();
  return localDiskMountPoints(text.str());
}

}  // namespace vireo
