// Entries that change while the walk runs. An entry that is gone by the time its attributes are
// read is left out; a folder replaced by a file or a link is not entered; nothing raises, and
// the rest of the drive is listed as usual.
#include <gtest/gtest.h>

#include <string>

#include "hostile_support.h"

namespace hdtree::hostile {
namespace {

constexpr std::string_view kAllEntries = "\\*.*";

bool IsFolderSearch(const AnsiString& pattern, std::string_view folder) {
  return pattern == "z:" + std::string(folder) + std::string(kAllEntries);
}

TEST(ChangingTree, FileRemovedAfterItsFolderIsReadIsLeftOut) {
  TempDir dir;
  MakeDir(dir / "docs");
  for (const char* name : {"a.txt", "victim.txt", "b.txt", "c.txt"}) {
    MakeFile(dir / ("docs/" + std::string(name)), 100);
  }

  DriveRun run(dir.Path());
  ChangingSearch changing(run.host);
  // Once docs has delivered its first own entry, the folder has been read; victim.txt goes
  // before its attributes are read (unless it was that first entry).
  bool removed = false;
  bool deliveredFirst = false;
  changing.BeforeNext = [&](int) {
    const AnsiString& last = run.state.SearchRec.Name;
    const bool docsEntry = last.size() > 4 && last.compare(last.size() - 4, 4, ".txt") == 0;
    if (removed || !docsEntry) return;
    deliveredFirst = last == "victim.txt";
    Require(unlink((dir / "docs/victim.txt").c_str()) == 0, "unlink");
    removed = true;
  };
  ASSERT_NO_THROW(run.List(&changing));
  ASSERT_TRUE(removed);

  for (const char* name : {"a.txt", "b.txt", "c.txt"}) EXPECT_EQ(run.Count(name), 1) << name;
  EXPECT_EQ(run.Count("victim.txt"), deliveredFirst ? 1 : 0);
  EXPECT_EQ(run.state.LastLine, 2 + 3 + (deliveredFirst ? 1 : 0));
}

TEST(ChangingTree, EveryEntryRemovedMidSearchEndsTheFolderQuietly) {
  TempDir dir;
  MakeDir(dir / "docs");
  for (int i = 0; i < 50; ++i) MakeFile(dir / ("docs/f" + std::to_string(i)));
  MakeDir(dir / "later");
  MakeFile(dir / "later/kept.txt");

  DriveRun run(dir.Path());
  ChangingSearch changing(run.host);
  bool removed = false;
  changing.BeforeNext = [&](int) {
    // Once docs has delivered its first file, the whole folder goes.
    if (removed || run.state.SearchRec.Name.rfind('f', 0) != 0) return;
    std::filesystem::remove_all(dir / "docs");
    removed = true;
  };
  ASSERT_NO_THROW(run.List(&changing));
  ASSERT_TRUE(removed);

  EXPECT_EQ(run.Count("kept.txt"), 1);
  for (const auto& line : run.Lines()) EXPECT_TRUE(IsWellFormedSjis(line)) << line;
}

TEST(ChangingTree, FolderReplacedByFileBeforeItIsWalkedIsNotEntered) {
  TempDir dir;
  MakeDir(dir / "sub");
  MakeFile(dir / "sub/old.txt");
  MakeDir(dir / "next");
  MakeFile(dir / "next/kept.txt");

  DriveRun run(dir.Path());
  ChangingSearch changing(run.host);
  changing.AfterFirst = [&](const AnsiString& pattern) {
    if (!IsFolderSearch(pattern, "")) return;  // while the root is read
    std::filesystem::remove_all(dir / "sub");
    WriteFile(dir / "sub", "now a file");
  };
  ASSERT_NO_THROW(run.List(&changing));

  EXPECT_EQ(run.Count("old.txt"), 0);
  EXPECT_EQ(run.Count(" sub <Folder>"), 0) << "a file's search finds nothing";
  EXPECT_EQ(run.Count("kept.txt"), 1);
}

TEST(ChangingTree, FolderReplacedByLinkToAnotherFolderIsNotFollowed) {
  // The walk stored sub (or sub\inner) as a folder; by the time it lists it, sub is a link to a
  // folder elsewhere. Links are never entered, so nothing of that folder appears.
  for (const bool belowSub : {false, true}) {
    SCOPED_TRACE(belowSub ? "replaced once sub has been read" : "replaced once the root is read");
    TempDir dir;
    TempDir outside;
    MakeFile(outside / "outside.txt");
    MakeDir(outside / "inner");
    MakeFile(outside / "inner/outside-inner.txt");
    MakeDir(dir / "sub");
    MakeDir(dir / "sub/inner");
    MakeFile(dir / "sub/inner/old.txt");

    DriveRun run(dir.Path());
    ChangingSearch changing(run.host);
    bool replaced = false;
    auto replace = [&] {
      if (replaced) return;
      replaced = true;
      std::filesystem::remove_all(dir / "sub");
      Require(symlink(outside.Path().c_str(), (dir / "sub").c_str()) == 0, "symlink");
    };
    if (belowSub) {
      // Right after sub's listing has delivered inner, its last entry.
      changing.BeforeNext = [&](int) {
        if (run.state.SearchRec.Name == "inner") replace();
      };
    } else {
      changing.AfterFirst = [&](const AnsiString& pattern) {
        if (IsFolderSearch(pattern, "")) replace();
      };
    }
    ASSERT_NO_THROW(run.List(&changing));
    ASSERT_TRUE(replaced);

    EXPECT_EQ(run.Count("outside.txt"), 0);
    EXPECT_EQ(run.Count("outside-inner.txt"), 0);
    EXPECT_EQ(run.Count("old.txt"), 0);
  }
}

TEST(ChangingTree, FileReplacedByFolderIsListedAsTheFileItWas) {
  TempDir dir;
  MakeFile(dir / "thing", 3000);
  MakeDir(dir / "other");

  DriveRun run(dir.Path());
  ChangingSearch changing(run.host);
  changing.AfterFirst = [&](const AnsiString& pattern) {
    if (!IsFolderSearch(pattern, "")) return;
    Require(unlink((dir / "thing").c_str()) == 0, "unlink");
    MakeDir(dir / "thing");
    MakeFile(dir / "thing/new.txt");
  };
  ASSERT_NO_THROW(run.List(&changing));

  // Either it was read as the file it was, or as the folder it became; never half of each.
  const bool walked = run.Count("thing <Folder>") == 1;
  EXPECT_EQ(run.Count("new.txt"), walked ? 1 : 0);
  const std::string file = run.Find("thing.....");
  if (!file.empty()) {
    EXPECT_NE(file.find("thing........3KB....."), std::string::npos) << file;
  }
}

}  // namespace
}  // namespace hdtree::hostile
