#include "platform/mount_table.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string_view>

namespace vireo {
namespace {

constexpr std::array<std::string_view, 20> kLocalDiskTypes{
    "ext2", "ext3",  "ext4",  "xfs",     "btrfs", "f2fs",     "vfat", "msdos",   "exfat",  "ntfs",
    "ntfs3", "fuseblk", "jfs", "reiserfs", "hfs", "hfsplus", "nilfs2", "bcachefs", "zfs", "ufs"};

// Mounts that join disks' folders: below them are the disks' own files.
constexpr std::array<std::string_view, 2> kUnionTypes{"overlay", "aufs"};

template <size_t N>
bool oneOf(const std::array<std::string_view, N>& types, const std::string& type) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

// The table writes a blank, tab, newline and backslash in a path as \040, \011, \012, \134.
std::string decodeMountField(const std::string& field) {
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string field; in >> field;) out.push_back(field);
  return out;
}

std::string fileText(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

bool isLocalDiskFileSystem(const std::string& type) { return oneOf(kLocalDiskTypes, type); }

std::vector<std::string> parseLocalDiskMountPoints(const std::string& mountsText) {
  std::vector<std::string> points;
  std::istringstream lines(mountsText);
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> f = fields(line);
    if (f.size() < 3 || !isLocalDiskFileSystem(f[2])) continue;
    std::string point = decodeMountField(f[1]);
    if (std::find(points.begin(), points.end(), point) == points.end()) points.push_back(std::move(point));
  }
  return points;
}

std::vector<std::string> localDiskMountPoints() { return parseLocalDiskMountPoints(fileText("/proc/self/mounts")); }

std::set<dev_t> parseForeignMountDevices(const std::string& mountinfoText) {
  std::set<dev_t> devices;
  std::istringstream lines(mountinfoText);
  for (std::string line; std::getline(lines, line);) {
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const std::vector<std::string> f = fields(line);
    const auto separator = std::find(f.begin(), f.end(), "-");
    if (f.size() < 3 || separator == f.end() || separator + 1 == f.end()) continue;
    const std::string& type = *(separator + 1);
    if (isLocalDiskFileSystem(type) || oneOf(kUnionTypes, type)) continue;
    unsigned major = 0, minor = 0;
    char colon = 0;
    std::istringstream number(f[2]);
    if (!(number >> major >> colon >> minor) || colon != ':') continue;
    devices.insert(makedev(major, minor));
  }
  return devices;
}

std::set<dev_t> foreignMountDevices() { return parseForeignMountDevices(fileText("/proc/self/mountinfo")); }

}  // namespace vireo
