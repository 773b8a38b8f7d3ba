#include "hdtree/platform/host_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "hdtree/platform/dostime.h"
#include "platform_support.h"

namespace hdtree {
namespace {

using testing::TempFolder;
using testing::TempMount;
using testing::WriteFile;

struct Found {
  std::string host;
  AnsiString name;
  int attr;
  std::int64_t size;
};

std::vector<Found> Search(DirectorySearch& search, const AnsiString& pattern,
                          const std::string* hostRelative = nullptr) {
  std::vector<Found> found;
  TSearchRec rec;
  SearchGuard guard(search, rec);
  const int first = hostRelative ? search.FindFirstIn(pattern, *hostRelative, faAnyFile, rec)
                                 : search.FindFirst(pattern, faAnyFile, rec);
  if (first != kSearchFound) {
    EXPECT_EQ(rec.FindHandle, nullptr) << "a failed start leaves a search open";
    return found;
  }
  do {
    found.push_back({rec.HostName, rec.Name, rec.Attr, rec.Size});
  } while (search.FindNext(rec) == kSearchFound);
  return found;
}

// The host's own order of a folder's entries, without "." and "..".
std::vector<std::string> ReaddirOrder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

void SetTime(const std::string& path, std::int64_t seconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

constexpr std::int64_t kMemoTime = 863429425;    // 1997-05-12 9:30:25 UTC
constexpr std::int64_t kFolderTime = 865123200;  // 1997-06-01 0:00:00 UTC
constexpr std::int64_t kOldTime = 86400;         // 1970-01-02, before the packed range

class HostSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    const std::string docs = folder / "Docs";
    fs::create_directories(docs + "/sub");
    fs::create_directories(docs + "/.git");
    fs::create_directories(docs + "/ro");
    WriteFile(docs + "/memo.txt", std::string(1500, 'm'));
    WriteFile(docs + "/.profile", "x");
    WriteFile(docs + "/rofile", "x");
    WriteFile(docs + "/old.txt", "");
    chmod((docs + "/ro").c_str(), 0555);
    chmod((docs + "/rofile").c_str(), 0444);
    symlink("sub", (docs + "/to-folder").c_str());
    symlink("memo.txt", (docs + "/to-file").c_str());
    symlink("nowhere", (docs + "/broken").c_str());
    mkfifo((docs + "/fifo").c_str(), 0666);
    const int big = open((docs + "/big").c_str(), O_WRONLY | O_CREAT, 0666);
    ftruncate(big, 5LL << 30);  // sparse: 5 GiB without the disk space
    close(big);
    WriteFile(folder / "top.txt", "top");
    SetTime(docs + "/memo.txt", kMemoTime);
    SetTime(docs + "/old.txt", kOldTime);
    SetTime(docs, kFolderTime);
    drives.Assign('x', folder.Path());
  }

  TempFolder folder;
  DriveTable drives;
  HostDirectorySearch search{drives};
};

TEST_F(HostSearchTest, RootHasNoDotsAndKeepsTheHostOrder) {
  std::vector<std::string> names;
  for (const Found& f : Search(search, "x:\\*.*")) names.push_back(f.host);
  EXPECT_EQ(names, ReaddirOrder(folder.Path()));
}

TEST_F(HostSearchTest, FolderBelowTheRoot) {
  const std::vector<Found> found = Search(search, "x:\\Docs\\*.*");
  ASSERT_GE(found.size(), 2u);
  EXPECT_EQ(found[0].name, ".");
  EXPECT_EQ(found[1].name, "..");
  EXPECT_EQ(found[0].attr, faDirectory);
  EXPECT_EQ(found[1].attr, faDirectory);
  std::vector<std::string> rest;
  for (std::size_t i = 2; i < found.size(); ++i) rest.push_back(found[i].host);
  EXPECT_EQ(rest, ReaddirOrder(folder / "Docs"));

  const std::map<std::string, std::pair<int, std::int64_t>> expected = {
      {".", {16, 0}},           {"..", {16, 0}},       {"sub", {16, 0}},
      {".git", {18, 0}},        {"ro", {17, 0}},       {"to-folder", {1040, 0}},
      {"to-file", {1024, 0}},   {"broken", {1024, 0}}, {"memo.txt", {32, 1500}},
      {".profile", {34, 1}},    {"rofile", {33, 1}},   {"fifo", {32, 0}},
      {"big", {32, 5LL << 30}}, {"old.txt", {32, 0}},
  };
  ASSERT_EQ(found.size(), expected.size());
  for (const Found& f : found) {
    const auto it = expected.find(f.host);
    ASSERT_NE(it, expected.end()) << f.host;
    EXPECT_EQ(f.attr, it->second.first) << f.host;
    EXPECT_EQ(f.size, it->second.second) << f.host;
    EXPECT_EQ(f.name, f.host);
  }
}

TEST_F(HostSearchTest, ModificationTimes) {
  testing::ZoneSetting utc("UTC");
  std::map<std::string, std::string> texts;
  TSearchRec rec;
  ASSERT_EQ(search.FindFirst("x:\\Docs\\*.*", faAnyFile, rec), kSearchFound);
  do {
    texts[rec.HostName] =
        rec.HasPackedTime ? DosDateTimeText(rec.Time) : HostDateTimeText(rec.HostTime);
    if (rec.HostName == "memo.txt") {
      EXPECT_EQ(rec.Time, *PackDosTime(kMemoTime));
    }
    if (rec.HostName == "old.txt") {
      EXPECT_FALSE(rec.HasPackedTime);
      EXPECT_EQ(rec.HostTime, kOldTime);
    }
  } while (search.FindNext(rec) == kSearchFound);
  search.FindClose(rec);
  EXPECT_EQ(texts["memo.txt"], "1997/05/12 9:30:24");
  EXPECT_EQ(texts["old.txt"], "1970/01/02");
  EXPECT_EQ(texts["."], "1997/06/01");  // the folder's own time
  EXPECT_EQ(texts[".."], "1997/06/01");
}

TEST_F(HostSearchTest, FindsNothingWhereThereIsNoFolder) {
  EXPECT_TRUE(Search(search, "x:\\Missing\\*.*").empty());
  EXPECT_TRUE(Search(search, "x:\\top.txt\\*.*").empty());
  EXPECT_TRUE(Search(search, "x:\\Docs\\fifo\\*.*").empty());
  EXPECT_TRUE(Search(search, "q:\\*.*").empty());
  EXPECT_TRUE(Search(search, "").empty());
  const std::string missing = "/Missing";
  EXPECT_TRUE(Search(search, "x:\\Missing\\*.*", &missing).empty());

  std::filesystem::create_directories(folder / "empty");
  const std::vector<Found> empty = Search(search, "x:\\empty\\*.*");
  ASSERT_EQ(empty.size(), 2u);  // "." and ".." alone
}

TEST_F(HostSearchTest, LooksUpOneEntry) {
  const std::vector<Found> memo = Search(search, "x:\\Docs\\memo.txt");
  ASSERT_EQ(memo.size(), 1u);
  EXPECT_EQ(memo[0].name, "memo.txt");
  EXPECT_EQ(memo[0].attr, faArchive);
  EXPECT_EQ(memo[0].size, 1500);
  const std::vector<Found> docs = Search(search, "x:\\Docs");
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0].attr, faDirectory);
  EXPECT_EQ(Search(search, "x:\\Docs\\broken").size(), 1u);  // the link itself exists
  EXPECT_TRUE(Search(search, "x:\\Docs\\none.txt").empty());
  EXPECT_TRUE(Search(search, "x:\\Missing\\memo.txt").empty());
}

TEST_F(HostSearchTest, ReachesFoldersByTheirHostNames) {
  // Two names that both show as "a?b", and 表, whose Shift-JIS form ends in the byte 5C.
  const std::string names[] = {
      "a\xFF"
      "b",
      "a\xC2\xA5"
      "b",
      "\xE8\xA1\xA8"};
  for (const std::string& name : names) {
    std::filesystem::create_directories(folder / name);
    WriteFile(folder / (name + "/inside-" + std::to_string(name.size())), "");
  }
  std::vector<AnsiString> shown;
  for (const Found& f : Search(search, "x:\\*.*")) shown.push_back(f.name);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "a?b"), 2);

  for (const std::string& name : names) {
    const std::string relative = "/" + name;
    const std::vector<Found> found = Search(search, "x:\\a?b\\*.*", &relative);
    ASSERT_EQ(found.size(), 3u) << name;
    EXPECT_EQ(found[2].host, "inside-" + std::to_string(name.size()));
  }
  // The drive path of 表 reaches it too: its trail byte is no separator.
  const std::vector<Found> table = Search(search, "x:\\\x95\x5C\\*.*");
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[2].host, "inside-3");
}

TEST_F(HostSearchTest, EntriesRemovedDuringTheSearchAreLeftOut) {
  const std::string crowd = folder / "crowd";
  std::filesystem::create_directories(crowd);
  for (int i = 0; i < 200; ++i) WriteFile(crowd + "/f" + std::to_string(i), "");
  drives.Assign('y', crowd);
  TSearchRec rec;
  ASSERT_EQ(search.FindFirst("y:\\*.*", faAnyFile, rec), kSearchFound);  // reads a batch
  const std::string first = rec.HostName;
  for (int i = 0; i < 200; ++i) unlink((crowd + "/f" + std::to_string(i)).c_str());
  int later = 0;
  while (search.FindNext(rec) == kSearchFound) ++later;
  search.FindClose(rec);
  EXPECT_EQ(later, 0) << "after " << first;
}

TEST_F(HostSearchTest, MountPointIsNoFolder) {
  const std::string point = folder / "volume";
  std::filesystem::create_directories(point);
  TempMount mount(point, "size=64k");
  if (!mount.Error().empty()) GTEST_SKIP() << mount.Error();
  for (const Found& f : Search(search, "x:\\*.*")) {
    if (f.host == "volume") {
      EXPECT_EQ(f.attr, faDirectory | faReparsePoint);
    }
  }
  // Listed on its own drive, the volume's root is a root like any other.
  drives.Assign('v', point);
  WriteFile(point + "/inside", "");
  const std::vector<Found> inside = Search(search, "v:\\*.*");
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_EQ(inside[0].attr, faArchive);
}

TEST_F(HostSearchTest, NoDescriptorStaysOpen) {
  const int before = testing::OpenDescriptors();
  for (int i = 0; i < 1000; ++i) {
    TSearchRec rec;
    search.FindFirst("x:\\Docs\\*.*", faAnyFile, rec);  // ended early, by FindClose
    search.FindNext(rec);
    search.FindClose(rec);
    ASSERT_EQ(search.FindFirst("x:\\*.*", faAnyFile, rec), kSearchFound);  // run to the end
    while (search.FindNext(rec) == kSearchFound) {
    }
    search.FindClose(rec);
    search.FindFirst("x:\\Missing\\*.*", faAnyFile, rec);  // failed
    search.FindClose(rec);
    search.FindFirst("x:\\Docs\\memo.txt", faAnyFile, rec);
    search.FindFirst("x:\\Docs\\*.*", faAnyFile, rec);  // a new start ends the last search
    TSearchRec dropped;
    search.FindFirst("x:\\Docs\\*.*", faAnyFile, dropped);  // ended with its record
  }
  EXPECT_EQ(testing::OpenDescriptors(), before);
}

}  // namespace
}  // namespace hdtree
