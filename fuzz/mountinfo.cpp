// The mount table: any text read as /proc/self/mountinfo gives a drive table whose letters are
// unique, c to z, with "/" on c, and each device at one letter.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hdtree/platform/drives.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::vector<hdtree::MountEntry> mounts = hdtree::ParseMountInfo(text);
  bool hasRoot = false;
  for (const auto& mount : mounts) {
    FUZZ_CHECK(!mount.MountPoint.empty());
    if (mount.MountPoint == "/") hasRoot = true;
  }

  const std::vector<hdtree::Drive> drives = hdtree::AssignDriveLetters(mounts);
  FUZZ_CHECK(drives.size() <= 24);
  std::set<char> letters;
  for (const auto& drive : drives) {
    FUZZ_CHECK(drive.Letter >= 'c' && drive.Letter <= 'z');
    FUZZ_CHECK(letters.insert(drive.Letter).second);
    FUZZ_CHECK(!drive.HostRoot.empty());
    FUZZ_CHECK(drive.HostRoot == "/" || drive.HostRoot.back() != '/');
    if (drive.HostRoot == "/") FUZZ_CHECK(drive.Letter == 'c');
  }
  if (hasRoot) FUZZ_CHECK(letters.count('c') == 1);

  // A device mounted twice has one letter: the lettered mounts besides "/" are no more than the
  // devices of the table (a network share is known by its source).
  std::set<std::string> devices;
  for (const auto& mount : mounts) {
    const bool network = mount.FsType == "nfs" || mount.FsType == "nfs4" ||
                         mount.FsType == "cifs" || mount.FsType == "smb3" ||
                         mount.FsType == "fuse.sshfs";
    devices.insert(network ? "net " + mount.Source : "dev " + mount.MajorMinor);
  }
  FUZZ_CHECK(drives.size() <= devices.size() + 1);

  const hdtree::DriveTable table = hdtree::DriveTable::FromMountInfo(text);
  char previous = 0;
  for (const auto& drive : table.Drives()) {
    FUZZ_CHECK(drive.Letter > previous);  // letter order, each once
    previous = drive.Letter;
    FUZZ_CHECK(table.Find(drive.Letter) == &drive);
  }
  FUZZ_CHECK(table.Find('c') != nullptr);
  return 0;
}
