#include "hdtree/platform/scripted_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hdtree {
namespace {

std::vector<std::string> Names(DirectorySearch& search, const AnsiString& path) {
  std::vector<std::string> names;
  TSearchRec rec;
  SearchGuard guard(search, rec);
  if (search.FindFirst(path, faAnyFile, rec) != kSearchFound) return names;
  do {
    names.push_back(rec.Name);
  } while (search.FindNext(rec) == kSearchFound);
  return names;
}

ScriptedEntry Entry(AnsiString name, int attr = faArchive, std::int64_t size = 0,
                    std::uint32_t time = 0, std::optional<std::int64_t> hostTime = {}) {
  ScriptedEntry e;
  e.Name = std::move(name);
  e.Attr = attr;
  e.Size = size;
  e.Time = time;
  e.HostTime = hostTime;
  return e;
}

class ScriptedSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    search.SetFolder("e:\\Docs\\*.*", {Entry(".", faDirectory), Entry("..", faDirectory),
                                       Entry("memo.txt", faArchive, 1500, 0x22AC4BCC),
                                       Entry("old.txt", faArchive, 10, 0, -86400)});
    search.SetFolder("e:\\*.*", {Entry("Docs", faDirectory), Entry("\x95\x5C", faDirectory)});
    search.SetFolder("e:\\\x95\x5C\\*.*", {Entry("a.txt")});
  }
  ScriptedDirectorySearch search;
};

TEST_F(ScriptedSearchTest, DeliversFolderEntriesInOrder) {
  EXPECT_EQ(Names(search, "e:\\Docs\\*.*"),
            (std::vector<std::string>{".", "..", "memo.txt", "old.txt"}));
  EXPECT_TRUE(Names(search, "e:\\Missing\\*.*").empty());
  EXPECT_EQ(search.OpenSearches(), 0);
  EXPECT_EQ(search.Started(), (std::vector<AnsiString>{"e:\\Docs\\*.*", "e:\\Missing\\*.*"}));
}

TEST_F(ScriptedSearchTest, FillsTheRecord) {
  TSearchRec rec;
  ASSERT_EQ(search.FindFirst("e:\\Docs\\memo.txt", faAnyFile, rec), kSearchFound);
  EXPECT_EQ(rec.Name, "memo.txt");
  EXPECT_EQ(rec.HostName, "memo.txt");
  EXPECT_EQ(rec.Attr, faArchive);
  EXPECT_EQ(rec.Size, 1500);
  EXPECT_TRUE(rec.HasPackedTime);
  EXPECT_EQ(rec.Time, 0x22AC4BCCu);
  EXPECT_NE(search.FindNext(rec), kSearchFound);  // an entry lookup finds that entry alone
  EXPECT_EQ(search.OpenSearches(), 1);

  ASSERT_EQ(search.FindFirst("e:\\Docs\\old.txt", faAnyFile, rec), kSearchFound);
  EXPECT_FALSE(rec.HasPackedTime);
  EXPECT_EQ(rec.HostTime, -86400);
  search.FindClose(rec);
}

TEST_F(ScriptedSearchTest, EntryLookupSplitsOnlyAtSeparators) {
  TSearchRec rec;
  // 表 ends in the byte 5C: the folder is "e:\表", not "e:\" followed by a lead byte.
  EXPECT_EQ(search.FindFirst("e:\\\x95\x5C\\a.txt", faAnyFile, rec), kSearchFound);
  search.FindClose(rec);
  EXPECT_EQ(search.FindFirst("e:\\\x95\x5C", faAnyFile, rec), kSearchFound);
  EXPECT_EQ(rec.Name, "\x95\x5C");
  search.FindClose(rec);
  EXPECT_NE(search.FindFirst("e:\\Docs\\none.txt", faAnyFile, rec), kSearchFound);
  EXPECT_NE(search.FindFirst("e:\\Missing\\a.txt", faAnyFile, rec), kSearchFound);
  EXPECT_EQ(rec.FindHandle, nullptr);
  EXPECT_EQ(search.OpenSearches(), 0);
}

TEST_F(ScriptedSearchTest, EndsSafelyWithoutAnOpenSearch) {
  TSearchRec rec;
  search.FindClose(rec);
  EXPECT_NE(search.FindNext(rec), kSearchFound);
  EXPECT_EQ(search.OpenSearches(), 0);

  search.FailFolder("e:\\Docs\\*.*");
  EXPECT_NE(search.FindFirst("e:\\Docs\\*.*", faAnyFile, rec), kSearchFound);
  EXPECT_NE(search.FindFirst("e:\\Docs\\memo.txt", faAnyFile, rec), kSearchFound);
  EXPECT_EQ(search.OpenSearches(), 0);
}

TEST_F(ScriptedSearchTest, RecordsHostPathsAndHookSeesEachEntryFirst) {
  std::vector<std::string> seen;
  search.OnDeliver([&](const ScriptedEntry& entry) {
    seen.push_back(entry.Name);
    if (entry.Name == "memo.txt") throw std::runtime_error("stop");
  });
  TSearchRec rec;
  ASSERT_EQ(search.FindFirstIn("e:\\Docs\\*.*", "/Docs", faAnyFile, rec), kSearchFound);
  EXPECT_EQ(search.FindNext(rec), kSearchFound);
  EXPECT_THROW(search.FindNext(rec), std::runtime_error);
  EXPECT_EQ(rec.Name, "..");  // the record was not filled with the entry that failed
  EXPECT_EQ(search.OpenSearches(), 1);
  search.FindClose(rec);
  EXPECT_EQ(search.OpenSearches(), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{".", "..", "memo.txt"}));
  EXPECT_EQ(search.Started(), std::vector<AnsiString>{"e:\\Docs\\*.*"});
  EXPECT_EQ(search.StartedHost(), std::vector<std::string>{"/Docs"});
}

}  // namespace
}  // namespace hdtree
