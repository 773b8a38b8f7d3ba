// The walk's search (FindFirstIn), which reaches each folder through the descriptor of its
// parent and keeps the folders of the current path open: it delivers what a search by drive path
// does, in any order of folders, keeps no more open than the path, and closes all on release.
// Without file details it still tells every folder exactly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "hdtree/platform/host_search.h"
#include "platform_support.h"

namespace hdtree {
namespace {

using testing::TempFolder;
using testing::WriteFile;

struct Entry {
  std::string Host;
  AnsiString Name;
  int Attr;
  std::int64_t Size;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> Drain(DirectorySearch& search, TSearchRec& rec, int first) {
  std::vector<Entry> found;
  if (first != kSearchFound) return found;
  do {
    found.push_back({rec.HostName, rec.Name, rec.Attr, rec.Size});
  } while (search.FindNext(rec) == kSearchFound);
  search.FindClose(rec);
  return found;
}

// "x:\a\b\*.*" and "/a/b" for the names a, b.
std::pair<AnsiString, std::string> Paths(const std::vector<std::string>& names) {
  AnsiString drivePath = "x:";
  std::string host;
  for (const std::string& name : names) {
    drivePath += "\\" + name;
    host += "/" + name;
  }
  return {drivePath + "\\*.*", host};
}

class FolderChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    for (const char* folder : {"a/b/c", "a/d", "e", ".hidden", "ro"}) {
      fs::create_directories(root / folder);
    }
    WriteFile(root / "a/b/c/deep.txt", "deep");
    WriteFile(root / "a/b/one.txt", std::string(3000, 'x'));
    WriteFile(root / "a/.dot", "x");
    WriteFile(root / "top.txt", "top");
    symlink("a", (root / "to-a").c_str());
    symlink("top.txt", (root / "to-top").c_str());
    chmod((root / "ro").c_str(), 0555);
    drives.Assign('x', root.Path());
  }

  std::vector<Entry> ByDrivePath(const std::vector<std::string>& names) {
    TSearchRec rec;
    return Drain(plain, rec, plain.FindFirst(Paths(names).first, faAnyFile, rec));
  }
  std::vector<Entry> ByChain(const std::vector<std::string>& names) {
    const auto [drivePath, host] = Paths(names);
    TSearchRec rec;
    return Drain(chain, rec, chain.FindFirstIn(drivePath, host, faAnyFile, rec));
  }

  TempFolder root;
  DriveTable drives;
  HostDirectorySearch plain{drives};
  HostDirectorySearch chain{drives};
};

TEST_F(FolderChainTest, DeliversWhatTheDrivePathDoesInAnyOrderAndClosesAllOnRelease) {
  const int before = testing::OpenDescriptors();
  // A walk's order, then jumps back, sideways, to a folder read before, and to a missing one.
  const std::vector<std::vector<std::string>> order = {
      {},         {"a"},      {"a", "b"}, {"a", "b", "c"}, {"a", "d"},  {"e"},
      {"a", "b"}, {"a", "b"}, {},         {"a", "b", "c"}, {"missing"}, {"a", "missing", "c"},
      {"e"}};
  for (const auto& names : order) {
    SCOPED_TRACE(Paths(names).second);
    const std::vector<Entry> expected = ByDrivePath(names);
    EXPECT_EQ(ByChain(names), expected);
    const bool missing = std::find(names.begin(), names.end(), "missing") != names.end();
    EXPECT_EQ(expected.empty(), missing);
    // Open: at most the root and one folder per name of the path.
    EXPECT_LE(testing::OpenDescriptors(), before + static_cast<int>(names.size()) + 1);
  }
  chain.ReleaseFolders();
  EXPECT_EQ(testing::OpenDescriptors(), before);
}

TEST_F(FolderChainTest, TwoSearchesOfOneFolderAtOnceReadIndependently) {
  const std::vector<Entry> expected = ByDrivePath({"a", "b"});
  const auto [drivePath, host] = Paths({"a", "b"});
  TSearchRec first;
  TSearchRec second;
  ASSERT_EQ(chain.FindFirstIn(drivePath, host, faAnyFile, first), kSearchFound);
  ASSERT_EQ(chain.FindFirstIn(drivePath, host, faAnyFile, second), kSearchFound);
  std::vector<Entry> a{{first.HostName, first.Name, first.Attr, first.Size}};
  std::vector<Entry> b{{second.HostName, second.Name, second.Attr, second.Size}};
  for (;;) {
    const bool moreA = chain.FindNext(first) == kSearchFound;
    if (moreA) a.push_back({first.HostName, first.Name, first.Attr, first.Size});
    const bool moreB = chain.FindNext(second) == kSearchFound;
    if (moreB) b.push_back({second.HostName, second.Name, second.Attr, second.Size});
    if (!moreA && !moreB) break;
  }
  EXPECT_EQ(a, expected);
  EXPECT_EQ(b, expected);
}

// A folders-only listing needs no size or time, and of the rest only whether it is a folder:
// every entry keeps its name, every folder its exact attributes, and nothing else becomes 16.
TEST_F(FolderChainTest, WithoutFileDetailsFoldersStayExactAndNothingElseLooksLikeOne) {
  for (const std::vector<std::string>& names :
       std::vector<std::vector<std::string>>{{}, {"a"}, {"a", "b"}}) {
    const std::vector<Entry> full = ByDrivePath(names);
    chain.SetFileDetails(false);
    const std::vector<Entry> bare = ByChain(names);
    chain.SetFileDetails(true);
    ASSERT_EQ(bare.size(), full.size());
    for (std::size_t i = 0; i < full.size(); ++i) {
      SCOPED_TRACE(full[i].Host);
      EXPECT_EQ(bare[i].Host, full[i].Host);
      EXPECT_EQ(bare[i].Name, full[i].Name);
      EXPECT_EQ(bare[i].Attr == faDirectory, full[i].Attr == faDirectory);
      if ((full[i].Attr & faDirectory) != 0 && (full[i].Attr & faReparsePoint) == 0) {
        EXPECT_EQ(bare[i].Attr, full[i].Attr);
      }
    }
  }
  EXPECT_EQ(ByChain({"a", "b"}), ByDrivePath({"a", "b"}));  // details back: sizes again
}

// A name below the root is never followed as a link, also when the chain reached it before.
TEST_F(FolderChainTest, FolderReplacedByALinkIsNotEntered) {
  ASSERT_FALSE(ByChain({"e"}).empty());
  std::filesystem::remove_all(root / "e");
  symlink("a", (root / "e").c_str());
  EXPECT_TRUE(ByChain({"e"}).empty());
  EXPECT_TRUE(ByChain({"to-a"}).empty());
}

}  // namespace
}  // namespace hdtree
