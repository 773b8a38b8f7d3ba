// Inputs the fuzz targets found hard, kept as plain cases: a drive path holding a NUL byte, and
// a mount table whose mount point names the root in another spelling.
#include <gtest/gtest.h>

#include <string>

#include "hdtree/platform/drives.h"

namespace hdtree {
namespace {

TEST(HostileInput, DrivePathWithNulByteNamesNoHostPath) {
  DriveTable drives;
  drives.Assign('z', "/tmp/hdtree-drive");
  // The host would read such a path only up to the NUL: z:\a would stand for z:\a<NUL>b.
  for (const std::string& path :
       {std::string("z:\\a\0b", 6), std::string("z:\\\0", 4), std::string("z:\\a\\b\0", 7)}) {
    const auto host = drives.ToHostPath(path);
    EXPECT_TRUE(!host.has_value() || host->find('\0') == std::string::npos)
        << "host path of " << path.size() << " bytes holds a NUL";
  }
}

TEST(HostileInput, RootMountInAnotherSpellingGetsNoSecondLetter) {
  const std::string mountInfo =
      "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "23 22 8:2 / // rw - ext4 /dev/sdb1 rw\n"
      "24 22 8:3 / /media/usb rw - vfat /dev/sdc1 rw\n";
  const std::vector<Drive> drives = AssignDriveLetters(ParseMountInfo(mountInfo));
  int roots = 0;
  for (const Drive& drive : drives) {
    if (drive.HostRoot == "/") {
      ++roots;
      EXPECT_EQ(drive.Letter, 'c');
    }
  }
  EXPECT_EQ(roots, 1);
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives.back().HostRoot, "/media/usb");
}

}  // namespace
}  // namespace hdtree
