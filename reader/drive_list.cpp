#include "reader/drive_list.h"

#include "platform/mount_table.h"

namespace vireo {

std::string driveListOf(const std::vector<std::string>& mountPoints) {
  std::string list;
  for (const std::string& point : mountPoints) {
    if (point.empty() || point.find(';') != std::string::npos) continue;
    if (list.size() + point.size() + 1 > kDriveListLimit) break;
    list += point;
    list += ';';
  }
  return list;
}

std::string fixedDriveList() { return driveListOf(localDiskMountPoints()); }

}  // namespace vireo
