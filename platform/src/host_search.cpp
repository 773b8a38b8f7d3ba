#include "hdtree/platform/host_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "hdtree/platform/dostime.h"

namespace hdtree {

namespace {

constexpr std::string_view kAllEntries = "*.*";

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// One open host search: the open folder (null for the lookup of one entry), the device of the
// drive root, and the "." and ".." entries still to come.
class HostHandle : public SearchHandle {
 public:
  HostHandle(DirPtr dir, dev_t rootDevice, int dotsLeft, const struct stat& folder)
      : dir_(std::move(dir)), rootDevice_(rootDevice), dotsLeft_(dotsLeft), folder_(folder) {}
  HostHandle() = default;

  // Delivers the next entry into rec; false when none is left.
  bool Next(TSearchRec& rec);

 private:
  DirPtr dir_;
  dev_t rootDevice_ = 0;
  int dotsLeft_ = 0;
  struct stat folder_ {};
};

std::int64_t ModificationTime(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec);
}

void SetTime(std::int64_t hostTime, TSearchRec& rec) {
  if (const std::optional<std::uint32_t> packed = PackDosTime(hostTime)) {
    rec.Time = *packed;
    rec.HasPackedTime = true;
    rec.HostTime = 0;
  } else {
    rec.Time = 0;
    rec.HasPackedTime = false;
    rec.HostTime = hostTime;
  }
}

// Fills rec from the lstat of an entry; dirFd and name locate it, to stat a link's target.
void FillEntry(std::string_view hostName, const struct stat& st, int dirFd, const char* name,
               dev_t rootDevice, TSearchRec& rec) {
  const int readOnly = (st.st_mode & S_IWUSR) == 0 ? faReadOnly : 0;
  const int hidden = !hostName.empty() && hostName.front() == '.' ? faHidden : 0;
  int attr;
  std::int64_t size = 0;
  if (S_ISDIR(st.st_mode)) {
    attr = faDirectory | readOnly | hidden;
    if (st.st_dev != rootDevice) attr |= faReparsePoint;  // the mount point of another volume
  } else if (S_ISLNK(st.st_mode)) {
    attr = faReparsePoint;
    struct stat target {};
    if (fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) attr |= faDirectory;
  } else {
    attr = faArchive | readOnly | hidden;
    size = static_cast<std::int64_t>(st.st_size);
  }
  rec.Name = HostNameToSjis(hostName);
  rec.HostName.assign(hostName);
  rec.Attr = attr;
  rec.Size = size;
  SetTime(ModificationTime(st), rec);
}

void FillDots(std::string_view name, const struct stat& folder, TSearchRec& rec) {
  rec.Name.assign(name);
  rec.HostName.assign(name);
  rec.Attr = faDirectory;
  rec.Size = 0;
  SetTime(ModificationTime(folder), rec);
}

bool HostHandle::Next(TSearchRec& rec) {
  if (dir_ == nullptr) return false;
  if (dotsLeft_ > 0) {
    FillDots(dotsLeft_ == 2 ? "." : "..", folder_, rec);
    --dotsLeft_;
    return true;
  }
  const int fd = dirfd(dir_.get());
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir_.get());
    if (entry == nullptr) return false;  // the end, or a folder that cannot be read further
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    struct stat st {};
    // An entry removed since readdir saw it is left out.
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    FillEntry(name, st, fd, name, rootDevice_, rec);
    return true;
  }
}

// The position of the last backslash that is a separator: Shift-JIS trail bytes may be 5C.
std::size_t LastSeparator(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == '\\') last = i;
    i += static_cast<std::size_t>(SjisCharLength(static_cast<unsigned char>(path[i])));
  }
  return last;
}

bool HasDriveLetter(std::string_view path) {
  return path.size() >= 2 &&
         ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z')) &&
         path[1] == ':';
}

// A drive path taken apart: the drive, where its last name begins, and whether that name is
// the pattern of every entry.
struct SearchPath {
  const Drive* drive = nullptr;
  std::size_t separator = 0;
  bool allEntries = false;
};

std::optional<SearchPath> Split(const DriveTable& drives, std::string_view path) {
  if (!HasDriveLetter(path)) return std::nullopt;
  SearchPath split;
  split.drive = drives.Find(path[0]);
  split.separator = LastSeparator(path);
  if (split.drive == nullptr || split.separator == std::string_view::npos) return std::nullopt;
  split.allEntries = path.substr(split.separator + 1) == kAllEntries;
  return split;
}

std::optional<dev_t> DeviceOf(const std::string& hostPath) {
  struct stat st {};
  if (stat(hostPath.c_str(), &st) != 0) return std::nullopt;
  return st.st_dev;
}

// Opens a folder given as a host folder and the names below it, one name at a time, never
// following a link at any of those names: a folder that became a link after its parent was read
// is not entered. The host folder itself (a drive root may be a link) is followed. O_DIRECTORY:
// a FIFO, socket or device in a folder's place is never opened. -1 when it cannot be opened.
int OpenFolder(const std::string& folder, std::string_view below) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
  int fd = open(folder.c_str(), kFlags);
  while (fd >= 0 && !below.empty()) {
    const std::size_t slash = below.find('/');
    const std::string name(below.substr(0, slash));
    below = slash == std::string_view::npos ? std::string_view() : below.substr(slash + 1);
    if (name.empty()) continue;
    const int next = openat(fd, name.c_str(), kFlags | O_NOFOLLOW);
    close(fd);
    fd = next;
  }
  return fd;
}

// Opens a host folder (and the names below it) and delivers its first entry.
int StartFolder(const Drive& drive, const std::string& folder, std::string_view below, bool atRoot,
                TSearchRec& rec) {
  const std::optional<dev_t> rootDevice = DeviceOf(drive.HostRoot);
  if (!rootDevice) return kSearchNoEntry;
  const int fd = OpenFolder(folder, below);
  if (fd < 0) return kSearchNoEntry;
  struct stat self {};
  if (fstat(fd, &self) != 0) {
    close(fd);
    return kSearchNoEntry;
  }
  DirPtr dir(fdopendir(fd));
  if (dir == nullptr) {
    close(fd);
    return kSearchNoEntry;
  }
  auto handle = std::make_unique<HostHandle>(std::move(dir), *rootDevice, atRoot ? 0 : 2, self);
  if (!handle->Next(rec)) return kSearchNoEntry;  // the handle closes the folder
  rec.FindHandle = std::move(handle);
  return kSearchFound;
}

// Looks up one entry by its full host path.
int StartEntry(const Drive& drive, const std::string& hostPath, TSearchRec& rec) {
  const std::optional<dev_t> rootDevice = DeviceOf(drive.HostRoot);
  if (!rootDevice) return kSearchNoEntry;
  struct stat st {};
  if (fstatat(AT_FDCWD, hostPath.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return kSearchNoEntry;
  const std::size_t slash = hostPath.rfind('/');
  const std::string_view name =
      slash == std::string::npos ? hostPath : std::string_view(hostPath).substr(slash + 1);
  FillEntry(name, st, AT_FDCWD, hostPath.c_str(), *rootDevice, rec);
  rec.FindHandle = std::make_unique<HostHandle>();  // open until FindClose, with nothing left
  return kSearchFound;
}

}  // namespace

int HostDirectorySearch::FindFirst(const AnsiString& path, int mask, TSearchRec& rec) {
  (void)mask;  // every entry is delivered: the listing always asks for all of them
  rec.FindHandle.reset();
  const std::optional<SearchPath> split = Split(drives_, path);
  if (!split) return kSearchNoEntry;
  if (split->allEntries) {
    // "x:\a\b\" names the folder; "x:\" is the drive root.
    const std::optional<std::string> folder =
        drives_.ToHostPath(path.substr(0, split->separator + 1));
    if (!folder) return kSearchNoEntry;
    const bool atRoot = split->separator == 2;
    return StartFolder(*split->drive, *folder, {}, atRoot, rec);
  }
  if (split->separator + 1 == path.size()) return kSearchNoEntry;  // no name after the folder
  const std::optional<std::string> entry = drives_.ToHostPath(path);
  if (!entry) return kSearchNoEntry;
  return StartEntry(*split->drive, *entry, rec);
}

int HostDirectorySearch::FindFirstIn(const AnsiString& path, const std::string& hostRelative,
                                     int mask, TSearchRec& rec) {
  const std::optional<SearchPath> split = Split(drives_, path);
  if (!split || !split->allEntries) return FindFirst(path, mask, rec);
  rec.FindHandle.reset();
  // The folder by its real host names, whatever its shown names hold.
  std::string_view rest = hostRelative;
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  return StartFolder(*split->drive, split->drive->HostRoot, rest, rest.empty(), rec);
}

int HostDirectorySearch::FindNext(TSearchRec& rec) {
  auto* handle = dynamic_cast<HostHandle*>(rec.FindHandle.get());
  if (handle == nullptr) return kSearchNoEntry;
  return handle->Next(rec) ? kSearchFound : kSearchNoEntry;
}

void HostDirectorySearch::FindClose(TSearchRec& rec) { rec.FindHandle.reset(); }

}  // namespace hdtree
