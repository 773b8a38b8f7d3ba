#include "hdtree/platform/report_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "hdtree/platform/file_system.h"
#include "platform_support.h"

namespace hdtree {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::TempMount;
using testing::WriteFile;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// The message of the FileError that f throws.
template <typename F>
std::string FailureOf(F f) {
  try {
    f();
  } catch (const FileError& e) {
    return e.what();
  }
  return "no FileError";
}

class ReportFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
  const std::string target = folder / "TreeAll.txt";
};

TEST_F(ReportFileTest, WritesTheBytesAndPutsThemInPlaceOnCommit) {
  WriteFile(target, "earlier report");
  chmod(target.c_str(), 0640);
  std::string bytes = "c:\r\n \x84\xA5\x84\x9F A\r\n ";
  for (int i = 0; i < 40000; ++i) bytes += "\x84\xA0  line " + std::to_string(i) + "\r\n ";
  {
    auto report = ReportFile::Create(target);
    EXPECT_EQ(report->TargetPath(), target);
    for (std::size_t at = 0; at < bytes.size(); at += 777) report->Write(bytes.substr(at, 777));
    EXPECT_EQ(ReadFile(target), "earlier report");  // untouched until the commit
    report->Commit();
  }
  EXPECT_EQ(ReadFile(target), bytes);
  EXPECT_EQ(ModeOf(target), 0640u);  // the replaced file's mode
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"TreeAll.txt"});
}

TEST_F(ReportFileTest, NewReportGetsTheModeOfANewFile) {
  const mode_t old = umask(027);
  {
    auto report = ReportFile::Create(target);
    report->Write("c:\r\n ");
    report->Commit();
  }
  umask(old);
  EXPECT_EQ(ReadFile(target), "c:\r\n ");
  EXPECT_EQ(ModeOf(target), 0640u);
}

TEST_F(ReportFileTest, UncommittedReportLeavesNothing) {
  WriteFile(target, "earlier report");
  {
    auto report = ReportFile::Create(target);
    report->Write(std::string(3 << 20, 'x'));  // large enough to be written out already
  }
  EXPECT_EQ(ReadFile(target), "earlier report");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"TreeAll.txt"});
}

TEST_F(ReportFileTest, FollowsALinkToTheFileItNames) {
  std::filesystem::create_directories(folder / "real");
  WriteFile(folder / "real/report.txt", "earlier");
  symlink("real/report.txt", target.c_str());
  symlink("real/new.txt", (folder / "dangling").c_str());
  for (const std::string& link : {target, folder / "dangling"}) {
    auto report = ReportFile::Create(link);
    report->Write("new");
    report->Commit();
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << link;
    EXPECT_EQ(ReadFile(link), "new") << link;
  }
  EXPECT_EQ(Entries(folder / "real"), (std::vector<std::string>{"new.txt", "report.txt"}));
}

TEST_F(ReportFileTest, CannotOpenNamesPathAndReason) {
  std::filesystem::create_directories(folder / "in-the-way");
  const std::string inTheWay = folder / "in-the-way";
  const std::string missing = folder / "missing/TreeAll.txt";
  EXPECT_EQ(FailureOf([&] { ReportFile::Create(inTheWay); }),
            "cannot open " + inTheWay + ": Is a directory");
  EXPECT_EQ(FailureOf([&] { ReportFile::Create(missing); }),
            "cannot open " + missing + ": No such file or directory");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"in-the-way"});
}

TEST_F(ReportFileTest, FullVolumeKeepsTheEarlierReport) {
  const std::string volume = folder / "volume";
  std::filesystem::create_directories(volume);
  TempMount mount(volume, "size=256k");
  if (!mount.Error().empty()) GTEST_SKIP() << mount.Error();
  const std::string report = volume + "/TreeAll.txt";
  WriteFile(report, "earlier report");

  auto file = ReportFile::Create(report);
  const std::string message = FailureOf([&] {
    for (int i = 0; i < 8; ++i) file->Write(std::string(128 << 10, 'x'));
    file->Commit();
  });
  EXPECT_EQ(message, "cannot write " + report + ": No space left on device");
  // The failed stream is never used again.
  EXPECT_THROW(file->Write("more"), FileError);
  EXPECT_THROW(file->Commit(), FileError);
  file.reset();
  EXPECT_EQ(ReadFile(report), "earlier report");
  EXPECT_EQ(Entries(volume), std::vector<std::string>{"TreeAll.txt"});
}

TEST_F(ReportFileTest, HostFileSystemGoesThroughTheDrives) {
  const auto saved = std::filesystem::current_path();
  DriveTable drives;
  drives.Assign('x', folder.Path());
  HostFileSystem fs(drives);
  EXPECT_TRUE(fs.ChangeDirectory("x:\\"));
  EXPECT_TRUE(fs.CreateFolder("Tree"));
  EXPECT_FALSE(fs.CreateFolder("Tree"));
  EXPECT_TRUE(fs.ChangeDirectory("x:"));
  for (const std::string& path : {std::string("x:\\Tree\\TreeAll.txt"), folder / "Tree/Fol.txt"}) {
    auto report = fs.OpenReport(path);
    report->Write("c:\r\n ");
    report->Commit();
  }
  EXPECT_EQ(ReadFile(folder / "Tree/TreeAll.txt"), "c:\r\n ");
  EXPECT_EQ(ReadFile(folder / "Tree/Fol.txt"), "c:\r\n ");
  EXPECT_EQ(FailureOf([&] { fs.OpenReport("q:\\Tree\\TreeAll.txt"); }),
            "cannot open q:\\Tree\\TreeAll.txt: No such drive");
  EXPECT_FALSE(fs.ChangeDirectory("q:\\"));
  std::filesystem::current_path(saved);
}

}  // namespace
}  // namespace hdtree
