#include "hdtree/platform/host_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hdtree/platform/dostime.h"

namespace hdtree {

namespace {

constexpr std::string_view kAllEntries = "*.*";
// O_DIRECTORY: a FIFO, socket or device in a folder's place is never opened.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
// The folder's entries are read this many bytes at a time.
constexpr std::size_t kEntryBufferSize = 32 * 1024;

// One descriptor, closed with its last owner.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};
using SharedDescriptor = std::shared_ptr<const Descriptor>;

SharedDescriptor Share(int fd) {
  if (fd < 0) return nullptr;
  return std::make_shared<const Descriptor>(fd);
}

// One open host search: the open folder (null for the lookup of one entry), the device of the
// drive root, the "." and ".." entries still to come, and the folder's entries as read from it
// in batches (readdir without its stream: no allocation and no extra calls per folder).
class HostHandle : public SearchHandle {
 public:
  HostHandle(SharedDescriptor folder, dev_t rootDevice, int dotsLeft, std::int64_t folderTime,
             bool details)
      : folder_(std::move(folder)),
        rootDevice_(rootDevice),
        dotsLeft_(dotsLeft),
        folderTime_(folderTime),
        details_(details) {}
  HostHandle() = default;

  // Delivers the next entry into rec; false when none is left.
  bool Next(TSearchRec& rec);

 private:
  // The next entry of the folder other than "." and "..": its name and its type as the folder
  // gives it (DT_DIR, DT_REG, DT_LNK, ..., or DT_UNKNOWN).
  bool NextEntry(const char*& name, unsigned char& type);

  SharedDescriptor folder_;
  dev_t rootDevice_ = 0;
  int dotsLeft_ = 0;
  std::int64_t folderTime_ = 0;
  bool details_ = true;
  std::unique_ptr<char[]> buffer_;
  std::size_t filled_ = 0;
  std::size_t at_ = 0;
  bool ended_ = false;
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

void SetNoTime(TSearchRec& rec) {
  rec.Time = 0;
  rec.HasPackedTime = false;
  rec.HostTime = 0;
}

// Fills rec from the lstat of an entry; dirFd and name locate it, to stat a link's target.
// Without details the link's target and the time are left out.
void FillEntry(std::string_view hostName, const struct stat& st, int dirFd, const char* name,
               dev_t rootDevice, bool details, TSearchRec& rec) {
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
    if (details && fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
      attr |= faDirectory;
    }
  } else {
    attr = faArchive | readOnly | hidden;
    size = static_cast<std::int64_t>(st.st_size);
  }
  HostNameToSjis(hostName, rec.Name);
  rec.HostName.assign(hostName);
  rec.Attr = attr;
  rec.Size = size;
  if (details) {
    SetTime(ModificationTime(st), rec);
  } else {
    SetNoTime(rec);
  }
}

// An entry that is no directory by its type in the folder, without details: never a folder.
void FillByType(std::string_view hostName, unsigned char type, TSearchRec& rec) {
  const int hidden = !hostName.empty() && hostName.front() == '.' ? faHidden : 0;
  HostNameToSjis(hostName, rec.Name);
  rec.HostName.assign(hostName);
  rec.Attr = type == DT_LNK ? faReparsePoint : faArchive | hidden;
  rec.Size = 0;
  SetNoTime(rec);
}

void FillDots(std::string_view name, std::int64_t folderTime, bool details, TSearchRec& rec) {
  rec.Name.assign(name);
  rec.HostName.assign(name);
  rec.Attr = faDirectory;
  rec.Size = 0;
  if (details) {
    SetTime(folderTime, rec);
  } else {
    SetNoTime(rec);
  }
}

bool HostHandle::NextEntry(const char*& name, unsigned char& type) {
  for (;;) {
    if (at_ >= filled_) {
      if (ended_) return false;
      if (buffer_ == nullptr) buffer_ = std::make_unique_for_overwrite<char[]>(kEntryBufferSize);
      const ssize_t n = getdents64(folder_->Get(), buffer_.get(), kEntryBufferSize);
      if (n <= 0) {  // the end, or a folder that cannot be read further
        ended_ = true;
        return false;
      }
      filled_ = static_cast<std::size_t>(n);
      at_ = 0;
    }
    const char* record = buffer_.get() + at_;
    unsigned short length = 0;
    std::memcpy(&length, record + offsetof(struct dirent64, d_reclen), sizeof length);
    std::memcpy(&type, record + offsetof(struct dirent64, d_type), sizeof type);
    name = record + offsetof(struct dirent64, d_name);
    at_ += length;
    if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) return true;
  }
}

bool HostHandle::Next(TSearchRec& rec) {
  if (folder_ == nullptr) return false;
  if (dotsLeft_ > 0) {
    FillDots(dotsLeft_ == 2 ? "." : "..", folderTime_, details_, rec);
    --dotsLeft_;
    return true;
  }
  const int fd = folder_->Get();
  const char* name = nullptr;
  unsigned char type = DT_UNKNOWN;
  while (NextEntry(name, type)) {
    // A folders-only listing needs nothing more of an entry that is typed as no directory.
    if (!details_ && type != DT_DIR && type != DT_UNKNOWN) {
      FillByType(name, type, rec);
      return true;
    }
    struct stat st {};
    // An entry removed since the folder was read is left out.
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    FillEntry(name, st, fd, name, rootDevice_, details_, rec);
    return true;
  }
  return false;
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
  split.separator = LastSjisSeparator(path);
  if (split.drive == nullptr || split.separator == std::string_view::npos) return std::nullopt;
  split.allEntries = path.substr(split.separator + 1) == kAllEntries;
  return split;
}

std::optional<dev_t> DeviceOf(const std::string& hostPath) {
  struct stat st {};
  if (stat(hostPath.c_str(), &st) != 0) return std::nullopt;
  return st.st_dev;
}

// Starts the search of an open folder: reads its own time when the details are needed, and
// delivers its first entry.
int StartFolder(SharedDescriptor folder, dev_t rootDevice, bool atRoot, bool details,
                TSearchRec& rec) {
  if (folder == nullptr) return kSearchNoEntry;
  std::int64_t folderTime = 0;
  if (details && !atRoot) {
    struct stat self {};
    if (fstat(folder->Get(), &self) != 0) return kSearchNoEntry;
    folderTime = ModificationTime(self);
  }
  auto handle = std::make_unique<HostHandle>(std::move(folder), rootDevice, atRoot ? 0 : 2,
                                             folderTime, details);
  if (!handle->Next(rec)) return kSearchNoEntry;  // the handle lets go of the folder
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
  FillEntry(name, st, AT_FDCWD, hostPath.c_str(), *rootDevice, true, rec);
  rec.FindHandle = std::make_unique<HostHandle>();  // open until FindClose, with nothing left
  return kSearchFound;
}

}  // namespace

// The folders of the walk's current path, each open: the drive root, then one folder per name
// below it. The next folder of a walk is opened through its parent's descriptor, so no path is
// resolved again, and each folder is opened once.
class HostDirectorySearch::OpenFolders {
 public:
  // The folder `below` (host names joined by '/') under the drive's root, ready to be read from
  // its start; null when it cannot be opened. A search of the root itself opens the chain anew.
  SharedDescriptor Open(const Drive& drive, std::string_view below, dev_t& rootDevice) {
    if (below.empty() || levels_.empty() || root_ != drive.HostRoot) {
      levels_.clear();
      // The drive root itself may be a link; it is followed.
      SharedDescriptor fd = Share(open(drive.HostRoot.c_str(), kFolderFlags));
      struct stat st {};
      if (fd == nullptr || fstat(fd->Get(), &st) != 0) return nullptr;
      root_ = drive.HostRoot;
      rootDevice_ = st.st_dev;
      levels_.push_back({std::string(), std::move(fd), false});
    }
    std::size_t depth = 1;
    while (!below.empty()) {
      const std::size_t slash = below.find('/');
      const std::string_view name = below.substr(0, slash);
      below = slash == std::string_view::npos ? std::string_view() : below.substr(slash + 1);
      if (name.empty()) continue;
      if (depth < levels_.size() && levels_[depth].Name == name) {
        ++depth;
        continue;
      }
      levels_.resize(depth);  // the folders of the earlier path below here are done
      const std::string hostName(name);
      SharedDescriptor fd =
          Share(openat(levels_.back().Folder->Get(), hostName.c_str(), kFolderFlags | O_NOFOLLOW));
      if (fd == nullptr) return nullptr;
      levels_.push_back({hostName, std::move(fd), false});
      ++depth;
    }
    levels_.resize(depth);
    rootDevice = rootDevice_;

    Level& level = levels_.back();
    if (level.Folder.use_count() > 1) {
      // Still read by a search that was not ended: this one reads on its own.
      return Share(openat(level.Folder->Get(), ".", kFolderFlags));
    }
    if (level.Read && levels_.size() > 1) {
      // Listed again: looked up afresh by its name, as a folder that may have changed since.
      SharedDescriptor fd = Share(openat(levels_[levels_.size() - 2].Folder->Get(),
                                         level.Name.c_str(), kFolderFlags | O_NOFOLLOW));
      if (fd == nullptr) {
        levels_.pop_back();
        return nullptr;
      }
      level.Folder = std::move(fd);
    }
    level.Read = true;
    return level.Folder;
  }

  void Release() { levels_.clear(); }

 private:
  struct Level {
    std::string Name;
    SharedDescriptor Folder;
    bool Read;  // listed before: opened anew before it is listed again
  };
  std::string root_;
  dev_t rootDevice_ = 0;
  std::vector<Level> levels_;
};

HostDirectorySearch::HostDirectorySearch(const DriveTable& drives)
    : drives_(drives), open_(std::make_unique<OpenFolders>()) {}

HostDirectorySearch::~HostDirectorySearch() = default;

void HostDirectorySearch::ReleaseFolders() { open_->Release(); }

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
    const std::optional<dev_t> rootDevice = DeviceOf(split->drive->HostRoot);
    if (!rootDevice) return kSearchNoEntry;
    const bool atRoot = split->separator == 2;
    return StartFolder(Share(open(folder->c_str(), kFolderFlags)), *rootDevice, atRoot,
                       fileDetails_, rec);
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
  dev_t rootDevice = 0;
  SharedDescriptor folder = open_->Open(*split->drive, rest, rootDevice);
  return StartFolder(std::move(folder), rootDevice, rest.empty(), fileDetails_, rec);
}

int HostDirectorySearch::FindNext(TSearchRec& rec) {
  auto* handle = dynamic_cast<HostHandle*>(rec.FindHandle.get());
  if (handle == nullptr) return kSearchNoEntry;
  return handle->Next(rec) ? kSearchFound : kSearchNoEntry;
}

void HostDirectorySearch::FindClose(TSearchRec& rec) { rec.FindHandle.reset(); }

}  // namespace hdtree
