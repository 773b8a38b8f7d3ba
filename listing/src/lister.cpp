#include "hdtree/listing/lister.h"

#include <array>
#include <charconv>

#include "hdtree/platform/dostime.h"

namespace hdtree {
namespace {

constexpr std::string_view kSearchAll = "\\*.*";
constexpr std::string_view kNameDots = ".....";
constexpr std::string_view kUnitDots = "KB.....";
// The KB field is at least this wide, numbers right-aligned behind dots.
constexpr std::size_t kSizeFieldWidth = 4;

bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

void Lister::RunListing() {
  s_.DriveRoot = s_.DriveLetter + ":";
  s_.BlankIndent = glyphs::kBlankIndent;
  s_.BarIndent = glyphs::kBarIndent;
  s_.TeeGlyph = glyphs::kTeeGlyph;
  s_.CornerGlyph = glyphs::kCornerGlyph;
  WalkTree();
  AnsiString count(glyphs::kCountLabel);
  count += std::to_string(s_.LastLine);
  window_.AppendCountLine(count);
}

namespace {

// Lets the search close what it kept open for the walk, when the walk ends in any way.
class WalkEnd {
 public:
  explicit WalkEnd(DirectorySearch& search) : search_(search) {}
  ~WalkEnd() { search_.ReleaseFolders(); }
  WalkEnd(const WalkEnd&) = delete;
  WalkEnd& operator=(const WalkEnd&) = delete;

 private:
  DirectorySearch& search_;
};

}  // namespace

void Lister::WalkTree() {
  WalkEnd walkEnd(search_);
  s_.ListLevel = 0;
  s_.LastLine = 0;
  s_.LastSibling = 0;
  s_.LineBuffer.Set(0, s_.DriveRoot);
  s_.RelativePath.clear();
  s_.HostRelativePath.clear();
  s_.HeaderPrefix.clear();
  s_.ChildPrefix.clear();
  s_.CornerLine.clear();
  s_.PendingCorner = 0;

  // The fixed first entry: a folder of this name is walked first, whether the drive has one.
  s_.FolderTable.Store(0, 0, glyphs::kFixedFirstFolder, glyphs::kFixedFirstFolder);
  s_.EntryCount = 1;
  ListFolder();

  const int rootRowCount = s_.EntryCount;
  for (s_.TopIndex = 0; s_.TopIndex < rootRowCount; ++s_.TopIndex) {
    LevelStep(1, s_.TopIndex, rootRowCount);
  }
  CornerFixUp();

  for (int i = 1; i <= kBlankLinesAfterLast; ++i) s_.LineBuffer.Clear(s_.LastLine + i);
  window_.SetScrollPosition(0);
  window_.SetScrollMin(0);
  window_.SetScrollMax(s_.LastLine);
  window_.DrawPage(0);
}

// Walks entry `index` of row level-1 as a folder of `level`; entry 0 of the path and prefix
// arrays belongs to the root and stays empty.
void Lister::LevelStep(int level, int index, int rowCount) {
  const auto k = static_cast<std::size_t>(level);

  const AnsiString name(s_.FolderTable(level - 1, index));
  if (IsDotEntry(name)) return;

  paths_[k] = paths_[k - 1];
  paths_[k] += '\\';
  paths_[k] += name;
  hostPaths_[k] = hostPaths_[k - 1];
  hostPaths_[k] += '/';
  hostPaths_[k] += s_.FolderTable.HostName(level - 1, index);
  s_.RelativePath = paths_[k];
  s_.HostRelativePath = hostPaths_[k];

  s_.LevelIndent[k] = s_.BarIndent + s_.BlankIndent;
  s_.FolderName = name;
  s_.HeaderPrefix = prefixes_[k - 1];
  if (index == rowCount - 1) {
    s_.LastSibling = 1;
    s_.LevelIndent[k] = s_.BlankIndent + s_.BlankIndent;
  }
  prefixes_[k] = prefixes_[k - 1] + s_.LevelIndent[k];
  s_.ChildPrefix = prefixes_[k];

  s_.ListLevel = level;
  s_.EntryCount = 0;
  ListFolder();

  if (level < kDeepestLevel) {
    const int childCount = s_.EntryCount;
    for (int j = 0; j < childCount; ++j) LevelStep(level + 1, j, childCount);
  }
  CornerFixUp();
}

void Lister::CornerFixUp() {
  if (s_.PendingCorner == 1) s_.LineBuffer.Set(s_.LastLine, s_.CornerLine);
}

void Lister::ListFolder() {
  AnsiString prefix = s_.HeaderPrefix;
  AnsiString pattern = s_.DriveRoot + s_.RelativePath;
  pattern += kSearchAll;

  TSearchRec& rec = s_.SearchRec;
  // Folders only: of an entry the listing reads only its names and whether it is a folder.
  search_.SetFileDetails(window_.ListMode() != kListFoldersOnly);
  SearchGuard ending(search_, rec);  // the search ends on every path, exceptions included
  AnsiString line;

  auto storeFolder = [&] {
    s_.FolderTable.Store(s_.ListLevel, s_.EntryCount, s_.EntryText, rec.HostName);
    ++s_.EntryCount;
  };
  auto writeLine = [&](std::string_view glyph, bool space, std::string_view suffix) {
    line = prefix;
    line += glyph;
    if (space) line += ' ';
    line += s_.EntryText;
    line += suffix;
    ++s_.LastLine;
    s_.LineBuffer.Set(s_.LastLine, line);
  };
  auto annotate = [&] {
    FormatSizeDate();
    s_.EntryText += kNameDots;
    s_.EntryText += s_.SizeDateText;
  };

  if (search_.FindFirstIn(pattern, s_.HostRelativePath, faAnyFile, rec) == kSearchFound) {
    s_.EntryText = rec.Name;
    if (rec.Attr == faDirectory) {
      storeFolder();
      writeLine(s_.TeeGlyph, false, {});
      s_.PendingCorner = 0;
      // The "." line is taken back: the header line that follows lands on the same index.
      if (s_.EntryText == ".") --s_.LastLine;
    } else if (window_.ListMode() != kListFoldersOnly) {
      annotate();
      writeLine(s_.TeeGlyph, true, {});
      s_.PendingCorner = 0;
    }
  }

  while (search_.FindNext(rec) == kSearchFound) {
    s_.EntryText = rec.Name;
    const bool folder = rec.Attr == faDirectory;
    if (folder) {
      storeFolder();
      if (s_.EntryText == "..") {
        s_.EntryText = s_.FolderName;
        prefix = s_.HeaderPrefix;
        s_.HeaderGlyph = s_.TeeGlyph;
        if (s_.LastSibling == 1) {
          s_.HeaderGlyph = s_.CornerGlyph;
          s_.LastSibling = 0;
        }
        writeLine(s_.HeaderGlyph, true, glyphs::kFolderSuffix);
        s_.PendingCorner = 0;
      }
    }
    if (window_.ListMode() == kListFoldersOnly) continue;
    s_.PendingCorner = 0;
    if (folder) continue;
    annotate();
    prefix = s_.ChildPrefix;
    writeLine(s_.TeeGlyph, true, {});
    s_.PendingCorner = 1;
  }

  s_.CornerLine = prefix;
  s_.CornerLine += s_.CornerGlyph;
  s_.CornerLine += ' ';
  s_.CornerLine += s_.EntryText;
}

void Lister::FormatSizeDate() {
  const TSearchRec& rec = s_.SearchRec;
  // Whole 64-bit size: files of 2 GiB and more show their real count, never a wrapped one.
  const std::int64_t size = rec.Size < 0 ? 0 : rec.Size;
  const std::int64_t kilobytes = size / 1024 + 1;

  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), kilobytes).ptr;
  const std::string_view number(digits.data(), static_cast<std::size_t>(end - digits.data()));

  AnsiString& text = s_.SizeDateText;
  text.clear();
  if (number.size() < kSizeFieldWidth) text.append(kSizeFieldWidth - number.size(), '.');
  text += number;
  text += kUnitDots;
  if (rec.HasPackedTime) {
    AppendDosDateTimeText(rec.Time, text);
  } else {
    AppendHostDateTimeText(rec.HostTime, text);
  }
  text += ' ';
}

}  // namespace hdtree
