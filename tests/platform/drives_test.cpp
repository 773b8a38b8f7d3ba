#include "hdtree/platform/drives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform_support.h"

namespace hdtree {
namespace {

using testing::TempFolder;

const char kDesktop[] =
    "23 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
    "24 22 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:2 - sysfs sysfs rw\n"
    "25 22 0:5 / /dev rw,nosuid,relatime shared:8 - devtmpfs udev rw,size=8000000k,mode=755\n"
    "26 22 0:25 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,mode=755\n"
    "27 22 259:3 / /home rw,relatime shared:30 - ext4 /dev/nvme0n1p3 rw\n"
    "28 22 259:1 / /boot/efi rw,relatime shared:31 - vfat /dev/nvme0n1p1 rw,fmask=0077\n"
    "29 22 7:0 / /snap/core22/1122 ro,nodev,relatime shared:32 - squashfs /dev/loop0 ro\n"
    "not a mount line\n"
    "30 26 8:17 / /media/ann/USB\\040STICK rw,nosuid,nodev,relatime shared:40 - vfat /dev/sdb1 "
    "rw,uid=1000\n"
    "31 22 259:3 /ann/shared /srv/shared rw,relatime shared:30 - ext4 /dev/nvme0n1p3 rw\n"
    "32 22 0:50 / /mnt/nas rw,relatime shared:50 - nfs4 nas.local:/export/media rw,vers=4.2\n"
    "33 22 0:51 / /mnt/nas-again rw,relatime - nfs4 nas.local:/export/media rw,vers=4.2\n"
    "34 22 259:2 /var/www /srv/www rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
    "35 22 0:60 / /mnt/backup\\134old\\011x rw,relatime - cifs //server/backup rw\n";

const char kContainer[] =
    "600 550 0:52 / / rw,relatime master:300 - overlay overlay "
    "rw,lowerdir=/var/lib/docker/overlay2/l/A:/var/lib/docker/overlay2/l/B\n"
    "601 600 0:55 / /proc rw,nosuid,nodev,noexec,relatime - proc proc rw\n"
    "602 600 0:56 / /dev rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755\n"
    "603 602 0:57 / /dev/pts rw,nosuid,noexec,relatime - devpts devpts rw,mode=620\n"
    "604 600 0:58 / /sys ro,nosuid,nodev,noexec,relatime - sysfs sysfs ro\n"
    "605 604 0:28 / /sys/fs/cgroup ro,nosuid,nodev,noexec,relatime - cgroup2 cgroup rw\n"
    "606 602 0:54 / /dev/mqueue rw,nosuid,nodev,noexec,relatime - mqueue mqueue rw\n"
    "607 602 0:59 / /dev/shm rw,nosuid,nodev,noexec,relatime - tmpfs shm rw,size=65536k\n"
    "608 600 254:1 /docker/containers/abc/resolv.conf /etc/resolv.conf rw - ext4 /dev/vda1 rw\n"
    "609 600 254:1 /docker/containers/abc/hostname /etc/hostname rw - ext4 /dev/vda1 rw\n"
    "610 600 254:1 /docker/containers/abc/hosts /etc/hosts rw - ext4 /dev/vda1 rw\n";

std::vector<std::pair<char, std::string>> LettersAndRoots(const DriveTable& table) {
  std::vector<std::pair<char, std::string>> result;
  for (const Drive& d : table.Drives()) result.emplace_back(d.Letter, d.HostRoot);
  return result;
}

using Letters = std::vector<std::pair<char, std::string>>;

TEST(MountInfo, ParsesFieldsAndEscapes) {
  const std::vector<MountEntry> mounts = ParseMountInfo(kDesktop);
  ASSERT_EQ(mounts.size(), 14u);  // the line without the mountinfo form is left out
  EXPECT_EQ(mounts[1].MountPoint, "/");
  EXPECT_EQ(mounts[1].MajorMinor, "259:2");
  EXPECT_EQ(mounts[1].FsType, "ext4");
  EXPECT_EQ(mounts[1].Source, "/dev/nvme0n1p2");
  EXPECT_EQ(mounts[8].MountPoint, "/media/ann/USB STICK");
  EXPECT_EQ(mounts[13].MountPoint, "/mnt/backup\\old\tx");
  EXPECT_EQ(mounts[13].Source, "//server/backup");
}

TEST(DriveLetters, Desktop) {
  const DriveTable table = DriveTable::FromMountInfo(kDesktop);
  // Pseudo file systems and the snap image get none; /srv/shared and /srv/www are second
  // mounts of lettered devices, /mnt/nas-again a second mount of one share.
  EXPECT_EQ(LettersAndRoots(table), (Letters{{'c', "/"},
                                             {'d', "/home"},
                                             {'e', "/boot/efi"},
                                             {'f', "/media/ann/USB STICK"},
                                             {'g', "/mnt/nas"},
                                             {'h', "/mnt/backup\\old\tx"}}));
  EXPECT_EQ(table.Find('C')->Source, "/dev/nvme0n1p2");
  EXPECT_EQ(table.Find('g')->Source, "nas.local:/export/media");
  EXPECT_EQ(table.Find('g')->FsType, "nfs4");
}

TEST(DriveLetters, Container) {
  const DriveTable table = DriveTable::FromMountInfo(kContainer);
  // The files bound from /dev/vda1 make one device with one letter at its first mount;
  // DriveTable::FromHost leaves out mount points that are not folders before lettering.
  EXPECT_EQ(LettersAndRoots(table), (Letters{{'c', "/"}, {'d', "/etc/resolv.conf"}}));
  EXPECT_EQ(table.Find('c')->FsType, "overlay");
}

TEST(DriveLetters, RootIsAlwaysCAndLettersRunOut) {
  std::vector<MountEntry> mounts;
  for (int i = 0; i < 30; ++i) {
    mounts.push_back({"/mnt/" + std::to_string(i), "8:" + std::to_string(i), "ext4",
                      "/dev/sd" + std::to_string(i)});
  }
  const std::vector<Drive> drives = AssignDriveLetters(mounts);
  ASSERT_EQ(drives.size(), 24u);  // c for "/" (not in the table) and d to z
  EXPECT_EQ(drives.front().Letter, 'c');
  EXPECT_EQ(drives.front().HostRoot, "/");
  EXPECT_EQ(drives.back().Letter, 'z');
  EXPECT_EQ(drives.back().HostRoot, "/mnt/22");
}

TEST(DrivePaths, BothDirections) {
  const DriveTable table = DriveTable::FromMountInfo(kDesktop);
  const std::pair<const char*, const char*> toHost[] = {
      {"c:", "/"},
      {"c:\\", "/"},
      {"C:\\home", "/home"},
      {"d:\\ann\\\x95\x5C\\x", "/home/ann/\xE8\xA1\xA8/x"},  // 表 keeps its trail byte 5C
      {"f:\\", "/media/ann/USB STICK"},
      {"F:\\Tree\\TreeAll.txt", "/media/ann/USB STICK/Tree/TreeAll.txt"},
      {"e:\\EFI\\", "/boot/efi/EFI"},
  };
  for (const auto& [drivePath, hostPath] : toHost) {
    EXPECT_EQ(table.ToHostPath(drivePath), std::optional<std::string>(hostPath)) << drivePath;
  }
  EXPECT_EQ(table.ToHostPath("q:\\x"), std::nullopt);

  const std::pair<const char*, const char*> toDrive[] = {
      {"/", "C:\\"},
      {"/home", "D:\\"},
      {"/home/ann", "D:\\ann"},
      {"/homework/x", "C:\\homework\\x"},  // a root is a prefix only at a slash
      {"/media/ann/USB STICK/a/b", "F:\\a\\b"},
      {"/home/ann/\xE8\xA1\xA8", "D:\\ann\\\x95\x5C"},
      {"/home/a\xC2\xA5"
       "b\\c",
       "D:\\a?b?c"},  // nothing in a name reads as a separator
      {"relative/path", ""},
  };
  for (const auto& [hostPath, drivePath] : toDrive) {
    EXPECT_EQ(table.ToDrivePath(hostPath), drivePath) << hostPath;
  }
}

class CurrentDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    std::filesystem::create_directories(folder / "sub/deeper");
    table.Assign('X', folder.Path());
  }
  void TearDown() override { std::filesystem::current_path(saved_); }

  TempFolder folder;
  DriveTable table = DriveTable::FromHost();

 private:
  std::filesystem::path saved_;
};

TEST_F(CurrentDirectoryTest, EachDriveRemembersItsFolder) {
  ASSERT_NE(table.Find('x'), nullptr);
  EXPECT_EQ(table.Find('c')->HostRoot, "/");
  EXPECT_EQ(table.ToHostPath("x:"), folder.Path());  // the root until a folder is set

  ASSERT_TRUE(table.ChangeDirectory("x:\\sub\\deeper"));
  EXPECT_EQ(std::filesystem::current_path(), folder / "sub/deeper");
  EXPECT_EQ(table.CurrentDirectory(), "X:\\sub\\deeper");
  EXPECT_EQ(table.ToHostPath("x:"), folder / "sub/deeper");

  ASSERT_TRUE(table.ChangeDirectory("c:\\"));
  EXPECT_EQ(table.CurrentDirectory(), "C:\\");
  ASSERT_TRUE(table.ChangeDirectory("x:"));
  EXPECT_EQ(table.CurrentDirectory(), "X:\\sub\\deeper");

  ASSERT_TRUE(table.ChangeDirectory(".."));
  EXPECT_EQ(table.CurrentDirectory(), "X:\\sub");
  ASSERT_TRUE(table.ChangeDirectory("c:\\"));
  ASSERT_TRUE(table.ChangeDirectory("x:"));
  EXPECT_EQ(table.CurrentDirectory(), "X:\\sub");

  EXPECT_FALSE(table.ChangeDirectory("x:\\missing"));
  EXPECT_FALSE(table.ChangeDirectory("q:"));
  EXPECT_EQ(table.CurrentDirectory(), "X:\\sub");

  table.Assign('x', folder / "sub");  // a new root forgets the remembered folder
  EXPECT_EQ(table.ToHostPath("x:"), folder / "sub");
}

TEST_F(CurrentDirectoryTest, CreatesOneFolder) {
  EXPECT_TRUE(table.CreateDirectory("x:\\Tree"));
  EXPECT_FALSE(table.CreateDirectory("x:\\Tree"));  // exists already
  EXPECT_FALSE(table.CreateDirectory("x:\\missing\\Tree"));
  EXPECT_FALSE(table.CreateDirectory("q:\\Tree"));
  ASSERT_TRUE(table.ChangeDirectory("x:\\sub"));
  EXPECT_TRUE(table.CreateDirectory("Tree"));
  struct stat st {};
  ASSERT_EQ(stat((folder / "sub/Tree").c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 07777, 0777 & ~mask);
}

}  // namespace
}  // namespace hdtree
