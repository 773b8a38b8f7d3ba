// A ListingWindow without a window: it keeps what the listing gave it.
#pragma once

#include <string>
#include <vector>

#include "hdtree/listing/lister.h"

namespace hdtree {

class HeadlessWindow : public ListingWindow {
 public:
  explicit HeadlessWindow(int listMode = kListFoldersOnly) : listMode_(listMode) {}

  int ListMode() const override { return listMode_; }
  void SetListMode(int mode) { listMode_ = mode; }
  void SetScrollPosition(int position) override { Position = position; }
  void SetScrollMin(int min) override { Min = min; }
  void SetScrollMax(int max) override { Max = max; }
  void DrawPage(int firstLine) override { DrawnPages.push_back(firstLine); }
  void AppendCountLine(const AnsiString& line) override { CountLines.push_back(line); }

  int Position = 0;
  int Min = 0;
  int Max = 100;
  std::vector<int> DrawnPages;
  std::vector<AnsiString> CountLines;

 private:
  int listMode_;
};

}  // namespace hdtree
