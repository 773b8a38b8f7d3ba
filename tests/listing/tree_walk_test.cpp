// The whole run: the walk over the folders, the corner fix-up, the end of a run, and how a run
// stops on an error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "hdtree/platform/dostime.h"
#include "listing_support.h"

namespace hdtree::testing {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::uint32_t kD1 = Packed(2003, 4, 5, 6, 7, 8);
constexpr std::uint32_t kD2 = Packed(2010, 12, 31, 23, 59, 58);
constexpr std::uint32_t kD3 = Packed(1980, 1, 1, 0, 0, 0);

class WalkTest : public ::testing::Test {
 protected:
  void Run(int mode) {
    window.SetMode(mode);
    state.DriveLetter = "e";
    lister.RunListing();
  }
  std::vector<std::string> Lines() const { return LinesOf(state, 0, state.LastLine); }
  // What every complete run leaves: 29 empty lines, the scroll bar, page 0 and the count line,
  // in that order, and no search open.
  void ExpectRunEnd() const {
    const int last = state.LastLine;
    EXPECT_THAT(LinesOf(state, last + 1, last + kBlankLinesAfterLast), Each(""));
    EXPECT_THAT(window.Calls,
                ElementsAre("Position 0", "Min 0", "Max " + std::to_string(last), "DrawPage 0",
                            "Count " + kCountLabel + std::to_string(last)));
    EXPECT_EQ(drive.OpenSearches(), 0);
  }
  // Gives drive e's folder at a path its entries: the search of "e:" + path + "\*.*".
  // A drive with files and folders two levels deep, no "Program Files", a last folder that
  // holds only "." and "..".
  void ArrangeSmallDrive() {
    Dir("", {File("notes.txt", 1500, kD1), Folder("Docs"), Folder("Tools")});
    drive.FailFolder("e:\\Program Files\\*.*");
    Dir("\\Docs", Below({File("a.txt", 10, kD2), Folder("Old")}));
    Dir("\\Docs\\Old", Below({File("b.txt", 3000, kD3)}));
    Dir("\\Tools", Below());
  }
  void Dir(const AnsiString& path, std::vector<ScriptedEntry> entries) {
    drive.SetFolder("e:" + path + "\\*.*", std::move(entries));
  }

  ListingState state;
  ScriptedDirectorySearch drive;
  SnapshotSearch search{drive, state};
  RecordingWindow window{kListAllFiles};
  Lister lister{state, search, window};
};

class SmallDriveTest : public WalkTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override { ArrangeSmallDrive(); }
};

TEST_P(SmallDriveTest, LinesListingsAndRunEnd) {
  const bool all = GetParam() == kListAllFiles;
  // Stale text where the run writes and blanks, and one line beyond that it must leave.
  for (int i = 1; i <= 40; ++i) state.LineBuffer.Set(i, "stale");
  Run(GetParam());

  std::vector<std::string> expected;
  if (all) {
    expected = {
        "e:",
        kTee + " notes.txt........2KB.....2003/04/05 6:07:08 ",
        kTee + " Docs <Folder>",
        kBarPiece + kTee + " a.txt........1KB.....2010/12/31 23:59:58 ",
        kBarPiece + kCorner + " Old <Folder>",
        kBarPiece + kBlankPiece + kCorner + " b.txt........3KB.....1980/01/01 ",
        kCorner + " Tools <Folder>",
    };
  } else {
    expected = {
        "e:",
        kTee + " Docs <Folder>",
        kBarPiece + kCorner + " Old <Folder>",
        kCorner + " Tools <Folder>",
    };
  }
  EXPECT_THAT(Lines(), ElementsAreArray(expected));
  EXPECT_EQ(state.LastLine, all ? 6 : 3);
  ExpectRunEnd();
  EXPECT_EQ(state.LineBuffer[state.LastLine + kBlankLinesAfterLast + 1], "stale");

  const std::vector<ListingCall> calls = {
      {"e:\\*.*", "", "", "", "", "", 0, 0, 1},
      {"e:\\Program Files\\*.*", "/Program Files", "\\Program Files", "Program Files", "",
       kBarPiece, 0, 1, 0},
      {"e:\\Docs\\*.*", "/Docs", "\\Docs", "Docs", "", kBarPiece, 0, 1, 0},
      {"e:\\Docs\\Old\\*.*", "/Docs/Old", "\\Docs\\Old", "Old", kBarPiece, kBarPiece + kBlankPiece,
       1, 2, 0},
      {"e:\\Tools\\*.*", "/Tools", "\\Tools", "Tools", "", kBlankPiece, 1, 1, 0},
  };
  EXPECT_THAT(search.Calls, ElementsAreArray(calls));
  EXPECT_EQ(state.DriveRoot, "e:");
  // Tools overwrote the first two cells of row 1; Old's cell stays beyond its count.
  EXPECT_EQ(state.FolderTable(1, 2), "Old");
  EXPECT_EQ(state.EntryCount, 2);
}

INSTANTIATE_TEST_SUITE_P(Modes, SmallDriveTest, ::testing::Values(kListAllFiles, kListFoldersOnly),
                         [](const auto& info) {
                           return info.param == kListAllFiles ? "AllFiles" : "FoldersOnly";
                         });

// Drives whose whole listing is the point: the folders of drive e by path, the list mode, and
// the lines 0 to LastLine.
struct DriveCase {
  const char* Name;
  int Mode;
  std::vector<std::pair<AnsiString, std::vector<ScriptedEntry>>> Folders;
  std::vector<std::string> Lines;
};

void PrintTo(const DriveCase& c, std::ostream* os) { *os << c.Name; }

// A chain of single folders L1 to Ln below the root, each the last of its row; the deepest
// holds `deepest`.
std::vector<std::pair<AnsiString, std::vector<ScriptedEntry>>> Chain(
    int n, std::vector<ScriptedEntry> deepest) {
  std::vector<std::pair<AnsiString, std::vector<ScriptedEntry>>> folders;
  folders.push_back({"", {File("f"), Folder("L1")}});
  AnsiString path;
  for (int k = 1; k <= n; ++k) {
    path += "\\L" + std::to_string(k);
    if (k < n) {
      folders.push_back({path, Below({Folder("L" + std::to_string(k + 1))})});
    } else {
      folders.push_back({path, Below(deepest)});
    }
  }
  return folders;
}

// The header lines of the chain L1 to Ln, each folder the last of its row.
std::vector<std::string> ChainHeaders(int n) {
  std::vector<std::string> lines;
  for (int k = 1; k <= n; ++k) {
    lines.push_back(Header(std::string(8 * (k - 1), ' '), kCorner, "L" + std::to_string(k)));
  }
  return lines;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kIndent8 = std::string(64, ' ');  // header indent of a level-9 folder

const DriveCase kDriveCases[] = {
    // The fixed first entry and the root's own "Program Files": the block comes twice.
    {"ProgramFilesWalkedTwice",
     kListAllFiles,
     {{"", {Folder("A"), Folder("Program Files")}},
      {"\\Program Files", Below({File("x.txt")})},
      {"\\A", Below()}},
     {"e:", kTee + "A", Header("", kTee, "Program Files"),
      SmallFileLine(kBarPiece, kCorner, "x.txt"), Header("", kTee, "A"),
      Header("", kCorner, "Program Files"), SmallFileLine(kBlankPiece, kCorner, "x.txt")}},
    // A read-only "Program Files" gets a file line at the root and is still walked first.
    {"ReadOnlyProgramFiles",
     kListAllFiles,
     {{"", {File("Program Files", 0, kSomeTime, faDirectory | faReadOnly), Folder("B")}},
      {"\\Program Files", Below({File("y.txt")})},
      {"\\B", Below()}},
     {"e:", SmallFileLine("", kTee, "Program Files"), Header("", kTee, "Program Files"),
      SmallFileLine(kBarPiece, kCorner, "y.txt"), Header("", kCorner, "B")}},
    // Nine levels get lines, the tenth and below none.
    {"TwelveLevelsDeep", kListFoldersOnly, Chain(12, {}), Join({"e:"}, ChainHeaders(9))},
    // A level-9 folder ending on a file line gets its corner before its next sibling.
    {"LevelNineCornerAmongSiblings", kListAllFiles,
     [] {
       auto folders = Chain(8, {Folder("X"), Folder("Y")});
       folders.push_back({"\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\X", Below({Folder("Z"), File("x")})});
       folders.push_back({"\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\Y", Below()});
       return folders;
     }(),
     Join(Join({"e:", SmallFileLine("", kTee, "f")}, ChainHeaders(8)),
          {Header(kIndent8, kTee, "X"), SmallFileLine(kIndent8 + kBarPiece, kCorner, "x"),
           Header(kIndent8, kCorner, "Y")})},
    // A2, last of its row, cannot be searched: the next header line, B's, takes the corner.
    {"LastFolderSearchFails",
     kListFoldersOnly,
     {{"", {File("f"), Folder("A"), Folder("B"), Folder("C")}},
      {"\\A", Below({Folder("A1"), Folder("A2")})},
      {"\\A\\A1", Below()},
      {"\\B", Below()},
      {"\\C", Below()}},
     {"e:", Header("", kTee, "A"), Header(kBarPiece, kTee, "A1"), Header("", kCorner, "B"),
      Header("", kCorner, "C")}},
    {"DriveCannotBeSearched", kListAllFiles, {}, {"e:"}},
    // "." and ".." that are not plain folders are files: no header line, nothing stored.
    {"DotNamesWithOtherAttributes",
     kListAllFiles,
     {{"", {Folder("A")}},
      {"\\A",
       {File(".", 0, kSomeTime, faDirectory | faHidden),
        File("..", 0, kSomeTime, faDirectory | faHidden), File("a.txt")}}},
     {"e:", kTee + "A", SmallFileLine("", kTee, "."), SmallFileLine(kBlankPiece, kTee, ".."),
      SmallFileLine(kBlankPiece, kCorner, "a.txt")}},
};

class DriveTest : public WalkTest, public ::testing::WithParamInterface<DriveCase> {};

TEST_P(DriveTest, Lines) {
  const DriveCase& c = GetParam();
  for (const auto& [path, entries] : c.Folders) Dir(path, entries);
  Run(c.Mode);
  EXPECT_THAT(Lines(), ElementsAreArray(c.Lines));
  EXPECT_EQ(state.LastLine, static_cast<int>(c.Lines.size()) - 1);
  ExpectRunEnd();
}

INSTANTIATE_TEST_SUITE_P(Drives, DriveTest, ::testing::ValuesIn(kDriveCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WalkTest, BelowLevelNineOnlyRowNineIsFilled) {
  for (const auto& [path, entries] : Chain(12, {})) Dir(path, entries);
  Run(kListFoldersOnly);
  ASSERT_FALSE(search.Calls.empty());
  EXPECT_EQ(search.Calls.back().Pattern, "e:\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\L9\\*.*");
  EXPECT_EQ(search.Calls.back().ListLevel, 9);
  EXPECT_EQ(state.FolderTable(9, 2), "L10");
}

TEST_F(WalkTest, ShorterRunLeavesNothingOfTheLongerOne) {
  std::vector<ScriptedEntry> many;
  for (int i = 0; i < 40; ++i) many.push_back(File("long" + std::to_string(i)));
  Dir("", many);
  Run(kListAllFiles);
  ASSERT_EQ(state.LastLine, 40);

  window.Calls.clear();
  Dir("", {File("short")});
  Run(kListAllFiles);
  EXPECT_THAT(Lines(), ElementsAre("e:", SmallFileLine("", kTee, "short")));
  ExpectRunEnd();
}

// Rows grow past their first 50 columns: every folder keeps its name and is walked.
struct WideCase {
  int Subfolders;
  bool AtRoot;
};

class WideFolderTest : public WalkTest, public ::testing::WithParamInterface<WideCase> {};

TEST_P(WideFolderTest, EverySubfolderWalked) {
  const auto [n, atRoot] = GetParam();
  const AnsiString parent = atRoot ? "" : "\\Big";
  std::vector<ScriptedEntry> subs;
  for (int i = 0; i < n; ++i) subs.push_back(Folder("S" + std::to_string(i)));
  if (atRoot) {
    subs.insert(subs.begin(), File("f"));
    Dir("", subs);
  } else {
    Dir("", {File("f"), Folder("Big")});
    Dir(parent, Below(subs));
  }
  for (int i = 0; i < n; ++i) Dir(parent + "\\S" + std::to_string(i), Below());
  Run(kListFoldersOnly);

  const int level = atRoot ? 0 : 1;
  const int first = atRoot ? 1 : 2;  // after the fixed entry, or after "." and ".."
  const std::string indent = atRoot ? "" : kBlankPiece;
  std::vector<std::string> expected{"e:"};
  if (!atRoot) expected.push_back(Header("", kCorner, "Big"));
  for (int i = 0; i < n; ++i) {
    const std::string name = "S" + std::to_string(i);
    EXPECT_EQ(state.FolderTable(level, first + i), name);
    expected.push_back(Header(indent, i == n - 1 ? kCorner : kTee, name));
  }
  EXPECT_THAT(Lines(), ElementsAreArray(expected));
  ExpectRunEnd();
}

INSTANTIATE_TEST_SUITE_P(Wide, WideFolderTest,
                         ::testing::Values(WideCase{120, false}, WideCase{200, false},
                                           WideCase{200, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.Subfolders) +
                                  (info.param.AtRoot ? "AtRoot" : "BelowRoot");
                         });

TEST_F(WalkTest, LongListingKeepsEveryLine) {
  constexpr int kFiles = 120000;
  std::vector<ScriptedEntry> files;
  files.reserve(kFiles);
  for (int i = 1; i <= kFiles; ++i) files.push_back(File("F" + std::to_string(i)));
  Dir("", std::move(files));
  Run(kListAllFiles);

  ASSERT_EQ(state.LastLine, kFiles);
  for (int i = 1; i < kFiles; ++i) {
    if (state.LineBuffer[i] != SmallFileLine("", kTee, "F" + std::to_string(i))) {
      FAIL() << "line " << i << ": " << state.LineBuffer[i];
    }
  }
  EXPECT_EQ(state.LineBuffer[kFiles], SmallFileLine("", kCorner, "F" + std::to_string(kFiles)));
  ExpectRunEnd();
}

// An error inside a listing stops the run where it is: the lines written stay, nothing of the
// run's end happens, and no search is left open.
struct StopCase {
  const char* Name;
  std::function<void(ScriptedDirectorySearch&)> Arrange;
  std::function<void(Lister&)> ExpectThrow;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.Name; }

const StopCase kStopCases[] = {
    {"DeliveryThrows",
     [](ScriptedDirectorySearch& d) {
       d.OnDeliver([](const ScriptedEntry& e) {
         if (e.Name == "b.txt") throw std::runtime_error("device gone");
       });
     },
     [](Lister& l) { EXPECT_THROW(l.RunListing(), std::runtime_error); }},
    {"InvalidPackedTime",
     [](ScriptedDirectorySearch& d) {
       d.SetFolder("e:\\Docs\\Old\\*.*",
                   Below({File("b.txt", 3000, Packed(2000, 13, 1, 0, 0, 0))}));
     },
     [](Lister& l) { EXPECT_THROW(l.RunListing(), ConvertError); }},
};

class StopTest : public WalkTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, LinesStayAndRunEndsThere) {
  ArrangeSmallDrive();
  GetParam().Arrange(drive);
  for (int i = 1; i <= 40; ++i) state.LineBuffer.Set(i, "stale");
  state.DriveLetter = "e";
  GetParam().ExpectThrow(lister);

  // Stopped at b.txt, the entry after Old's header line.
  EXPECT_EQ(state.LastLine, 4);
  EXPECT_EQ(state.LineBuffer[4], kBarPiece + kCorner + " Old <Folder>");
  EXPECT_EQ(state.LineBuffer[5], "stale");  // no blank lines written
  EXPECT_TRUE(window.Calls.empty());        // no scroll bar, page or count line
  EXPECT_EQ(drive.OpenSearches(), 0);
  EXPECT_EQ(state.SearchRec.FindHandle, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Errors, StopTest, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace hdtree::testing
