// The kernel's mount tables: which mounts stand for drives, which a search must not enter.
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include "platform/mount_table.h"
#include "reader/drive_list.h"

namespace vireo::testing {
namespace {

// As a laptop with a Windows partition, a USB stick and a network share writes it.
constexpr const char* kMounts =
    "sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0\n"
    "proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0\n"
    "udev /dev devtmpfs rw,nosuid,relatime,size=8117020k,nr_inodes=2029255,mode=755 0 0\n"
    "devpts /dev/pts devpts rw,nosuid,noexec,relatime,gid=5,mode=620,ptmxmode=000 0 0\n"
    "tmpfs /run tmpfs rw,nosuid,nodev,noexec,relatime,size=1628412k,mode=755 0 0\n"
    "/dev/nvme0n1p2 / ext4 rw,relatime,errors=remount-ro 0 0\n"
    "securityfs /sys/kernel/security securityfs rw,nosuid,nodev,noexec,relatime 0 0\n"
    "tmpfs /dev/shm tmpfs rw,nosuid,nodev 0 0\n"
    "cgroup2 /sys/fs/cgroup cgroup2 rw,nosuid,nodev,noexec,relatime,nsdelegate 0 0\n"
    "systemd-1 /proc/sys/fs/binfmt_misc autofs rw,relatime,fd=30,pgrp=1,timeout=0 0 0\n"
    "/dev/nvme0n1p1 /boot/efi vfat rw,relatime,fmask=0077,dmask=0077,codepage=437 0 0\n"
    "/dev/nvme0n1p4 /home xfs rw,relatime,attr2,inode64 0 0\n"
    "overlay /var/lib/docker/overlay2/3f1c/merged overlay rw,relatime,lowerdir=/a,upperdir=/b 0 0\n"
    "server:/export /mnt/nfs nfs4 rw,relatime,vers=4.2 0 0\n"
    "//nas/mail /mnt/nas cifs rw,relatime,vers=3.0 0 0\n"
    "ann@host: /home/ann/remote fuse.sshfs rw,nosuid,nodev,relatime 0 0\n"
    "/dev/nvme0n1p3 /media/ann/WINXP fuseblk rw,nosuid,nodev,relatime,user_id=0,allow_other 0 0\n"
    "/dev/sdb1 /media/ann/My\\040Disk exfat rw,nosuid,nodev,relatime 0 0\n"
    "/dev/sdc1 /media/ann/Old ntfs3 rw,relatime 0 0\n"
    "/dev/nvme0n1p4 /home xfs rw,relatime,attr2,inode64 0 0\n";

TEST(MountTable, LocalDisksInTheOrderListedEachOnce) {
  EXPECT_EQ(parseLocalDiskMountPoints(kMounts),
            (std::vector<std::string>{"/", "/boot/efi", "/home", "/media/ann/WINXP", "/media/ann/My Disk",
                                      "/media/ann/Old"}));
  EXPECT_TRUE(parseLocalDiskMountPoints("").empty());
  EXPECT_TRUE(parseLocalDiskMountPoints("garbage\n\n/dev/sda1\n").empty());
}

TEST(MountTable, ForeignDevicesAreTheKernelsNetworkAndFuseMounts) {
  const std::string mountinfo =
      "22 27 0:21 / /proc rw,relatime shared:12 - proc proc rw\n"
      "23 27 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
      "27 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
      "30 27 0:25 / /run rw,nosuid,nodev - tmpfs tmpfs rw,size=1628412k\n"
      "40 27 259:4 / /home rw,relatime - xfs /dev/nvme0n1p4 rw\n"
      "41 27 0:50 / /mnt/nfs rw,relatime shared:30 master:2 - nfs4 server:/export rw\n"
      "42 40 0:51 / /home/ann/remote rw - fuse.sshfs ann@host: rw\n"
      "43 27 0:52 / /var/lib/docker/m rw - overlay overlay rw,lowerdir=/a\n"
      "44 27 8:17 / /media/ann/WINXP rw - fuseblk /dev/sdb1 rw\n";
  const std::set<dev_t> foreign = parseForeignMountDevices(mountinfo);
  EXPECT_EQ(foreign, (std::set<dev_t>{makedev(0, 21), makedev(0, 22), makedev(0, 25), makedev(0, 50), makedev(0, 51)}));
}

TEST(DriveList, MountPointsEachFollowedBySemicolonWithinTheLimit) {
  EXPECT_EQ(driveListOf(parseLocalDiskMountPoints(kMounts)),
            "/;/boot/efi;/home;/media/ann/WINXP;/media/ann/My Disk;/media/ann/Old;");
  EXPECT_EQ(driveListOf({"/", "/odd;name", "/data"}), "/;/data;");
  std::vector<std::string> many;
  for (int i = 0; i < 100; ++i) many.push_back("/media/disk" + std::to_string(i));
  const std::string list = driveListOf(many);
  EXPECT_LE(list.size(), kDriveListLimit);
  EXPECT_GT(list.size(), kDriveListLimit - 20);
  EXPECT_EQ(list.back(), ';') << "only whole mount points";
}

}  // namespace
}  // namespace vireo::testing
