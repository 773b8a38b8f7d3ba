// Saving the listing: the report's bytes, the automatic and the chosen save over real folders,
// and saves that fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "hdtree/listing/lister.h"
#include "hdtree/platform/host_search.h"
#include "hdtree/report/report.h"

namespace hdtree {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

const std::string kTee = "\x84\xA5\x84\x9F";
const std::string kCorner = "\x84\xA4\x84\x9F";
const std::string kBar = "\x84\xA0  ";

void SetLines(ListingState& s, const std::vector<std::string>& lines, int lastLine) {
  for (std::size_t i = 0; i < lines.size(); ++i) s.LineBuffer.Set(static_cast<int>(i), lines[i]);
  s.LastLine = lastLine;
}

TEST(ReportBytesTest, RecordsOfLinesZeroToLast) {
  const struct {
    const char* Name;
    std::vector<std::string> Lines;  // the buffer; lines past LastLine are an earlier run's
    int LastLine;
    std::string Bytes;
  } kCases[] = {
      {"ThreeLines",
       {"c:", kTee + " A", kBar + kCorner + " B"},
       2,
       "\x63\x3A\x0D\x0A\x20\x84\xA5\x84\x9F\x20\x41\x0D\x0A\x20\x84\xA0\x20\x20\x84\xA4\x84\x9F"
       "\x20\x42\x0D\x0A\x20"},
      {"RootAlone", {"c:"}, 0, "\x63\x3A\x0D\x0A\x20"},
      // 表 is 95 5C: the trail byte stays as it is.
      {"TrailByte5C",
       {"c:", kTee + " \x95\x5C\x8E\xA6.txt", ""},
       2,
       "c:\r\n " + kTee + " \x95\x5C\x8E\xA6.txt\r\n \r\n "},
      {"ShorterAfterLonger", {"c:", "new", "old 2", "old 3", "old 4"}, 1, "c:\r\n new\r\n "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    ListingState s;
    SetLines(s, c.Lines, c.LastLine);
    EXPECT_EQ(ReportBytes(s), c.Bytes);
  }
  ListingState s;
  SetLines(s, {"c:", kTee + " A", kBar + kCorner + " B"}, 2);
  EXPECT_EQ(ReportBytes(s).size(), 27u);
}

// The save's calls in order, shared by the recorders below.
using CallLog = std::vector<std::string>;

class RecordingFileSystem : public FileSystem {
 public:
  RecordingFileSystem(FileSystem& inner, CallLog& log) : inner_(inner), log_(log) {}
  bool ChangeDirectory(const AnsiString& drivePath) override {
    log_.push_back("cd " + drivePath);
    return inner_.ChangeDirectory(drivePath);
  }
  bool CreateFolder(const AnsiString& path) override {
    log_.push_back("mkdir " + path);
    return inner_.CreateFolder(path);
  }
  std::unique_ptr<ReportFile> OpenReport(const std::string& path) override {
    log_.push_back("open " + path);
    return inner_.OpenReport(path);
  }

 private:
  FileSystem& inner_;
  CallLog& log_;
};

class RecordingSearch : public DirectorySearch {
 public:
  RecordingSearch(DirectorySearch& inner, CallLog& log) : inner_(inner), log_(log) {}
  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override {
    log_.push_back("find " + path + " " + std::to_string(mask));
    return inner_.FindFirst(path, mask, rec);
  }
  int FindNext(TSearchRec& rec) override { return inner_.FindNext(rec); }
  void FindClose(TSearchRec& rec) override {
    log_.push_back("close");
    inner_.FindClose(rec);
  }

 private:
  DirectorySearch& inner_;
  CallLog& log_;
};

class ScriptedDialog : public SaveDialog {
 public:
  explicit ScriptedDialog(CallLog& log) : log_(log) {}
  void SetInitialDir(const std::string& dir) override {
    log_.push_back("initial dir '" + dir + "'");
  }
  bool Execute() override {
    log_.push_back("execute");
    if (Confirm) fileName_ = Chosen;
    return Confirm;
  }
  std::string FileName() const override { return fileName_; }

  bool Confirm = true;
  std::string Chosen;

 private:
  CallLog& log_;
  std::string fileName_ = "/earlier/choice.txt";
};

class ScriptedSaveWindow : public SaveWindow {
 public:
  explicit ScriptedSaveWindow(CallLog& log) : dialog(log) {}
  int SaveMode() const override { return saveMode; }
  int ListMode() const override { return listMode; }
  SaveDialog& Dialog() override { return dialog; }

  int saveMode = kSaveAutomatic;
  int listMode = kListFoldersOnly;
  ScriptedDialog dialog;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A temporary folder as drive x, the host's search and file system behind recorders, and a
// two-line listing of drive x.
class SaveTest : public ::testing::Test {
 public:
  void SetUp() override {
    savedCwd_ = fs::current_path();
    std::string templ = (fs::temp_directory_path() / "hdtree-report-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    root = templ;
    drives.Assign('x', root.string());
    state.DriveRoot = "x:";
    state.ReportFileName = "keep";
    SetLines(state, {"x:", kTee + " A"}, 1);
  }
  void TearDown() override {
    fs::current_path(savedCwd_);
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
    fs::remove_all(root);
  }

  // Mounts a tmpfs at a new folder below the root; false (and the reason) when it cannot.
  bool MountTmpfs(const fs::path& at, const char* options, std::string& why) {
    fs::create_directories(at);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, options) != 0) {
      why = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
      return false;
    }
    mounts_.push_back(at);
    return true;
  }
  static bool RemountReadOnly(const fs::path& at, std::string& why) {
    if (mount("tmpfs", at.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      why = std::string("cannot remount read-only: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  void Save() { saver.SaveReport(); }

  const std::string kReport = "x:\r\n " + kTee + " A\r\n ";
  fs::path root;
  DriveTable drives;
  ListingState state;
  CallLog log;
  HostDirectorySearch hostSearch{drives};
  HostFileSystem hostFiles{drives};
  RecordingSearch search{hostSearch, log};
  RecordingFileSystem files{hostFiles, log};
  ScriptedSaveWindow window{log};
  ReportSaver saver{state, search, files, window};

 private:
  fs::path savedCwd_;
  std::vector<fs::path> mounts_;
};

struct AutomaticCase {
  const char* Name;
  int ListMode;
  std::vector<std::pair<std::string, std::string>> Before;  // files below the root, by path
  bool MakeTreeFolder;
  bool ReportFound;
};

void PrintTo(const AutomaticCase& c, std::ostream* os) { *os << c.Name; }

const AutomaticCase kAutomaticCases[] = {
    {"NoTreeFolder", kListFoldersOnly, {}, false, false},
    {"TreeFolderWithoutReport", kListAllFiles, {}, true, false},
    {"ReportReplacedWhole",
     kListAllFiles,
     {{"Tree/TreeAll.txt", std::string(500, 'o')}},
     true,
     true},
    {"OtherModesReportLeftAlone",
     kListFoldersOnly,
     {{"Tree/TreeAll.txt", "all files report"}},
     true,
     false},
};

class AutomaticSaveTest : public SaveTest, public ::testing::WithParamInterface<AutomaticCase> {};

TEST_P(AutomaticSaveTest, WritesReportInTreeFolderOfDrive) {
  const AutomaticCase& c = GetParam();
  if (c.MakeTreeFolder) fs::create_directory(root / "Tree");
  for (const auto& [path, bytes] : c.Before) WriteFile(root / path, bytes);
  window.listMode = c.ListMode;
  const std::string name = c.ListMode == kListFoldersOnly ? "TreeFol.txt" : "TreeAll.txt";
  const std::string drivePath = "x:\\Tree\\" + name;

  Save();

  CallLog expected{"find " + drivePath + " 63"};
  if (!c.ReportFound) expected.insert(expected.end(), {"cd x:\\", "mkdir Tree"});
  expected.insert(expected.end(), {"close", "cd x:", "open " + drivePath});
  EXPECT_THAT(log, ElementsAreArray(expected));

  EXPECT_EQ(state.ReportFileName, name);
  EXPECT_EQ(ReadFile(root / "Tree" / name), kReport);
  for (const auto& [path, bytes] : c.Before) {
    if (path != "Tree/" + name) {
      EXPECT_EQ(ReadFile(root / path), bytes) << path;
    }
  }
  EXPECT_EQ(Names(root), std::set<std::string>{"Tree"});
  EXPECT_EQ(state.ReportFile, nullptr);
  EXPECT_EQ(state.SearchRec.FindHandle, nullptr);
  // The process is left on the listed drive.
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(cwd.rfind(root.string(), 0), 0u) << cwd;
}

INSTANTIATE_TEST_SUITE_P(Cases, AutomaticSaveTest, ::testing::ValuesIn(kAutomaticCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct OtherModeCase {
  const char* Name;
  int SaveMode;
  bool Confirm;
  bool Written;
};

void PrintTo(const OtherModeCase& c, std::ostream* os) { *os << c.Name; }

class ChosenOrNoSaveTest : public SaveTest, public ::testing::WithParamInterface<OtherModeCase> {};

TEST_P(ChosenOrNoSaveTest, TouchesOnlyTheChosenFile) {
  const OtherModeCase& c = GetParam();
  const fs::path chosen = root / "chosen.txt";
  window.saveMode = c.SaveMode;
  window.dialog.Confirm = c.Confirm;
  window.dialog.Chosen = chosen.string();
  const fs::path cwd = fs::current_path();

  Save();

  CallLog expected;
  if (c.SaveMode == kSaveChosen) expected = {"initial dir ''", "execute"};
  if (c.Written) expected.push_back("open " + chosen.string());
  EXPECT_THAT(log, ElementsAreArray(expected));
  EXPECT_EQ(window.dialog.FileName(), c.Written ? chosen.string() : "/earlier/choice.txt");
  if (c.Written) {
    EXPECT_EQ(ReadFile(chosen), kReport);
    EXPECT_EQ(Names(root), std::set<std::string>{"chosen.txt"});
  } else {
    EXPECT_TRUE(Names(root).empty());
  }
  EXPECT_EQ(state.ReportFileName, "keep");
  EXPECT_EQ(fs::current_path(), cwd);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChosenOrNoSaveTest,
                         ::testing::Values(OtherModeCase{"Confirmed", kSaveChosen, true, true},
                                           OtherModeCase{"Cancelled", kSaveChosen, false, false},
                                           OtherModeCase{"NoSave", kSaveNone, true, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A save that cannot be done: the earlier file at the path stays whole, nothing is left beside
// it, and the error names the path and the reason.
struct FailureCase {
  const char* Name;
  // Prepares the folders; returns the host path of the report, or "" with `why` set to skip.
  std::function<fs::path(SaveTest&, std::string& why)> Arrange;
  const char* Reason;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.Name; }

class FailedSaveTest : public SaveTest, public ::testing::WithParamInterface<FailureCase> {};

// Drive y on a fresh tmpfs holding an earlier report.
fs::path ReportOnTmpfs(SaveTest& t, const char* options, std::string& why);

const FailureCase kFailureCases[] = {
    {"MissingFolder",
     [](SaveTest& t, std::string&) {
       t.window.saveMode = kSaveChosen;
       t.window.dialog.Chosen = (t.root / "missing" / "tree.txt").string();
       return t.root / "missing" / "tree.txt";
     },
     "No such file or directory"},
    {"FolderInTheWay",
     [](SaveTest& t, std::string&) {
       fs::create_directory(t.root / "tree.txt");
       WriteFile(t.root / "tree.txt" / "inside", "earlier");
       t.window.saveMode = kSaveChosen;
       t.window.dialog.Chosen = (t.root / "tree.txt").string();
       return t.root / "tree.txt";
     },
     "Is a directory"},
    {"ReadOnlyVolume",
     [](SaveTest& t, std::string& why) {
       fs::path report = ReportOnTmpfs(t, "size=64k", why);
       if (report.empty() || !t.RemountReadOnly(report.parent_path().parent_path(), why)) {
         return fs::path();
       }
       return report;
     },
     "Read-only file system"},
    {"FullVolume",
     [](SaveTest& t, std::string& why) {
       fs::path report = ReportOnTmpfs(t, "size=16k", why);
       // About 200 KB of report for a volume of 16 KiB.
       for (int i = 1; i <= 2000; ++i) t.state.LineBuffer.Set(i, std::string(100, 'a'));
       t.state.LastLine = 2000;
       return report;
     },
     "No space left on device"},
};

fs::path ReportOnTmpfs(SaveTest& t, const char* options, std::string& why) {
  const fs::path volume = t.root / "volume";
  if (!t.MountTmpfs(volume, options, why)) return {};
  fs::create_directory(volume / "Tree");
  WriteFile(volume / "Tree" / "TreeAll.txt", "earlier report");
  t.drives.Assign('y', volume.string());
  t.state.DriveRoot = "y:";
  t.window.saveMode = kSaveAutomatic;
  t.window.listMode = kListAllFiles;
  return volume / "Tree" / "TreeAll.txt";
}

TEST_P(FailedSaveTest, EarlierFileStaysWhole) {
  const FailureCase& c = GetParam();
  std::string why;
  const fs::path target = c.Arrange(*this, why);
  if (target.empty()) GTEST_SKIP() << why;
  const fs::path folder = target.parent_path();
  const bool folderExisted = fs::exists(folder);
  const std::set<std::string> before = folderExisted ? Names(folder) : std::set<std::string>{};
  const bool earlierFile = fs::is_regular_file(target);
  const std::string earlier = earlierFile ? ReadFile(target) : "";

  try {
    Save();
    ADD_FAILURE() << "the save reported success";
  } catch (const FileError& e) {
    EXPECT_THAT(e.what(), HasSubstr(target.string()));
    EXPECT_THAT(e.what(), HasSubstr(c.Reason));
  }

  EXPECT_EQ(fs::exists(folder), folderExisted);
  if (folderExisted) {
    EXPECT_EQ(Names(folder), before);
  }
  if (earlierFile) {
    EXPECT_EQ(ReadFile(target), earlier);
  }
  if (fs::is_directory(target)) {
    EXPECT_EQ(ReadFile(target / "inside"), "earlier");
  }
  EXPECT_EQ(state.ReportFile, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedSaveTest, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace hdtree
