// Registry paths to host paths: variable expansion, drive letters, letter case; and the list of
// mounted local disks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/environment_strings.h"
#include "platform/mount_table.h"
#include "platform/windows_path.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

TEST(ExpandEnvironmentStrings, ReplacesKnownNamesInAnyCaseAndLeavesTheRest) {
  EnvironmentVariables variables;
  variables.set("UserProfile", "C:\\users\\ann");
  variables.set("APPDATA", "%UserProfile%\\AppData");  // values are not expanded again
  EXPECT_EQ(expandEnvironmentStrings("%USERPROFILE%\\Mail", variables), "C:\\users\\ann\\Mail");
  EXPECT_EQ(expandEnvironmentStrings("%appdata%", variables), "%UserProfile%\\AppData");
  EXPECT_EQ(expandEnvironmentStrings("%Unknown%\\%userprofile%", variables), "%Unknown%\\C:\\users\\ann");
  EXPECT_EQ(expandEnvironmentStrings("100% sure %", variables), "100% sure %");
  EXPECT_EQ(expandEnvironmentStrings("%%UserProfile%", variables), "%%UserProfile%");
  EXPECT_EQ(expandEnvironmentStrings("50%", variables), "50%");
  variables.set("userprofile", "");
  EXPECT_FALSE(variables.has("UserProfile"));
}

TEST(WindowsDriveMap, FindsEachStepInTheLetterCaseOnDisk) {
  ScratchDir dir;
  fs::create_directories(fs::path(dir.path()) / "Users" / "Ann" / "AppData");
  WindowsDriveMap drives;
  drives.mapDrive('c', dir.path());
  EXPECT_EQ(drives.hostPath("C:\\users\\ANN\\appdata"), dir.path() + "/Users/Ann/AppData");
  EXPECT_EQ(drives.hostPath("c:/Users//ann/./AppData/"), dir.path() + "/Users/Ann/AppData");
  EXPECT_EQ(drives.hostPath("\\\\?\\C:\\users\\ann"), dir.path() + "/Users/Ann");
  // A missing step is kept as written, and so is everything below it.
  EXPECT_EQ(drives.hostPath("C:\\users\\bob\\appdata"), dir.path() + "/Users/bob/appdata");
  EXPECT_EQ(drives.hostPath("C:\\users\\bob\\..\\ann"), dir.path() + "/Users/Ann");
  EXPECT_EQ(drives.hostPath("C:\\..\\..\\users"), dir.path() + "/Users") << "never above the drive";
  EXPECT_EQ(drives.hostPath("C:"), dir.path());
  EXPECT_EQ(drives.hostPath("D:\\users"), std::nullopt);
  EXPECT_EQ(drives.hostPath("\\\\server\\share\\users"), std::nullopt);
  EXPECT_EQ(drives.hostPath("users\\ann"), std::nullopt);
  drives.mapDrive('z', "/");
  EXPECT_EQ(drives.hostPath("Z:\\"), "/");
}

TEST(MountTable, ListsLocalDisksInOrderOnce) {
  const char* mounts =
      "sysfs /sys sysfs rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sda1 / ext4 rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "overlay /var/lib/docker/x overlay rw 0 0\n"
      "/dev/sda2 /home xfs rw 0 0\n"
      "server:/export /net nfs4 rw 0 0\n"
      "//server/share /mnt/smb cifs rw 0 0\n"
      "/dev/sdb1 /media/ann/WIN\\040XP fuseblk rw 0 0\n"
      "/dev/sdc1 /media/ann/USB vfat rw 0 0\n"
      "/dev/sda2 /home xfs rw 0 0\n"
      "broken line\n";
  EXPECT_THAT(parseLocalDiskMountPoints(mounts), ElementsAre("/", "/home", "/media/ann/WIN XP", "/media/ann/USB"));
  for (const char* type : {"ext2", "ext3", "btrfs", "f2fs", "exfat", "ntfs", "ntfs3"})
    EXPECT_TRUE(isLocalDiskFileSystem(type)) << type;
  for (const char* type : {"devtmpfs", "cgroup2", "fuse.sshfs", "squashfs", "autofs"})
    EXPECT_FALSE(isLocalDiskFileSystem(type)) << type;
}

}  // namespace
}  // namespace vireo::testing
