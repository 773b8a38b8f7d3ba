// The folder listing and the tree walk.
#pragma once

#include <array>
#include <string>

#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/search.h"

namespace hdtree {

// List modes, as the list-mode group's ItemIndex.
inline constexpr int kListAllFiles = 0;
inline constexpr int kListFoldersOnly = 1;

// What the listing and the walk need of the window: the list mode, the scroll bar, the page and
// the count box. The window implements it; the command-line lister and the tests have their own.
class ListingWindow {
 public:
  virtual ~ListingWindow() = default;
  // The list mode: kListFoldersOnly (exactly 1) for folders only, any other value for all files.
  virtual int ListMode() const = 0;
  virtual void SetScrollPosition(int position) = 0;
  virtual void SetScrollMin(int min) = 0;
  virtual void SetScrollMax(int max) = 0;
  // Draws the page that begins at firstLine.
  virtual void DrawPage(int firstLine) = 0;
  // Appends one line (Shift-JIS) to the count box.
  virtual void AppendCountLine(const AnsiString& line) = 0;
};

// Runs listings over one ListingState. Each operation takes no arguments and works on the
// state's fields, set before a call and read after it.
class Lister {
 public:
  Lister(ListingState& state, DirectorySearch& search, ListingWindow& window)
      : s_(state), search_(search), window_(window) {}

  // One run: DriveRoot from DriveLetter, the glyph texts, the walk, the count line.
  void RunListing();
  // The whole drive, depth first down to nine levels; blank lines, scroll bar and page 0 at end.
  void WalkTree();
  // One folder: its header line, its file lines, its subfolder names into its row.
  void ListFolder();
  // The size and date annotation of the current search entry into SizeDateText.
  void FormatSizeDate();

 private:
  void LevelStep(int level, int index, int rowCount);
  void CornerFixUp();

  ListingState& s_;
  DirectorySearch& search_;
  ListingWindow& window_;
  // While a level's subtree is walked: its drive path, host path and child prefix.
  std::array<AnsiString, kDeepestLevel + 1> paths_;
  std::array<std::string, kDeepestLevel + 1> hostPaths_;
  std::array<AnsiString, kDeepestLevel + 1> prefixes_;
};

}  // namespace hdtree
