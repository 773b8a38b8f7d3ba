// Folders the user may not read, and saves onto a full and a read-only volume. The listing goes
// on past what it cannot read; a save that fails leaves the earlier report whole, says why, and
// the next save works once the volume can take it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <string>

#include "hostile_support.h"

namespace hdtree::hostile {
namespace {

constexpr uid_t kNobody = 65534;

// Runs work in a child process as the user nobody and returns what it printed, or the reason
// it could not run.
struct ChildResult {
  bool Ran = false;
  std::string Output;
};

ChildResult AsNobody(const std::function<std::string()>& work) {
  int pipeFds[2];
  Require(pipe(pipeFds) == 0, "pipe");
  const pid_t child = fork();
  Require(child >= 0, "fork");
  if (child == 0) {
    close(pipeFds[0]);
    std::string out;
    int code = 0;
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) {
      out = std::string("setuid: ") + std::strerror(errno);
      code = 2;
    } else {
      try {
        out = work();
      } catch (const std::exception& e) {
        out = std::string("raised: ") + e.what();
        code = 1;
      }
    }
    const ssize_t written = write(pipeFds[1], out.data(), out.size());
    (void)written;
    _exit(code);
  }
  close(pipeFds[1]);
  ChildResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    result.Output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  result.Ran = WIFEXITED(status) && WEXITSTATUS(status) != 2;
  if (!result.Ran && WIFEXITED(status)) return result;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result.Output += "\n(child failed)";
  return result;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

TEST(NoAccess, FoldersTheUserMayNotReadAddNothingAndTheWalkGoesOn) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a child as nobody";
  TempDir dir;
  Require(chmod(dir.Path().c_str(), 0755) == 0, "chmod");
  MakeDir(dir / "open");
  MakeFile(dir / "open/seen.txt");
  // Owner (root) write permission keeps each of these a plain folder for the listing; the
  // others' bits decide what nobody can do.
  MakeDir(dir / "locked");
  MakeFile(dir / "locked/secret.txt");
  MakeDir(dir / "noread");
  MakeFile(dir / "noread/hidden.txt");
  MakeDir(dir / "nosearch");
  MakeFile(dir / "nosearch/item.txt");
  Require(chmod((dir / "locked").c_str(), 0700) == 0, "chmod");
  Require(chmod((dir / "noread").c_str(), 0711) == 0, "chmod");
  Require(chmod((dir / "nosearch").c_str(), 0744) == 0, "chmod");
  // The report folder exists and only its owner may write in it.
  MakeDir(dir / "Tree");

  const ChildResult child = AsNobody([&] {
    DriveRun run(dir.Path());
    run.List();
    std::string out = Joined(run.Lines());
    // An automatic save into a report folder the user may not write: it fails and says why.
    run.saveWindow.Mode = kSaveAutomatic;
    try {
      run.Save();
      out += "SAVED\n";
    } catch (const FileError& e) {
      out += std::string("SAVE FAILED: ") + e.what() + "\n";
    }
    return out;
  });
  if (!child.Ran) GTEST_SKIP() << "cannot run as nobody: " << child.Output;

  const std::string& out = child.Output;
  EXPECT_EQ(out.find("raised"), std::string::npos) << out;
  EXPECT_NE(out.find("seen.txt"), std::string::npos) << out;
  EXPECT_NE(out.find(" open <Folder>"), std::string::npos) << out;
  for (const char* unseen :
       {"secret.txt", "hidden.txt", "item.txt", " locked <Folder>", " noread <Folder>"}) {
    EXPECT_EQ(out.find(unseen), std::string::npos) << unseen << "\n" << out;
  }
  EXPECT_NE(out.find("SAVE FAILED: "), std::string::npos) << out;
  EXPECT_NE(out.find("Tree"), std::string::npos) << out;
  EXPECT_NE(out.find("Permission denied"), std::string::npos) << out;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename());
  }
  return names;
}

// Restores the process's current directory.
class CwdGuard {
 public:
  // An automatic save of an earlier test may have left the process in a folder since removed.
  CwdGuard() {
    std::error_code error;
    saved_ = std::filesystem::current_path(error);
    if (error) saved_ = std::filesystem::temp_directory_path();
  }
  ~CwdGuard() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }
  CwdGuard(const CwdGuard&) = delete;
  CwdGuard& operator=(const CwdGuard&) = delete;

 private:
  std::filesystem::path saved_;
};

TEST(NoAccess, SaveOntoADriveWhoseRootIsGoneMakesNoFolderElsewhere) {
  TempDir dir;
  TempDir elsewhere;
  CwdGuard cwd;
  MakeDir(dir / "drive");
  DriveRun run(dir / "drive");
  run.List();
  // The drive's folder goes away after the listing; the process stands in another folder.
  Require(rmdir((dir / "drive").c_str()) == 0, "rmdir");
  Require(chdir(elsewhere.Path().c_str()) == 0, "chdir");

  run.saveWindow.Mode = kSaveAutomatic;
  EXPECT_THROW(run.Save(), FileError);
  // The report folder belongs in the drive's root and nowhere else.
  EXPECT_EQ(Entries(elsewhere.Path()), std::vector<std::string>{});
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{});
}

// A small tmpfs mounted for one test; unmounted at the end.
class SmallVolume {
 public:
  SmallVolume(const std::string& path, const char* options) : path_(path) {
    MakeDir(path_);
    mounted_ = mount("tmpfs", path_.c_str(), "tmpfs", 0, options) == 0;
    error_ = errno;
  }
  ~SmallVolume() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  SmallVolume(const SmallVolume&) = delete;
  SmallVolume& operator=(const SmallVolume&) = delete;

  bool Mounted() const { return mounted_; }
  std::string Why() const { return std::string("cannot mount tmpfs: ") + std::strerror(error_); }
  bool MakeReadOnly() {
    return mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
  int error_ = 0;
};

TEST(OtherVolume, MountPointInsideTheDriveIsListedAndNotEntered) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a tmpfs";
  TempDir dir;
  SmallVolume volume(dir / "mnt", "size=64k");
  if (!volume.Mounted()) GTEST_SKIP() << volume.Why();
  MakeFile(dir / "mnt/on-other-volume.txt");
  MakeDir(dir / "plain");
  MakeFile(dir / "plain/here.txt");

  DriveRun run(dir.Path());
  run.List();

  EXPECT_EQ(run.Count("on-other-volume.txt"), 0);
  EXPECT_EQ(run.Count(" mnt <Folder>"), 0);
  EXPECT_EQ(run.Count(" mnt........1KB....."), 1) << "another volume is listed as a file";
  EXPECT_EQ(run.Count("here.txt"), 1);

  run.window.SetListMode(kListFoldersOnly);
  run.List();
  EXPECT_EQ(run.Count(" mnt <Folder>"), 0);
  EXPECT_EQ(run.Count(" plain <Folder>"), 1);
}

// Names long enough that a few thousand make a report of some hundred kilobytes.
void AddManyFiles(const std::string& folder, int count) {
  MakeDir(folder);
  for (int i = 0; i < count; ++i)
    MakeFile(folder + "/" + std::string(120, 'n') + std::to_string(i));
}

// Fills a volume to the last byte.
void Fill(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Require(fd >= 0, "create " + path);
  const std::string block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  while (write(fd, block.data(), 1) > 0) {
  }
  close(fd);
}

TEST(SaveOntoVolume, FullVolumeKeepsTheEarlierReportWholeAndSaysWhy) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a tmpfs";
  TempDir dir;
  SmallVolume volume(dir / "vol", "size=512k");
  if (!volume.Mounted()) GTEST_SKIP() << volume.Why();
  const std::string root = dir / "vol";
  MakeFile(root + "/first.txt", 10);

  DriveRun run(root);
  run.saveWindow.Mode = kSaveAutomatic;
  run.List();
  run.Save();
  const std::string report = root + "/Tree/TreeAll.txt";
  const std::string earlier = ReadFile(report);
  ASSERT_EQ(earlier, ReportBytes(run.state));

  AddManyFiles(root + "/many", 2000);
  Fill(root + "/filler");
  run.List();
  ASSERT_GT(ReportBytes(run.state).size(), 300000u);
  try {
    run.Save();
    FAIL() << "a save onto a full volume reported success";
  } catch (const FileError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("TreeAll.txt"), std::string::npos) << message;
    EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
  }
  EXPECT_EQ(ReadFile(report), earlier);
  EXPECT_EQ(Entries(root + "/Tree"), std::vector<std::string>{"TreeAll.txt"})
      << "no temporary file left";

  // The listing is untouched, and once there is room the same listing saves.
  EXPECT_GT(run.state.LastLine, 2000);
  Require(unlink((root + "/filler").c_str()) == 0, "unlink");
  run.Save();
  EXPECT_EQ(ReadFile(report), ReportBytes(run.state));
}

TEST(SaveOntoVolume, ReadOnlyVolumeKeepsTheEarlierReportWholeAndSaysWhy) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a tmpfs";
  TempDir dir;
  SmallVolume volume(dir / "vol", "size=256k");
  if (!volume.Mounted()) GTEST_SKIP() << volume.Why();
  const std::string root = dir / "vol";
  MakeFile(root + "/first.txt", 10);

  DriveRun run(root);
  run.saveWindow.Mode = kSaveAutomatic;
  run.List();
  run.Save();
  const std::string report = root + "/Tree/TreeAll.txt";
  const std::string earlier = ReadFile(report);

  ASSERT_TRUE(volume.MakeReadOnly()) << std::strerror(errno);
  run.window.SetListMode(kListAllFiles);
  run.List();
  for (const std::string chosen : {"", "/Tree/mine.txt"}) {
    run.saveWindow.Mode = chosen.empty() ? kSaveAutomatic : kSaveChosen;
    run.saveWindow.DialogBox.Chosen = chosen.empty() ? "" : root + chosen;
    try {
      run.Save();
      FAIL() << "a save onto a read-only volume reported success";
    } catch (const FileError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(chosen.empty() ? "TreeAll.txt" : "mine.txt"), std::string::npos)
          << message;
      EXPECT_NE(message.find(std::strerror(EROFS)), std::string::npos) << message;
    }
  }
  EXPECT_EQ(ReadFile(report), earlier);
  EXPECT_EQ(Entries(root + "/Tree"), std::vector<std::string>{"TreeAll.txt"});

  // Folders-only reports go to their own file, which cannot be made on this volume either.
  run.window.SetListMode(kListFoldersOnly);
  run.saveWindow.Mode = kSaveAutomatic;
  run.List();
  EXPECT_THROW(run.Save(), FileError);
  EXPECT_EQ(ReadFile(report), earlier);
}

}  // namespace
}  // namespace hdtree::hostile
