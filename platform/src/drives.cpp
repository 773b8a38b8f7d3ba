#include "hdtree/platform/drives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <set>

namespace hdtree {

namespace {

constexpr char kRootLetter = 'c';
constexpr char kFirstOtherLetter = 'd';
constexpr char kLastLetter = 'z';
constexpr std::string_view kMountInfoPath = "/proc/self/mountinfo";
constexpr std::string_view kDevicePrefix = "/dev/";
constexpr std::string_view kSquashfs = "squashfs";
constexpr std::array<std::string_view, 5> kNetworkTypes = {"nfs", "nfs4", "cifs", "smb3",
                                                           "fuse.sshfs"};
// Fields of a mountinfo line before the optional fields: id, parent, major:minor, root, mount
// point, mount options.
constexpr std::size_t kFixedFields = 6;
constexpr std::size_t kMajorMinorField = 2;
constexpr std::size_t kMountPointField = 4;
constexpr mode_t kFolderMode = 0777;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// Decodes the octal escapes (\040 space, \011 tab, \012 newline, \134 backslash) of a field.
std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

bool IsNetworkType(std::string_view type) {
  return std::find(kNetworkTypes.begin(), kNetworkTypes.end(), type) != kNetworkTypes.end();
}

bool StartsWith(std::string_view text, std::string_view head) {
  return text.substr(0, head.size()) == head;
}

// A host folder without its trailing slashes ("/" stays "/").
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// root + "/" + rest, without doubling the slash after "/".
std::string JoinHost(const std::string& root, std::string_view rest) {
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  if (rest.empty()) return root;
  std::string path = root;
  if (path.back() != '/') path += '/';
  path += rest;
  return WithoutTrailingSlash(std::move(path));
}

// The host form of the part of a drive path after its drive: CP932 to UTF-8 first, so that a
// trail byte 5C is never taken for a separator, then backslashes to slashes.
std::string HostRelative(std::string_view sjis) {
  std::string path = SjisToUtf8(sjis);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::optional<std::string> HostCurrentDirectory() {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  if (!cwd) return std::nullopt;
  return std::string(cwd.get());
}

bool HasDriveLetter(std::string_view path) {
  return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':';
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> ReadWholeFile(std::string_view path) {
  const int fd = open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char chunk[16384];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return text;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));

    const std::vector<std::string_view> fields = SplitFields(line);
    std::size_t dash = kFixedFields;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (dash + 2 >= fields.size()) continue;  // no separator, or no type and source after it
    const std::string_view majorMinor = fields[kMajorMinorField];
    if (majorMinor.find(':') == std::string_view::npos) continue;
    MountEntry entry;
    entry.MountPoint = Unescape(fields[kMountPointField]);
    if (!StartsWith(entry.MountPoint, "/")) continue;
    entry.MajorMinor = std::string(majorMinor);
    entry.FsType = Unescape(fields[dash + 1]);
    entry.Source = Unescape(fields[dash + 2]);
    mounts.push_back(std::move(entry));
  }
  return mounts;
}

std::vector<Drive> AssignDriveLetters(const std::vector<MountEntry>& mounts) {
  // A device is known by its major:minor; a network share by its source, since two mounts of
  // one share need not share a device number.
  const auto deviceKey = [](const MountEntry& m) {
    return IsNetworkType(m.FsType) ? "net " + m.Source : "dev " + m.MajorMinor;
  };

  std::vector<Drive> drives;
  std::set<std::string> lettered;
  Drive root{kRootLetter, "/", {}, {}};
  // The last mount of "/" is the one in sight.
  const auto rootMount = std::find_if(mounts.rbegin(), mounts.rend(),
                                      [](const MountEntry& m) { return m.MountPoint == "/"; });
  if (rootMount != mounts.rend()) {
    root.Source = rootMount->Source;
    root.FsType = rootMount->FsType;
    lettered.insert(deviceKey(*rootMount));
  }
  drives.push_back(root);

  char next = kFirstOtherLetter;
  for (const MountEntry& m : mounts) {
    if (next > kLastLetter) break;
    if (WithoutTrailingSlash(m.MountPoint) == "/") continue;  // "/" is c, in any spelling
    const bool block = StartsWith(m.Source, kDevicePrefix) && m.FsType != kSquashfs;
    if (!block && !IsNetworkType(m.FsType)) continue;
    if (!lettered.insert(deviceKey(m)).second) continue;  // mounted before: no second letter
    drives.push_back(Drive{next++, WithoutTrailingSlash(m.MountPoint), m.Source, m.FsType});
  }
  return drives;
}

DriveTable::DriveTable(std::vector<Drive> drives) : drives_(std::move(drives)) {
  for (Drive& d : drives_) d.Letter = Lower(d.Letter);
  std::stable_sort(drives_.begin(), drives_.end(),
                   [](const Drive& a, const Drive& b) { return a.Letter < b.Letter; });
}

DriveTable DriveTable::FromHost() {
  std::vector<MountEntry> mounts;
  if (const std::optional<std::string> text = ReadWholeFile(kMountInfoPath)) {
    mounts = ParseMountInfo(*text);
  }
  // A file bound over a file (a container's /etc/hosts) is no volume to list.
  std::erase_if(mounts, [](const MountEntry& m) { return !IsFolder(m.MountPoint); });
  return DriveTable(AssignDriveLetters(mounts));
}

DriveTable DriveTable::FromMountInfo(std::string_view text) {
  return DriveTable(AssignDriveLetters(ParseMountInfo(text)));
}

void DriveTable::Assign(char letter, std::string hostRoot) {
  letter = Lower(letter);
  if (!StartsWith(hostRoot, "/")) {
    if (const auto cwd = HostCurrentDirectory()) hostRoot = JoinHost(*cwd, hostRoot);
  }
  // The canonical form, so that the current directory (always canonical) finds its drive.
  std::unique_ptr<char, decltype(&std::free)> real(realpath(hostRoot.c_str(), nullptr), &std::free);
  if (real) hostRoot = real.get();
  Drive drive{letter, WithoutTrailingSlash(std::move(hostRoot)), {}, {}};
  remembered_.erase(letter);
  const auto at = std::find_if(drives_.begin(), drives_.end(),
                               [&](const Drive& d) { return d.Letter >= letter; });
  if (at != drives_.end() && at->Letter == letter) {
    *at = std::move(drive);
  } else {
    drives_.insert(at, std::move(drive));
  }
}

const Drive* DriveTable::Find(char letter) const {
  letter = Lower(letter);
  for (const Drive& d : drives_) {
    if (d.Letter == letter) return &d;
  }
  return nullptr;
}

std::optional<std::string> DriveTable::ToHostPath(std::string_view drivePath) const {
  // The host would read such a path only up to the NUL, a different file: it names none.
  if (drivePath.find('\0') != std::string_view::npos) return std::nullopt;
  if (!HasDriveLetter(drivePath)) {
    if (StartsWith(drivePath, "\\")) {
      // Rooted without a letter: the root of the current directory's drive.
      const auto cwd = HostCurrentDirectory();
      const Drive* drive = cwd ? DriveOfHostPath(*cwd) : nullptr;
      if (drive == nullptr) return std::nullopt;
      return JoinHost(drive->HostRoot, HostRelative(drivePath));
    }
    return HostRelative(drivePath);  // the host resolves it against the current directory
  }
  const Drive* drive = Find(drivePath[0]);
  if (drive == nullptr) return std::nullopt;
  const std::string_view rest = drivePath.substr(2);
  if (StartsWith(rest, "\\")) return JoinHost(drive->HostRoot, HostRelative(rest));
  // "x:" alone, or "x:name" relative to the drive's current folder.
  const auto remembered = remembered_.find(drive->Letter);
  const std::string& base = remembered != remembered_.end() ? remembered->second : drive->HostRoot;
  return JoinHost(base, HostRelative(rest));
}

const Drive* DriveTable::DriveOfHostPath(std::string_view hostPath) const {
  if (!StartsWith(hostPath, "/")) return nullptr;
  const Drive* best = nullptr;
  for (const Drive& d : drives_) {
    const std::string& root = d.HostRoot;
    const bool inside =
        root == "/" || (StartsWith(hostPath, root) &&
                        (hostPath.size() == root.size() || hostPath[root.size()] == '/'));
    if (inside && (best == nullptr || root.size() > best->HostRoot.size())) best = &d;
  }
  return best;
}

AnsiString DriveTable::ToDrivePath(std::string_view hostPath) const {
  const Drive* drive = DriveOfHostPath(hostPath);
  if (drive == nullptr) return {};
  AnsiString path;
  path += Upper(drive->Letter);
  path += ':';
  std::string_view rest = hostPath;
  if (drive->HostRoot != "/") rest.remove_prefix(drive->HostRoot.size());
  // Each host name on its own: a name can never bring in a backslash of its own.
  while (!rest.empty()) {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) break;
    const std::size_t end = std::min(rest.find('/'), rest.size());
    path += '\\';
    path += HostNameToSjis(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  if (path.size() == 2) path += '\\';
  return path;
}

AnsiString DriveTable::CurrentDirectory() const {
  const auto cwd = HostCurrentDirectory();
  if (!cwd) return {};
  return ToDrivePath(*cwd);
}

bool DriveTable::ChangeDirectory(std::string_view drivePath) {
  const std::optional<std::string> host = ToHostPath(drivePath);
  if (!host || host->empty() || chdir(host->c_str()) != 0) return false;
  // The folder is remembered in its canonical form when the host can tell it ("x:\a\.." is
  // remembered as the root), and for the drive the path named.
  const auto cwd = HostCurrentDirectory();
  const Drive* named = HasDriveLetter(drivePath) ? Find(drivePath[0]) : nullptr;
  const Drive* holder = cwd ? DriveOfHostPath(*cwd) : nullptr;
  if (named != nullptr) {
    remembered_[named->Letter] = holder == named ? *cwd : *host;
  } else if (holder != nullptr) {
    remembered_[holder->Letter] = *cwd;
  }
  return true;
}

bool DriveTable::CreateDirectory(std::string_view path) const {
  const std::optional<std::string> host = ToHostPath(path);
  return host && !host->empty() && mkdir(host->c_str(), kFolderMode) == 0;
}

}  // namespace hdtree
