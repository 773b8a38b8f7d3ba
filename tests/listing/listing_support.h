// Helpers of the listing tests: entries, glyph bytes, a window that records its calls in order,
// and a search that records what each listing was given.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/scripted_search.h"

namespace hdtree::testing {

// The glyph and indent bytes, spelled out here so that a wrong constant in the code shows.
inline const std::string kTee = "\x84\xA5\x84\x9F";     // ├─
inline const std::string kCorner = "\x84\xA4\x84\x9F";  // └─
inline const std::string kBar = "\x84\xA0  ";           // │ and two spaces
inline const std::string kBlank = "    ";
inline const std::string kBarPiece = kBar + kBlank;      // a level with later siblings
inline const std::string kBlankPiece = kBlank + kBlank;  // a last folder's level
// 総ファイル数＝
inline const std::string kCountLabel = "\x91\x8D\x83\x74\x83\x40\x83\x43\x83\x8B\x90\x94\x81\x81";

// An MS-DOS packed date and time.
constexpr std::uint32_t Packed(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>(year - 1980) << 25 | static_cast<std::uint32_t>(month) << 21 |
         static_cast<std::uint32_t>(day) << 16 | static_cast<std::uint32_t>(hour) << 11 |
         static_cast<std::uint32_t>(minute) << 5 | static_cast<std::uint32_t>(second / 2);
}

inline constexpr std::uint32_t kSomeTime = Packed(2001, 2, 3, 4, 5, 6);
inline const std::string kSomeTimeText = "2001/02/03 4:05:06";

inline ScriptedEntry Folder(AnsiString name, int attr = faDirectory) {
  ScriptedEntry e;
  e.Name = std::move(name);
  e.Attr = attr;
  return e;
}

inline ScriptedEntry File(AnsiString name, std::int64_t size = 0, std::uint32_t time = kSomeTime,
                          int attr = faArchive) {
  ScriptedEntry e;
  e.Name = std::move(name);
  e.Attr = attr;
  e.Size = size;
  e.Time = time;
  return e;
}

// "." and ".." followed by the given entries: the contents of a folder below a drive root.
inline std::vector<ScriptedEntry> Below(std::vector<ScriptedEntry> entries = {}) {
  std::vector<ScriptedEntry> all{Folder("."), Folder("..")};
  all.insert(all.end(), entries.begin(), entries.end());
  return all;
}

// A folder's header line and a file line of a small file (1 KB) with kSomeTime.
inline std::string Header(const std::string& prefix, const std::string& glyph,
                          const std::string& name) {
  return prefix + glyph + " " + name + " <Folder>";
}
inline std::string SmallFileLine(const std::string& prefix, const std::string& glyph,
                                 const std::string& name) {
  return prefix + glyph + " " + name + "........1KB....." + kSomeTimeText + " ";
}

// A listing window that records its calls in the order they come.
class RecordingWindow : public ListingWindow {
 public:
  explicit RecordingWindow(int listMode) : listMode_(listMode) {}
  void SetMode(int listMode) { listMode_ = listMode; }

  int ListMode() const override { return listMode_; }
  void SetScrollPosition(int position) override { Log("Position", position); }
  void SetScrollMin(int min) override { Log("Min", min); }
  void SetScrollMax(int max) override { Log("Max", max); }
  void DrawPage(int firstLine) override { Log("DrawPage", firstLine); }
  void AppendCountLine(const AnsiString& line) override { Calls.push_back("Count " + line); }

  std::vector<std::string> Calls;

 private:
  void Log(const char* what, int value) {
    Calls.push_back(std::string(what) + " " + std::to_string(value));
  }
  int listMode_;
};

// What one listing was given, read from the state when its search starts.
struct ListingCall {
  AnsiString Pattern;
  std::string HostRelative;
  AnsiString RelativePath;
  AnsiString FolderName;
  AnsiString HeaderPrefix;
  AnsiString ChildPrefix;
  int LastSibling = 0;
  int ListLevel = 0;
  int EntryCount = 0;
  bool operator==(const ListingCall&) const = default;
};

inline void PrintTo(const ListingCall& c, std::ostream* os) {
  *os << "{" << ::testing::PrintToString(c.Pattern) << ", host "
      << ::testing::PrintToString(c.HostRelative) << ", rel "
      << ::testing::PrintToString(c.RelativePath) << ", name "
      << ::testing::PrintToString(c.FolderName) << ", header "
      << ::testing::PrintToString(c.HeaderPrefix) << ", child "
      << ::testing::PrintToString(c.ChildPrefix) << ", last " << c.LastSibling << ", level "
      << c.ListLevel << ", count " << c.EntryCount << "}";
}

// Passes every call on to a scripted search and records the listing's inputs at each start.
class SnapshotSearch : public DirectorySearch {
 public:
  SnapshotSearch(DirectorySearch& inner, const ListingState& state)
      : inner_(inner), state_(state) {}

  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override {
    return inner_.FindFirst(path, mask, rec);
  }
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override {
    Calls.push_back({path, hostRelative, state_.RelativePath, state_.FolderName,
                     state_.HeaderPrefix, state_.ChildPrefix, state_.LastSibling, state_.ListLevel,
                     state_.EntryCount});
    return inner_.FindFirstIn(path, hostRelative, mask, rec);
  }
  int FindNext(TSearchRec& rec) override { return inner_.FindNext(rec); }
  void FindClose(TSearchRec& rec) override { inner_.FindClose(rec); }

  std::vector<ListingCall> Calls;

 private:
  DirectorySearch& inner_;
  const ListingState& state_;
};

// Lines first to last of the buffer.
inline std::vector<std::string> LinesOf(const ListingState& state, int first, int last) {
  std::vector<std::string> lines;
  for (int i = first; i <= last; ++i) lines.emplace_back(state.LineBuffer[i]);
  return lines;
}

}  // namespace hdtree::testing
