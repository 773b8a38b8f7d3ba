// The command-line lister over real folders made in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "hdtree/cli/cli.h"
#include "hdtree/platform/drives.h"

namespace hdtree {
namespace {

namespace fs = std::filesystem;

// The texts of the listing in one encoding, spelled out byte for byte.
struct Encoding {
  std::string Tee;
  std::string Corner;
  std::string Bar;
  std::string Sheet;  // 表計算: its 表 ends in the byte 5C in Shift-JIS
  std::string Memo;   // メモ
  std::string CountLabel;
};

const Encoding kUtf8{"├─", "└─", "│  ", "表計算", "メモ", "総ファイル数＝"};
const Encoding kSjis{
    "\x84\xA5\x84\x9F", "\x84\xA4\x84\x9F",
    "\x84\xA0  ",       "\x95\x5C\x8C\x76\x8E\x5A",
    "\x83\x81\x83\x82", "\x91\x8D\x83\x74\x83\x40\x83\x43\x83\x8B\x90\x94\x81\x81"};

const std::string kUsage =
    "usage: hdtree-list [-a | --all] [--sjis] [--letter L] [-o FILE | --auto] [TARGET]\n"
    "       hdtree-list --drives | --help | --version\n";

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return timegm(&tm);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, std::size_t size, std::time_t mtime) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
  const timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Each line followed by CR LF and a blank, as a report holds it.
std::string AsReport(const std::string& listing) {
  std::string report;
  for (char c : listing) {
    if (c == '\n') {
      report += "\r\n ";
    } else {
      report += c;
    }
  }
  return report;
}

struct Result {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// A temporary folder that holds the tree
//   Docs/a.txt (10 bytes), Docs/Old/b.txt (3,000 bytes), 表計算/メモ.txt (empty)
// with fixed modification times, listed in UTC.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    savedCwd_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "hdtree-cli-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    base_ = fs::canonical(pattern);
    root_ = base_ / "root";
    fs::create_directories(root_ / "Docs" / "Old");
    fs::create_directories(root_ / "表計算");
    WriteFile(root_ / "Docs" / "a.txt", 10, Utc(2001, 2, 3, 4, 5, 6));
    WriteFile(root_ / "Docs" / "Old" / "b.txt", 3000, Utc(1997, 5, 12, 9, 30, 24));
    WriteFile(root_ / "表計算" / "メモ.txt", 0, Utc(1997, 6, 1, 0, 0, 0));
  }

  void TearDown() override {
    fs::current_path(savedCwd_);
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }

  // The drive table of the tests: the host root as c and, when asked, the tree as drive e.
  DriveTable Drives(bool treeAsDriveE = false) const {
    std::vector<Drive> drives{{'c', "/", "/dev/root", "ext4"}};
    if (treeAsDriveE) drives.push_back({'e', root_.string(), "/dev/sdb1", "ext4"});
    return DriveTable(std::move(drives));
  }

  Result Run(const std::vector<std::string>& args, bool treeAsDriveE = false) const {
    std::ostringstream out;
    std::ostringstream err;
    Result result;
    result.Status = RunCli(args, out, err, Drives(treeAsDriveE));
    result.Out = out.str();
    result.Err = err.str();
    return result;
  }

  // The root's two folders in the order the host returns them; the tree's text depends on it.
  bool DocsFirst() const {
    for (const auto& entry : fs::directory_iterator(root_)) {
      return entry.path().filename() == "Docs";
    }
    return false;
  }

  // The listing of the tree, line 0 being the given drive.
  std::string Expected(const Encoding& e, bool allFiles, const std::string& drive = "z:") const {
    auto docs = [&](bool last) {
      const std::string indent = last ? "        " : e.Bar + "    ";
      std::string block = (last ? e.Corner : e.Tee) + " Docs <Folder>\n";
      if (allFiles) block += indent + e.Tee + " a.txt........1KB.....2001/02/03 4:05:06 \n";
      block += indent + e.Corner + " Old <Folder>\n";
      if (allFiles) {
        block += indent + "        " + e.Corner + " b.txt........3KB.....1997/05/12 9:30:24 \n";
      }
      return block;
    };
    auto sheet = [&](bool last) {
      const std::string indent = last ? "        " : e.Bar + "    ";
      std::string block = (last ? e.Corner : e.Tee) + " " + e.Sheet + " <Folder>\n";
      if (allFiles) block += indent + e.Corner + " " + e.Memo + ".txt........1KB.....1997/06/01 \n";
      return block;
    };
    // A root has no "." entry, so its first entry, a folder, keeps its bare line.
    if (DocsFirst()) return drive + "\n" + e.Tee + "Docs\n" + docs(false) + sheet(true);
    return drive + "\n" + e.Tee + e.Sheet + "\n" + sheet(false) + docs(true);
  }

  fs::path savedCwd_;
  fs::path base_;
  fs::path root_;
};

TEST_F(CliTest, ListsAFolderAsADriveInEitherEncoding) {
  struct Case {
    std::vector<std::string> Options;
    bool AllFiles;
    bool Sjis;
    std::string Drive;
  };
  const std::vector<Case> cases{
      {{}, false, false, "z:"},
      {{"--all"}, true, false, "z:"},
      {{"-a", "--sjis"}, true, true, "z:"},
      {{"--sjis"}, false, true, "z:"},
      {{"--letter", "Q"}, false, false, "q:"},
      {{"--letter=e:", "-a"}, true, false, "e:"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.Options;
    args.push_back(root_.string());
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result result = Run(args);
    const Encoding& e = c.Sjis ? kSjis : kUtf8;
    EXPECT_EQ(result.Status, kExitSuccess);
    EXPECT_EQ(result.Out, Expected(e, c.AllFiles, c.Drive));
    EXPECT_EQ(result.Err, e.CountLabel + (c.AllFiles ? "7" : "4") + "\n");
  }
}

TEST_F(CliTest, ListsADriveOfTheTableAndByDefaultTheCurrentOne) {
  for (const char* target : {"e:", "E", "e"}) {
    const Result result = Run({"-a", target}, true);
    EXPECT_EQ(result.Status, kExitSuccess) << target;
    EXPECT_EQ(result.Out, Expected(kUtf8, true, "e:")) << target;
  }

  fs::current_path(root_ / "Docs" / "Old");
  const Result result = Run({}, true);
  EXPECT_EQ(result.Status, kExitSuccess);
  EXPECT_EQ(result.Out, Expected(kUtf8, false, "e:"));
  EXPECT_EQ(result.Err, "総ファイル数＝4\n");
}

TEST_F(CliTest, ARelativeFolderAndALetterThatNamesNoDriveAreFolders) {
  fs::create_directories(base_ / "rel" / "Sub");
  fs::create_directory(base_ / "d");
  fs::current_path(base_);
  Result result = Run({"rel"});
  EXPECT_EQ(result.Status, kExitSuccess);
  EXPECT_EQ(result.Out, "z:\n" + kUtf8.Tee + "Sub\n" + kUtf8.Corner + " Sub <Folder>\n");

  result = Run({"--letter", "k", "d"});
  EXPECT_EQ(result.Status, kExitSuccess);
  EXPECT_EQ(result.Out, "k:\n");
  EXPECT_EQ(result.Err, "総ファイル数＝0\n");
}

TEST_F(CliTest, UsageErrorsNameTheProblemAndExitWith2) {
  fs::current_path(base_);
  std::ofstream(base_ / "plain.txt") << "not a folder";
  struct Case {
    std::vector<std::string> Args;
    std::string Message;
  };
  const std::vector<Case> cases{
      {{"-x"}, "unknown option: -x"},
      {{"--all", "--everything"}, "unknown option: --everything"},
      {{"q:"}, "no such drive: q:"},
      {{"Q"}, "no such drive: q:"},
      {{"missing"}, "no such folder: missing"},
      {{base_.string() + "/missing/"}, "no such folder: " + base_.string() + "/missing/"},
      {{"plain.txt"}, "not a folder: plain.txt"},
      {{"./plain.txt"}, "not a folder: ./plain.txt"},
      {{"root", "-o"}, "-o needs a file name"},
      {{"-o", "", "root"}, "-o needs a file name"},
      {{"-o", "a.txt", "-o", "b.txt", "root"}, "-o given more than once"},
      {{"-o", "a.txt", "--auto", "root"}, "-o and --auto cannot be used together"},
      {{"--auto", "-o", "a.txt", "root"}, "-o and --auto cannot be used together"},
      {{"--letter"}, "--letter needs a drive letter"},
      {{"--letter", "1", "root"}, "bad drive letter for --letter: '1' (give one letter, c to z)"},
      {{"--letter", "zz", "root"}, "bad drive letter for --letter: 'zz' (give one letter, c to z)"},
      {{"--letter=b", "root"}, "bad drive letter for --letter: 'b' (give one letter, c to z)"},
      {{"--letter", "", "root"}, "bad drive letter for --letter: '' (give one letter, c to z)"},
      {{"--letter", "y"}, "--letter applies to a folder target only"},
      {{"--letter", "y", "c:"}, "--letter applies to a folder target only"},
      {{"root", "root"}, "more than one target: root"},
      {{"--drives", "root"}, "--drives takes no other arguments"},
      {{"--drives", "-a"}, "--drives takes no other arguments"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    const Result result = Run(c.Args);
    EXPECT_EQ(result.Status, kExitUsage);
    EXPECT_EQ(result.Out, "");
    EXPECT_EQ(result.Err, "hdtree-list: " + c.Message + "\n" + kUsage);
  }
  EXPECT_FALSE(fs::exists(base_ / "a.txt"));
  EXPECT_FALSE(fs::exists(root_ / "Tree"));
}

TEST_F(CliTest, HelpVersionAndDrives) {
  Result result = Run({"--help"});
  EXPECT_EQ(result.Status, kExitSuccess);
  EXPECT_EQ(result.Out.substr(0, kUsage.size()), kUsage);
  for (const char* option :
       {"-a, --all", "--sjis", "--letter L", "-o FILE", "--auto", "--drives"}) {
    EXPECT_NE(result.Out.find(std::string("\n  ") + option), std::string::npos) << option;
  }
  EXPECT_EQ(result.Err, "");
  // --help and --version answer where they stand, whatever follows.
  EXPECT_EQ(Run({"-h", "--bogus"}).Out, result.Out);

  result = Run({"--version", "--bogus"});
  EXPECT_EQ(result.Status, kExitSuccess);
  EXPECT_EQ(result.Out, "hdtree-list " HDTREE_VERSION "\n");

  result = Run({"--drives"}, true);
  EXPECT_EQ(result.Status, kExitSuccess);
  EXPECT_EQ(result.Out, "c: /\ne: " + root_.string() + "\n");
}

TEST_F(CliTest, ChosenSaveWritesTheNamedFileExactly) {
  const fs::path work = base_ / "work";
  fs::create_directory(work);
  fs::current_path(work);
  std::ofstream(work / "report") << "an earlier, longer report that must not survive in part";

  // A relative name without an extension is taken as it stands.
  Result result = Run({"-o", "report", root_.string()});
  EXPECT_EQ(result.Status, kExitSuccess) << result.Err;
  EXPECT_EQ(ReadFile(work / "report"), AsReport(Expected(kSjis, false)));
  EXPECT_FALSE(fs::exists(work / "report.txt"));

  result = Run({"-a", "--sjis", "-o", (work / "all.txt").string(), root_.string()});
  EXPECT_EQ(result.Status, kExitSuccess) << result.Err;
  EXPECT_EQ(ReadFile(work / "all.txt"), AsReport(result.Out));
  EXPECT_EQ(result.Out, Expected(kSjis, true));
  EXPECT_EQ(fs::current_path(), work);
}

TEST_F(CliTest, AutomaticSaveWritesTheTreeFolderOfTheDrive) {
  fs::current_path(base_);
  const std::string folders = AsReport(Expected(kSjis, false));  // before Tree joins the root
  Result result = Run({"--auto", root_.string()});
  EXPECT_EQ(result.Status, kExitSuccess) << result.Err;
  EXPECT_EQ(ReadFile(root_ / "Tree" / "TreeFol.txt"), folders);
  EXPECT_FALSE(fs::exists(root_ / "Tree" / "TreeAll.txt"));
  // The save goes to the drive root; the current directory is given back afterwards.
  EXPECT_EQ(fs::current_path(), base_);

  // With --all, the other report beside it; the folders-only report stays as it was.
  result = Run({"--all", "--auto", "--letter", "e", root_.string()});
  EXPECT_EQ(result.Status, kExitSuccess) << result.Err;
  const std::string all = ReadFile(root_ / "Tree" / "TreeAll.txt");
  EXPECT_EQ(all.substr(0, 5), "e:\r\n ");
  EXPECT_NE(all.find("b.txt........3KB.....1997/05/12 9:30:24 \r\n "), std::string::npos);
  EXPECT_NE(all.find(" Tree <Folder>\r\n "), std::string::npos);
  EXPECT_EQ(ReadFile(root_ / "Tree" / "TreeFol.txt"), folders);
}

TEST_F(CliTest, AFailedSaveExitsWith1AndLeavesWhatWasThere) {
  const std::string missing = (base_ / "missing" / "tree.txt").string();
  Result result = Run({"-o", missing, root_.string()});
  EXPECT_EQ(result.Status, kExitFailure);
  EXPECT_EQ(result.Out, Expected(kUtf8, false));  // the listing itself was done
  EXPECT_EQ(result.Err.rfind("総ファイル数＝4\nhdtree-list: ", 0), 0u) << result.Err;
  EXPECT_NE(result.Err.find(missing), std::string::npos) << result.Err;
  EXPECT_EQ(result.Err.back(), '\n');
  EXPECT_FALSE(fs::exists(base_ / "missing"));

  // A folder where the report should go.
  fs::create_directory(base_ / "taken");
  result = Run({"-o", (base_ / "taken").string(), root_.string()});
  EXPECT_EQ(result.Status, kExitFailure);
  EXPECT_TRUE(fs::is_directory(base_ / "taken"));
  EXPECT_TRUE(fs::is_empty(base_ / "taken"));

  // A file named Tree in the drive root stands where the report folder would be.
  const std::string earlier = "an earlier file called Tree\n";
  std::ofstream(root_ / "Tree") << earlier;
  result = Run({"--auto", root_.string()});
  EXPECT_EQ(result.Status, kExitFailure);
  EXPECT_NE(result.Err.find("hdtree-list: "), std::string::npos);
  EXPECT_EQ(ReadFile(root_ / "Tree"), earlier);
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 3);
}

TEST_F(CliTest, AStandardOutputThatCannotBeWrittenIsAFailure) {
  std::ostream broken(nullptr);
  std::ostringstream err;
  EXPECT_EQ(RunCli({root_.string()}, broken, err, Drives()), kExitFailure);
  EXPECT_EQ(err.str(), "hdtree-list: cannot write the listing to standard output\n");
}

// Enough lines for several output pieces, each a name of two-byte characters: every line arrives
// whole and in order, converted, and none is lost between pieces. (Empty files: they cost the
// disk little to make and remove.)
TEST_F(CliTest, LongListingsArriveWhole) {
  const fs::path wide = base_ / "wide";
  fs::create_directory(wide);
  std::string stem;
  std::string sjisStem;
  for (int i = 0; i < 80; ++i) {
    stem += "表";
    sjisStem += "\x95\x5C";
  }
  constexpr int kFiles = 7000;
  const std::time_t mtime = Utc(2001, 2, 3, 4, 5, 6);
  for (int i = 0; i < kFiles; ++i) WriteFile(wide / (stem + std::to_string(i)), 0, mtime);

  std::vector<std::string> order;
  for (const auto& entry : fs::directory_iterator(wide)) order.push_back(entry.path().filename());
  auto expected = [&](const Encoding& e, const std::string& shownStem) {
    std::string text = "z:\n";
    for (std::size_t i = 0; i < order.size(); ++i) {
      text += (i + 1 == order.size() ? e.Corner : e.Tee) + " " + shownStem +
              order[i].substr(stem.size()) + "........1KB.....2001/02/03 4:05:06 \n";
    }
    return text;
  };

  for (bool sjis : {false, true}) {
    std::vector<std::string> args{"--all", wide.string()};
    if (sjis) args.push_back("--sjis");
    const Result result = Run(args);
    const Encoding& e = sjis ? kSjis : kUtf8;
    EXPECT_EQ(result.Status, kExitSuccess);
    EXPECT_GT(result.Out.size(), std::size_t{1} << 20);  // more than one output piece
    EXPECT_TRUE(result.Out == expected(e, sjis ? sjisStem : stem)) << "the listing differs";
    EXPECT_EQ(result.Err, e.CountLabel + std::to_string(kFiles) + "\n");
  }
}

}  // namespace
}  // namespace hdtree
