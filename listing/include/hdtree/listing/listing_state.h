// The listing's state: the tree text, the folder names of each level, the search record, and the
// texts, counters and flags of a run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hdtree/platform/report_file.h"
#include "hdtree/platform/search.h"
#include "hdtree/platform/sjis.h"

namespace hdtree {

// The tree text, one line per index. It reads as 50,000 empty lines at first and grows when a
// listing writes beyond them, so no line is ever dropped. Reading past the end gives an empty line.
//
// The lines lie back to back in one block of memory, each followed by the report's record end
// (0D 0A 20), so the listing takes the report's size plus a small index (one offset per 256
// lines), and the report is written from it in one piece (Records). The block grows by remapping
// its pages, never by copying. Writing line after line, or a line again, costs its own length
// only; so does reading a line next to the one read before, which keeps a page draw's cost
// independent of the listing's length. Writing a line below the last one keeps the lines after
// it (they move aside, into the free space at the end of the block, and back as they are
// written again). A line holding a line feed (0A), which no tree line does, switches the store
// to one string per line for the rest of its life, so any bytes stay correct.
//
// A view from operator[] or Records stays valid until the next Set or Clear.
class LineStore {
 public:
  static constexpr int kInitialLines = 50000;

  LineStore();
  ~LineStore();
  LineStore(const LineStore&) = delete;
  LineStore& operator=(const LineStore&) = delete;

  std::string_view operator[](int index) const;
  void Set(int index, std::string_view text);
  void Clear(int index) { Set(index, {}); }
  // Lines the store holds now (at least kInitialLines).
  int Size() const;
  // Lines 0 to lastLine as a report holds them: each line's bytes followed by 0D 0A 20 (an
  // empty line gives the record end alone). Empty for a lastLine below 0.
  std::string_view Records(int lastLine) const;

 private:
  class Arena;
  std::unique_ptr<Arena> arena_;  // never null
};

// What follows each line in a report, and in the LineStore.
inline constexpr std::string_view kLineRecordEnd = "\r\n ";

// The folder names found at each level: ten rows (levels 0 to 9) that start with 50 columns and
// grow, so no name is ever dropped. Each cell also keeps the entry's real host name, with which
// the walk reaches the folder again. A row keeps its names back to back in one block, with 16
// bytes per cell beside them (a host name equal to the shown one is kept once), so a row of a
// million folders takes little more than their names. A view stays valid until the next Store
// into the same row.
class FolderNameTable {
 public:
  static constexpr int kRows = 10;
  static constexpr int kInitialColumns = 50;

  FolderNameTable();
  std::string_view operator()(int row, int column) const;
  std::string_view HostName(int row, int column) const;
  void Store(int row, int column, std::string_view name, std::string_view hostName);
  // Columns row r holds now (at least kInitialColumns).
  int Columns(int row) const;

 private:
  struct Cell {
    std::size_t Offset = 0;
    std::uint32_t NameLength = 0;
    std::uint32_t HostLength = kSameHost;  // the host name's bytes follow the name's
  };
  static constexpr std::uint32_t kSameHost = 0xFFFFFFFF;
  struct Row {
    std::string Bytes;
    std::vector<Cell> Cells;
    std::size_t LiveBytes = 0;  // bytes the cells still use; the rest is rewritten names
  };
  const Row& RowAt(int row) const;
  static void Compact(Row& row);

  std::array<Row, kRows> rows_;
};

// Empty lines written after the last line of a run: they cover what a page at the last scroll
// position shows beyond it.
inline constexpr int kBlankLinesAfterLast = 29;
// Deepest level that gets lines of its own.
inline constexpr int kDeepestLevel = 9;

struct ListingState {
  std::unique_ptr<::hdtree::ReportFile> ReportFile;  // qualified: the member shares the name
  TSearchRec SearchRec;
  FolderNameTable FolderTable;
  AnsiString DriveRoot;
  AnsiString RelativePath;
  // The same folder as RelativePath by its real host names ("/a/b"), kept alongside by the walk.
  std::string HostRelativePath;
  AnsiString SizeDateText;
  LineStore LineBuffer;
  AnsiString EntryText;
  AnsiString ReportFileName;
  AnsiString DriveLetter;
  AnsiString HeaderGlyph;
  AnsiString BlankIndent;
  AnsiString BarIndent;
  AnsiString TeeGlyph;
  AnsiString CornerGlyph;
  AnsiString FolderName;
  std::array<AnsiString, kDeepestLevel + 1> LevelIndent;  // pieces 1 to 9; index 0 unused
  AnsiString HeaderPrefix;
  AnsiString ChildPrefix;
  AnsiString CornerLine;
  int EntryCount = 0;
  int ListLevel = 0;
  int TopIndex = 0;
  int LastLine = 0;
  int LastSibling = 0;
  int PendingCorner = 0;
};

// The texts of the listing, Shift-JIS.
namespace glyphs {
inline constexpr std::string_view kBlankIndent = "    ";
inline constexpr std::string_view kBarIndent = "\x84\xA0  ";          // │ and two spaces
inline constexpr std::string_view kTeeGlyph = "\x84\xA5\x84\x9F";     // ├─
inline constexpr std::string_view kCornerGlyph = "\x84\xA4\x84\x9F";  // └─
// 総ファイル数＝
inline constexpr std::string_view kCountLabel =
    "\x91\x8D\x83\x74\x83\x40\x83\x43\x83\x8B\x90\x94\x81\x81";
inline constexpr std::string_view kFolderSuffix = " <Folder>";
inline constexpr std::string_view kFixedFirstFolder = "Program Files";
}  // namespace glyphs

}  // namespace hdtree
