// Real folders for the hostile-tree tests: a temporary folder given a drive letter, the host
// search over it, and a listing run with a save.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hdtree/listing/headless_window.h"
#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/drives.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/host_search.h"
#include "hdtree/report/report.h"

namespace hdtree::hostile {

inline constexpr char kLetter = 'z';

// Throws with errno's text when a fixture step fails: a broken fixture must not look like a pass.
inline void Require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

// A temporary folder, removed with everything in it (permissions restored first).
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hdtree-hostile-XXXXXX");
    Require(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, ignored);
      }
    }
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
  }

 private:
  std::string path_;
};

inline void MakeDir(const std::string& path, mode_t mode = 0755) {
  Require(mkdir(path.c_str(), mode) == 0 || errno == EEXIST, "mkdir " + path);
}

// Creates (or truncates) a file of the given size; large sizes stay sparse.
inline void MakeFile(const std::string& path, std::int64_t size = 0) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Require(fd >= 0, "create " + path);
  const bool sized = size == 0 || ftruncate(fd, static_cast<off_t>(size)) == 0;
  const int saved = errno;
  close(fd);
  errno = saved;
  Require(sized, "ftruncate " + path);
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Require(fd >= 0, "create " + path);
  const ssize_t n = write(fd, bytes.data(), bytes.size());
  close(fd);
  Require(n == static_cast<ssize_t>(bytes.size()), "write " + path);
}

inline std::string ReadFile(const std::string& path) {
  std::string bytes;
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return bytes;
  char buffer[65536];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
  close(fd);
  return bytes;
}

// The modification time of a path (not following a link).
inline void SetTime(const std::string& path, std::int64_t unixSeconds) {
  const timespec times[2] = {{static_cast<time_t>(unixSeconds), 0},
                             {static_cast<time_t>(unixSeconds), 0}};
  Require(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat " + path);
}

// A search that lets a test change the tree at exact moments of a listing: after a folder's
// search has started, and before the Nth FindNext of the run.
class ChangingSearch : public DirectorySearch {
 public:
  explicit ChangingSearch(DirectorySearch& inner) : inner_(inner) {}

  std::function<void(const AnsiString& pattern)> AfterFirst;
  std::function<void(int n)> BeforeNext;

  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override {
    const int result = inner_.FindFirst(path, mask, rec);
    if (AfterFirst) AfterFirst(path);
    return result;
  }
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override {
    const int result = inner_.FindFirstIn(path, hostRelative, mask, rec);
    if (AfterFirst) AfterFirst(path);
    return result;
  }
  int FindNext(TSearchRec& rec) override {
    ++nexts_;
    if (BeforeNext) BeforeNext(nexts_);
    return inner_.FindNext(rec);
  }
  void FindClose(TSearchRec& rec) override { inner_.FindClose(rec); }

 private:
  DirectorySearch& inner_;
  int nexts_ = 0;
};

class FixedDialog : public SaveDialog {
 public:
  void SetInitialDir(const std::string&) override {}
  bool Execute() override { return !Chosen.empty(); }
  std::string FileName() const override { return Chosen; }
  std::string Chosen;
};

class TestSaveWindow : public SaveWindow {
 public:
  explicit TestSaveWindow(const HeadlessWindow& listing) : listing_(listing) {}
  int SaveMode() const override { return Mode; }
  int ListMode() const override { return listing_.ListMode(); }
  SaveDialog& Dialog() override { return DialogBox; }
  int Mode = kSaveAutomatic;
  FixedDialog DialogBox;

 private:
  const HeadlessWindow& listing_;
};

// One folder listed as drive z, as a press of the start button does it: the listing, then the
// save (none unless asked).
class DriveRun {
 public:
  explicit DriveRun(const std::string& root, int listMode = kListAllFiles)
      : window(listMode), saveWindow(window) {
    drives.Assign(kLetter, root);
    state.DriveLetter = std::string(1, kLetter);
    saveWindow.Mode = kSaveNone;
  }

  // Runs the listing through the given search (the host search by default).
  void List(DirectorySearch* through = nullptr) {
    Lister lister(state, through ? *through : host, window);
    lister.RunListing();
  }
  void Save() {
    HostFileSystem files(drives);
    ReportSaver saver(state, host, files, saveWindow);
    saver.SaveReport();
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i <= state.LastLine; ++i) lines.emplace_back(state.LineBuffer[i]);
    return lines;
  }
  // Lines 1 to LastLine holding the text.
  int Count(std::string_view text) const {
    int n = 0;
    for (int i = 1; i <= state.LastLine; ++i) {
      if (state.LineBuffer[i].find(text) != std::string_view::npos) ++n;
    }
    return n;
  }
  // The first line holding the text, or empty.
  std::string Find(std::string_view text) const {
    for (int i = 1; i <= state.LastLine; ++i) {
      if (state.LineBuffer[i].find(text) != std::string_view::npos) {
        return std::string(state.LineBuffer[i]);
      }
    }
    return {};
  }

  DriveTable drives;
  HostDirectorySearch host{drives};
  ListingState state;
  HeadlessWindow window;
  TestSaveWindow saveWindow;
};

}  // namespace hdtree::hostile
