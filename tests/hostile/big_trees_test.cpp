// Trees at the sizes people meet: a folder of 100,000 entries, 300 subfolders, names of 255
// bytes, nesting 40 levels deep. Every entry keeps its line; nothing is dropped or cut.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hostile_support.h"

namespace hdtree::hostile {
namespace {

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// "f000042" and the like, so that a line's name can be read back.
std::string Numbered(char kind, int n) {
  char name[16];
  std::snprintf(name, sizeof name, "%c%06d", kind, n);
  return name;
}

TEST(BigTrees, FolderOfHundredThousandEntriesListsAndSavesEveryOne) {
  constexpr int kEntries = 100000;
  TempDir dir;
  MakeDir(dir / "big");
  for (int i = 0; i < kEntries; ++i) {
    const std::string path = dir / ("big/" + Numbered('f', i));
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    Require(fd >= 0, "create " + path);
    close(fd);
  }

  DriveRun run(dir.Path());
  run.saveWindow.Mode = kSaveAutomatic;
  run.List();
  run.Save();

  // The root's first entry line, the folder's header, one line per file.
  ASSERT_EQ(run.state.LastLine, kEntries + 2);
  std::set<std::string> seen;
  for (int i = 3; i <= run.state.LastLine; ++i) {
    const std::string_view line = run.state.LineBuffer[i];
    const std::size_t at = line.find("f0");
    ASSERT_NE(at, std::string_view::npos) << line;
    seen.insert(std::string(line.substr(at, 7)));
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kEntries));
  for (int i = 1; i <= kBlankLinesAfterLast; ++i)
    EXPECT_TRUE(run.state.LineBuffer[run.state.LastLine + i].empty());
  EXPECT_EQ(run.window.Max, kEntries + 2);
  EXPECT_EQ(run.window.CountLines.back(), std::string(glyphs::kCountLabel) + "100002");

  // The report holds every line, each followed by 0D 0A 20.
  const std::string report = ReadFile(dir / "Tree/TreeAll.txt");
  std::size_t expected = 0;
  for (int i = 0; i <= run.state.LastLine; ++i) expected += run.state.LineBuffer[i].size() + 3;
  EXPECT_EQ(report.size(), expected);
  EXPECT_EQ(report, ReportBytes(run.state));

  // In folders-only mode the same drive, now with its report folder, gives three lines: the
  // root's first entry and the two headers.
  run.window.SetListMode(kListFoldersOnly);
  run.List();
  EXPECT_EQ(run.state.LastLine, 3);
}

TEST(BigTrees, ThreeHundredSubfoldersAreAllWalked) {
  constexpr int kFolders = 300;
  TempDir dir;
  for (int i = 0; i < kFolders; ++i) {
    MakeDir(dir / Numbered('d', i));
    MakeDir(dir / (Numbered('d', i) + "/inner"));
    MakeFile(dir / (Numbered('d', i) + "/inner/" + Numbered('f', i)));
  }

  DriveRun run(dir.Path());
  run.List();

  // Each of the root's folders is walked with its subfolder and that folder's file: the first
  // one read has the root's first-entry line instead of being listed twice.
  std::set<std::string> headers;
  std::set<std::string> files;
  for (const auto& line : run.Lines()) {
    if (line.find(" <Folder>") != std::string::npos && line.find(" d") != std::string::npos) {
      headers.insert(line.substr(line.find(" d") + 1, 7));
    }
    if (const auto at = line.find(" f"); at != std::string::npos)
      files.insert(line.substr(at + 1, 7));
  }
  EXPECT_EQ(headers.size(), static_cast<std::size_t>(kFolders));
  EXPECT_EQ(files.size(), static_cast<std::size_t>(kFolders));
  EXPECT_EQ(run.Count("inner <Folder>"), kFolders);
  // Only the last folder of the root's row is drawn with a corner.
  int corners = 0;
  for (const auto& line : run.Lines()) {
    if (line.rfind(std::string(glyphs::kCornerGlyph) + " d", 0) == 0) ++corners;
  }
  EXPECT_EQ(corners, 1);
}

TEST(BigTrees, NamesOfTwoHundredFiftyFiveBytesKeepEveryCharacter) {
  TempDir dir;
  const std::string kana = Repeat("\xE3\x81\x82", 85);               // あ x 85: 255 bytes
  const std::string emoji = Repeat("\xF0\x9F\x98\x80", 63) + "abc";  // 😀 x 63 + abc: 255 bytes
  const std::string accented = Repeat("\xC3\xA9", 127) + "x";        // é x 127 + x: 255 bytes
  ASSERT_EQ(kana.size(), 255u);
  ASSERT_EQ(emoji.size(), 255u);
  ASSERT_EQ(accented.size(), 255u);
  MakeDir(dir / kana);
  MakeFile(dir / (kana + "/" + emoji), 5);
  MakeDir(dir / emoji);
  MakeFile(dir / (emoji + "/" + accented), 7);

  DriveRun run(dir.Path());
  run.List();

  const std::string kanaSjis = Repeat("\x82\xA0", 85);
  const std::string emojiSjis = Repeat("?", 63) + "abc";
  const std::string accentedSjis = Repeat("?", 127) + "x";
  EXPECT_EQ(run.Count(kanaSjis + " <Folder>"), 1);
  // Each folder is reached by its real name: its file is listed below it.
  EXPECT_EQ(run.Count(" " + emojiSjis + "....."), 1);
  EXPECT_EQ(run.Count(" " + accentedSjis + "....."), 1);
  for (const auto& line : run.Lines()) EXPECT_TRUE(IsWellFormedSjis(line));
}

TEST(BigTrees, FoldersThatShowTheSameNameListTheirOwnEntries) {
  TempDir dir;
  MakeDir(dir / "\xF0\x9F\x98\x80same");  // 😀same
  MakeDir(dir / "\xF0\x9F\x98\x81same");  // 😁same
  MakeFile(dir / "\xF0\x9F\x98\x80same/grin.txt");
  MakeFile(dir / "\xF0\x9F\x98\x81same/beam.txt");

  DriveRun run(dir.Path());
  run.List();

  EXPECT_EQ(run.Count("grin.txt"), 1);
  EXPECT_EQ(run.Count("beam.txt"), 1);
  // The line under each "?same" header is that folder's own file: one each.
  const auto lines = run.Lines();
  std::set<std::string> below;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].find("?same <Folder>") == std::string::npos) continue;
    for (const char* file : {"grin.txt", "beam.txt"}) {
      if (lines[i + 1].find(file) != std::string::npos) below.insert(file);
    }
  }
  EXPECT_EQ(below, (std::set<std::string>{"grin.txt", "beam.txt"}));
}

TEST(BigTrees, FoldersNamedWithSeparatorsControlsAndStrayBytesAreEntered) {
  // Each name is shown on one line with '?' for what it cannot show, and the folder is still
  // reached by its real name.
  struct NameCase {
    std::string Host;
    std::string Shown;
  };
  const NameCase cases[] = {
      {"back\\slash", "back?slash"},   {"line\nfeed\r", "line?feed?"},
      {"yen\xC2\xA5sign", "yen?sign"}, {"stray\xFF\xFE", "stray??"},
      {"tab\tdel\x7F", "tab?del?"},
  };
  TempDir dir;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    MakeDir(dir / cases[i].Host);
    MakeFile(dir / (cases[i].Host + "/inside" + std::to_string(i)));
  }

  DriveRun run(dir.Path());
  run.List();

  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(run.Count(" " + cases[i].Shown + " <Folder>"), 1) << cases[i].Shown;
    EXPECT_EQ(run.Count(" inside" + std::to_string(i) + "....."), 1) << cases[i].Shown;
  }
  for (const auto& line : run.Lines()) {
    EXPECT_EQ(line.find_first_of("\r\n\t\x7F"), std::string::npos) << line;
  }
}

TEST(BigTrees, NestingFortyLevelsDeepStopsAtTheNinthLevel) {
  constexpr int kDepth = 40;
  TempDir dir;
  std::string path = dir.Path();
  for (int level = 1; level <= kDepth; ++level) {
    path += "/" + Numbered('d', level);
    MakeDir(path);
    MakeFile(path + "/" + Numbered('f', level));
  }

  DriveRun run(dir.Path());
  run.List();

  // d1 is the root's first entry; d2 to d9 get header lines; levels 1 to 9 get their files.
  for (int level = 1; level <= kDepth; ++level) {
    const bool listed = level <= kDeepestLevel;
    EXPECT_EQ(run.Count(Numbered('f', level)), listed ? 1 : 0) << "level " << level;
  }
  EXPECT_EQ(run.Count(Numbered('d', 9) + " <Folder>"), 1);
  EXPECT_EQ(run.Count(Numbered('d', 10)), 0);
  // Each folder is the last of its row, so the indent is blanks: eight levels of it before the
  // deepest header's glyph, nine before its file's.
  const std::string header = run.Find(Numbered('d', 9) + " <Folder>");
  EXPECT_EQ(header.find_first_not_of(' '), 8u * 8u) << header;
  EXPECT_EQ(header.find(glyphs::kCornerGlyph), 8u * 8u) << header;
  const std::string file = run.Find(Numbered('f', 9));
  EXPECT_EQ(file.find_first_not_of(' '), 9u * 8u) << file;
  // The root's first-entry line, nine headers, nine files.
  EXPECT_EQ(run.state.LastLine, 1 + 9 + 9);
}

}  // namespace
}  // namespace hdtree::hostile
