// Drives: letters for the host's volumes, drive paths, and the current directory in drive form.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hdtree/platform/sjis.h"

namespace hdtree {

struct Drive {
  char Letter = 0;       // lower case, 'c' to 'z'
  std::string HostRoot;  // absolute host folder, no trailing slash except for "/"
  std::string Source;    // mount source ("/dev/sda1", "server:/export"); empty for a subst drive
  std::string FsType;    // file system type; empty for a subst drive
};

// One line of /proc/self/mountinfo, with its escapes (\040 and the like) decoded.
struct MountEntry {
  std::string MountPoint;
  std::string MajorMinor;  // "8:1": identifies the device
  std::string FsType;
  std::string Source;
};

// Parses mountinfo text. Lines that do not have the mountinfo form are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Gives drive letters to mounts: "/" is always c; then, in mount-table order, every other mount
// of a block device (/dev/..., squashfs excluded) or a network file system (nfs, nfs4, cifs,
// smb3, fuse.sshfs) gets the next free letter up to z. A device mounted twice gets a letter at its
// first mount only.
std::vector<Drive> AssignDriveLetters(const std::vector<MountEntry>& mounts);

// The drive table of the process, and the current directory in drive form.
class DriveTable {
 public:
  DriveTable() = default;
  explicit DriveTable(std::vector<Drive> drives);

  // Reads /proc/self/mountinfo; when it cannot be read, "/" alone becomes drive c.
  static DriveTable FromHost();
  static DriveTable FromMountInfo(std::string_view text);

  // Gives a host folder a letter (replacing the drive of that letter, if any), like subst.
  void Assign(char letter, std::string hostRoot);

  // Drives in letter order.
  const std::vector<Drive>& Drives() const { return drives_; }
  // The drive of a letter, either case; null when there is none.
  const Drive* Find(char letter) const;

  // Maps a drive path in Shift-JIS ("x:", "x:\", "x:\a\b") to its host path; nullopt when it
  // names no drive of the table. "x:" alone maps to the drive's remembered current folder.
  // A relative path (no drive letter) is taken relative to the process's current directory.
  std::optional<std::string> ToHostPath(std::string_view drivePath) const;

  // The drive whose root is the longest prefix of an absolute host path; null when none.
  const Drive* DriveOfHostPath(std::string_view hostPath) const;

  // A host path in drive form: upper-case letter, colon, the rest with backslashes, in
  // Shift-JIS ("/home/ann" on drive c is "C:\home\ann"). Empty when no drive holds it.
  AnsiString ToDrivePath(std::string_view hostPath) const;

  // The process's current directory in drive form.
  AnsiString CurrentDirectory() const;

  // Changes the process's current directory. "x:" alone goes to the drive's remembered folder
  // (its root until one is set); "x:\..." goes to that folder and remembers it for its drive.
  // Returns false when the path names no drive or the folder cannot be entered.
  bool ChangeDirectory(std::string_view drivePath);

  // Creates one folder (drive path, or relative to the current directory) with mode 0777 less
  // the umask. Returns false when it cannot be created (it exists already, say).
  bool CreateDirectory(std::string_view path) const;

 private:
  std::vector<Drive> drives_;
  std::map<char, std::string> remembered_;  // letter -> host folder last made current
};

}  // namespace hdtree
