#pragma once
// The mounted file systems, read from the kernel's table (/proc/self/mounts, /proc/self/mountinfo).
// The local disk file systems stand for Windows' fixed drives; the kernel's own file systems and
// network ones are what a search of a folder tree must not wander into.
#include <sys/types.h>

#include <set>
#include <string>
#include <vector>

namespace vireo {

// Whether a file system type is a local disk's (ext4, xfs, btrfs, vfat, ntfs, fuseblk ...).
bool isLocalDiskFileSystem(const std::string& type);

// The mount points of local disk file systems in a /proc/self/mounts text, in the order listed,
// each once, with the table's octal escapes (\040 for a blank) decoded.
std::vector<std::string> parseLocalDiskMountPoints(const std::string& mountsText);

// The same for this process's mounts; empty when the table cannot be read.
std::vector<std::string> localDiskMountPoints();

// The device numbers (st_dev) of the mounts in a /proc/self/mountinfo text whose file system is
// neither a local disk nor a union of disks: proc, sysfs, devtmpfs, devpts, tmpfs, cgroup, network
// and FUSE file systems and the like.
std::set<dev_t> parseForeignMountDevices(const std::string& mountinfoText);

// The same for this process's mounts; empty when the table cannot be read.
std::set<dev_t> foreignMountDevices();

}  // namespace vireo
