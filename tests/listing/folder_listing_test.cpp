// One folder's listing (ListFolder) and the size and date annotation (FormatSizeDate).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "listing_support.h"

namespace hdtree::testing {
namespace {

using ::testing::ElementsAreArray;

// One listing: the state the walk leaves before it, the folder's entries, and what it leaves.
struct FolderCase {
  const char* Name;
  int Mode = kListAllFiles;
  AnsiString RelativePath{};
  std::vector<ScriptedEntry> Entries{};
  bool Fails = false;
  AnsiString FolderName{};
  AnsiString HeaderPrefix{};
  AnsiString ChildPrefix{};
  AnsiString EntryText{};  // left by the listing before
  int LastSibling = 0;
  int ListLevel = 0;
  int EntryCount = 0;
  int LastLine = 0;
  int PendingCorner = 1;
  // After the listing.
  std::vector<std::string> NewLines{};  // from the old LastLine + 1 on
  int LastLineAfter = 0;
  int EntryCountAfter = 0;
  int PendingCornerAfter = 0;
  int LastSiblingAfter = 0;
  AnsiString CornerLine{};
  std::vector<AnsiString> Row{};  // row ListLevel, columns 0 to EntryCountAfter - 1
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.Name; }

const std::vector<ScriptedEntry> kDocs = Below({
    File("memo.txt", 1500, Packed(1997, 5, 12, 9, 30, 24)),
    Folder("OLD"),
    File("big.dat", 2097152, Packed(1997, 6, 1, 0, 0, 0)),
    File("Private", 0, Packed(1997, 4, 1, 18, 0, 0), faDirectory | faReadOnly),
});
const std::string kMemoLine = kBarPiece + kTee + " memo.txt........2KB.....1997/05/12 9:30:24 ";
const std::string kBigLine = kBarPiece + kTee + " big.dat.....2049KB.....1997/06/01 ";
const std::string kPrivateText = "Private........1KB.....1997/04/01 18:00:00 ";

const std::vector<ScriptedEntry> kRoot = {
    Folder("WINDOWS"),
    File("COMMAND.COM", 93880, Packed(1996, 8, 24, 11, 11, 10)),
    Folder("TEMP"),
};

const FolderCase kFolderCases[] = {
    {.Name = "DocsAllFiles",
     .RelativePath = "\\DOCS",
     .Entries = kDocs,
     .FolderName = "DOCS",
     .ChildPrefix = kBarPiece,
     .ListLevel = 1,
     .LastLine = 5,
     .NewLines = {kTee + " DOCS <Folder>", kMemoLine, kBigLine,
                  kBarPiece + kTee + " " + kPrivateText},
     .LastLineAfter = 9,
     .EntryCountAfter = 3,
     .PendingCornerAfter = 1,
     .CornerLine = kBarPiece + kCorner + " " + kPrivateText,
     .Row = {".", "..", "OLD"}},
    {.Name = "DocsFoldersOnly",
     .Mode = kListFoldersOnly,
     .RelativePath = "\\DOCS",
     .Entries = kDocs,
     .FolderName = "DOCS",
     .ChildPrefix = kBarPiece,
     .ListLevel = 1,
     .LastLine = 5,
     .NewLines = {kTee + " DOCS <Folder>"},
     .LastLineAfter = 6,
     .EntryCountAfter = 3,
     .CornerLine = kCorner + " Private",
     .Row = {".", "..", "OLD"}},
    {.Name = "RootAllFiles",
     .Entries = kRoot,
     .EntryCount = 1,
     .NewLines = {kTee + "WINDOWS", kTee + " COMMAND.COM.......92KB.....1996/08/24 11:11:10 "},
     .LastLineAfter = 2,
     .EntryCountAfter = 3,
     .CornerLine = kCorner + " TEMP",
     .Row = {"Program Files", "WINDOWS", "TEMP"}},
    {.Name = "RootFoldersOnly",
     .Mode = kListFoldersOnly,
     .Entries = kRoot,
     .EntryCount = 1,
     .NewLines = {kTee + "WINDOWS"},
     .LastLineAfter = 1,
     .EntryCountAfter = 3,
     .CornerLine = kCorner + " TEMP",
     .Row = {"Program Files", "WINDOWS", "TEMP"}},
    // The first entry's line takes the header prefix, and a single entry leaves no corner to
    // fix; a Shift-JIS name whose trail byte is 5C is copied as it is.
    {.Name = "OnlyEntryIsAFile",
     .Entries = {File("\x95\x5C.txt", 10)},
     .HeaderPrefix = "HP",
     .ChildPrefix = "CP",
     .EntryCount = 1,
     .NewLines = {SmallFileLine("HP", kTee, "\x95\x5C.txt")},
     .LastLineAfter = 1,
     .EntryCountAfter = 1,
     .CornerLine = "HP" + kCorner + " \x95\x5C.txt........1KB....." + kSomeTimeText + " ",
     .Row = {"Program Files"}},
    {.Name = "OnlyDotsOfALastFolder",
     .RelativePath = "\\Docs\\Tools",
     .Entries = Below(),
     .FolderName = "Tools",
     .HeaderPrefix = kBarPiece,
     .ChildPrefix = kBarPiece + kBlankPiece,
     .LastSibling = 1,
     .ListLevel = 2,
     .LastLine = 3,
     .NewLines = {Header(kBarPiece, kCorner, "Tools")},
     .LastLineAfter = 4,
     .EntryCountAfter = 2,
     .CornerLine = kBarPiece + kCorner + " Tools",
     .Row = {".", ".."}},
    // Ends on a folder after file lines: nothing to fix.
    {.Name = "LastEntryAFolder",
     .RelativePath = "\\A",
     .Entries = Below({File("f"), Folder("Sub")}),
     .FolderName = "A",
     .ChildPrefix = kBlankPiece,
     .ListLevel = 1,
     .LastLine = 1,
     .NewLines = {Header("", kTee, "A"), SmallFileLine(kBlankPiece, kTee, "f")},
     .LastLineAfter = 3,
     .EntryCountAfter = 3,
     .CornerLine = kBlankPiece + kCorner + " Sub",
     .Row = {".", "..", "Sub"}},
    // A search that finds nothing keeps the counters and rebuilds the corner form from the
    // text the previous listing left.
    {.Name = "SearchFails",
     .RelativePath = "\\Gone",
     .Fails = true,
     .FolderName = "Gone",
     .HeaderPrefix = kBlank,
     .ChildPrefix = kBlankPiece,
     .EntryText = "prev.txt",
     .LastSibling = 1,
     .ListLevel = 2,
     .EntryCount = 0,
     .LastLine = 7,
     .PendingCorner = 1,
     .LastLineAfter = 7,
     .EntryCountAfter = 0,
     .PendingCornerAfter = 1,
     .LastSiblingAfter = 1,
     .CornerLine = kBlank + kCorner + " prev.txt"},
};

class ListFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ListFolderTest, WritesLinesRowAndCorner) {
  const FolderCase& c = GetParam();
  ListingState s;
  s.DriveRoot = "c:";
  s.TeeGlyph = kTee;
  s.CornerGlyph = kCorner;
  s.RelativePath = c.RelativePath;
  s.FolderName = c.FolderName;
  s.HeaderPrefix = c.HeaderPrefix;
  s.ChildPrefix = c.ChildPrefix;
  s.EntryText = c.EntryText;
  s.LastSibling = c.LastSibling;
  s.ListLevel = c.ListLevel;
  s.EntryCount = c.EntryCount;
  s.LastLine = c.LastLine;
  s.PendingCorner = c.PendingCorner;
  if (c.ListLevel == 0) s.FolderTable.Store(0, 0, "Program Files", "Program Files");
  for (int i = 0; i <= c.LastLine; ++i) s.LineBuffer.Set(i, "earlier " + std::to_string(i));

  ScriptedDirectorySearch search;
  const AnsiString pattern = "c:" + c.RelativePath + "\\*.*";
  if (c.Fails) {
    search.FailFolder(pattern);
  } else {
    search.SetFolder(pattern, c.Entries);
  }
  RecordingWindow window(c.Mode);
  Lister(s, search, window).ListFolder();

  ASSERT_THAT(search.Started(), ElementsAreArray({pattern}));
  EXPECT_EQ(search.OpenSearches(), 0);
  EXPECT_EQ(s.SearchRec.FindHandle, nullptr);
  EXPECT_EQ(s.LastLine, c.LastLineAfter);
  EXPECT_THAT(LinesOf(s, c.LastLine + 1, c.LastLineAfter), ElementsAreArray(c.NewLines));
  EXPECT_THAT(LinesOf(s, c.LastLineAfter + 1, c.LastLineAfter + 3), ::testing::Each(""));
  EXPECT_EQ(s.LineBuffer[c.LastLine], "earlier " + std::to_string(c.LastLine));
  EXPECT_EQ(s.EntryCount, c.EntryCountAfter);
  EXPECT_EQ(s.PendingCorner, c.PendingCornerAfter);
  EXPECT_EQ(s.LastSibling, c.LastSiblingAfter);
  EXPECT_EQ(s.CornerLine, c.CornerLine);
  std::vector<AnsiString> row;
  for (int i = 0; i < s.EntryCount; ++i) row.emplace_back(s.FolderTable(c.ListLevel, i));
  EXPECT_THAT(row, ElementsAreArray(c.Row));
  EXPECT_TRUE(window.Calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Folders, ListFolderTest, ::testing::ValuesIn(kFolderCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// The annotation of files of every size range, the largest beyond what 32 bits hold.
TEST(FormatSizeDateTest, SizesInKilobytes) {
  const struct {
    std::int64_t Size;
    const char* Field;
  } kSizes[] = {
      {0, "...1"},
      {1023, "...1"},
      {1024, "...2"},
      {2047, "...2"},
      {93880, "..92"},
      {102400, ".101"},
      {1047552, "1024"},
      {1048576, "1025"},
      {2147483647, "2097152"},
      {2147483648, "2097153"},                // 2 GiB
      {4294967296, "4194305"},                // 4 GiB
      {5LL * 1024 * 1024 * 1024, "5242881"},  // 5 GiB
  };
  ListingState s;
  ScriptedDirectorySearch search;
  RecordingWindow window(kListAllFiles);
  Lister lister(s, search, window);
  for (const auto& row : kSizes) {
    SCOPED_TRACE(row.Size);
    s.SearchRec.Size = row.Size;
    s.SearchRec.Time = Packed(1997, 6, 1, 0, 0, 0);
    lister.FormatSizeDate();
    EXPECT_EQ(s.SizeDateText, std::string(row.Field) + "KB.....1997/06/01 ");
  }
}

// A time the packed form cannot hold is shown from the host time.
TEST(FormatSizeDateTest, HostTimeOutsidePackedRange) {
  const char* oldTz = std::getenv("TZ");
  const std::string savedTz = oldTz ? oldTz : "";
  setenv("TZ", "UTC0", 1);
  tzset();

  ListingState s;
  ScriptedDirectorySearch search;
  RecordingWindow window(kListAllFiles);
  s.SearchRec.Size = 10;
  s.SearchRec.HasPackedTime = false;
  s.SearchRec.HostTime = 3723;  // 1970-01-01 1:02:03 UTC
  Lister(s, search, window).FormatSizeDate();
  EXPECT_EQ(s.SizeDateText, "...1KB.....1970/01/01 1:02:02 ");

  if (oldTz) {
    setenv("TZ", savedTz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace hdtree::testing
