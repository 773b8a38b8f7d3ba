// The listing and the walk over a directory tree built from the fuzz input. After every run:
// nothing was read or written outside the storage (the sanitizers and the containers' own
// bounds checks stop the run otherwise), every line is whole Shift-JIS without 0D or 0A, lines
// LastLine + 1 to LastLine + 29 are empty, LastLine is the number of lines the listings wrote
// (by a model of the walk over the same tree), the report holds exactly lines 0 to LastLine, and
// no search is left open.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "hdtree/listing/headless_window.h"
#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/dostime.h"
#include "hdtree/platform/scripted_search.h"
#include "hdtree/platform/sjis.h"
#include "hdtree/report/report.h"

namespace {

using hdtree::AnsiString;
using hdtree::ScriptedEntry;
using Folders = std::map<AnsiString, std::vector<ScriptedEntry>>;

constexpr std::size_t kMaxEntries = 2000;
constexpr std::size_t kMaxDepth = 14;  // deeper than the walk goes
constexpr std::size_t kMaxNameLength = 40;
constexpr std::string_view kAll = "\\*.*";
constexpr std::string_view kDrive = "z:";

// A name as the host search shows it: a host name of any bytes through the host conversion, or
// one of the names the listing treats specially.
AnsiString Name(Reader& in) {
  const std::uint8_t pick = in.Byte();
  switch (pick % 16) {
    case 0:
      return ".";
    case 1:
      return "..";
    case 2:
      return "Program Files";
    default:
      return hdtree::HostNameToSjis(in.Take(in.Byte() % kMaxNameLength));
  }
}

std::int64_t Size(Reader& in) {
  static constexpr std::int64_t kSizes[] = {
      0, 1, 1023, 1024, 2147483647, 2147483648LL, 4294967296LL, 1099511627776LL};
  const std::uint8_t pick = in.Byte();
  if (pick < 8) return kSizes[pick];
  return static_cast<std::int64_t>(in.Number(pick % 9));
}

void SetTime(Reader& in, ScriptedEntry& entry) {
  const std::uint8_t pick = in.Byte();
  const auto seconds = static_cast<std::int64_t>(in.Number(8));
  if (pick % 16 == 0) {
    // Any packed value: one that is no valid date stops the run with a conversion error.
    entry.Time = static_cast<std::uint32_t>(seconds);
  } else if (const auto packed = hdtree::PackDosTime(seconds)) {
    entry.Time = *packed;
  } else {
    entry.HostTime = seconds;
  }
}

int Attribute(Reader& in) {
  static constexpr int kAttrs[] = {16, 17, 18, 20, 22, 48, 32, 33, 1024, 1040, 0, 8};
  return kAttrs[in.Byte() % (sizeof kAttrs / sizeof kAttrs[0])];
}

// Builds folders from the input: a small program of adds and moves over a folder stack.
Folders BuildTree(Reader& in) {
  Folders folders;
  std::vector<AnsiString> stack{AnsiString(kDrive)};
  std::size_t entries = 0;
  auto here = [&]() -> std::vector<ScriptedEntry>& {
    return folders[stack.back() + AnsiString(kAll)];
  };
  // A host folder never holds two entries of one name. Two folders of one name in the scripted
  // tree would both lead to the same folder below, and the walk would visit it once for each,
  // at every level: a tree no file system has, and an exponential one.
  std::map<AnsiString, std::set<AnsiString>> folderNames;
  auto add = [&](ScriptedEntry& entry) {
    if (entry.Attr == hdtree::faDirectory && entry.Name != "." && entry.Name != "..") {
      auto& names = folderNames[stack.back()];
      const AnsiString name = entry.Name;
      for (int n = 1; !names.insert(entry.Name).second; ++n)
        entry.Name = name + "~" + std::to_string(n);
    }
    here().push_back(entry);
  };
  here();
  while (!in.Empty() && entries < kMaxEntries) {
    const std::uint8_t op = in.Byte();
    ScriptedEntry entry;
    switch (op % 6) {
      case 0:  // a file
      case 1:
        entry.Name = Name(in);
        entry.Attr = hdtree::faArchive;
        entry.Size = Size(in);
        SetTime(in, entry);
        add(entry);
        break;
      case 2: {  // a folder, entered
        entry.Name = Name(in);
        entry.Attr = hdtree::faDirectory;
        SetTime(in, entry);
        add(entry);
        if (stack.size() >= kMaxDepth) break;
        stack.push_back(stack.back() + "\\" + entry.Name);
        const std::uint8_t dots = in.Byte() % 4;
        auto& child = here();
        ScriptedEntry dot;
        dot.Attr = hdtree::faDirectory;
        dot.Name = dots == 2 ? ".." : ".";
        if (dots != 3) child.push_back(dot);
        dot.Name = dots == 2 ? "." : "..";
        if (dots != 3) child.push_back(dot);
        entries += 2;
        break;
      }
      case 3:  // back to the parent
        if (stack.size() > 1) stack.pop_back();
        break;
      case 4:  // an entry with any attributes
        entry.Name = Name(in);
        entry.Attr = Attribute(in);
        entry.Size = Size(in);
        SetTime(in, entry);
        add(entry);
        break;
      case 5:  // a folder whose search finds nothing
        entry.Name = Name(in);
        entry.Attr = hdtree::faDirectory;
        add(entry);
        break;
    }
    ++entries;
  }
  return folders;
}

// The walk's line count and searches, from the rules of the listing over the same folders.
class Model {
 public:
  Model(const Folders& folders, bool foldersOnly) : folders_(folders), foldersOnly_(foldersOnly) {}

  void Run() {
    std::vector<AnsiString> row{"Program Files"};
    for (auto& name : List(AnsiString(kDrive))) row.push_back(std::move(name));
    Walk(1, AnsiString(kDrive), row);
  }

  long Lines = 0;
  long Searches = 0;

 private:
  static bool IsDot(const AnsiString& name) { return name == "." || name == ".."; }

  std::vector<AnsiString> List(const AnsiString& path) {
    ++Searches;
    std::vector<AnsiString> row;
    const auto folder = folders_.find(path + AnsiString(kAll));
    if (folder == folders_.end()) return row;
    bool first = true;
    for (const auto& entry : folder->second) {
      const bool isFolder = entry.Attr == hdtree::faDirectory;
      if (isFolder) row.push_back(entry.Name);
      if (first) {
        if (isFolder ? entry.Name != "." : !foldersOnly_) ++Lines;
      } else if (isFolder) {
        if (entry.Name == "..") ++Lines;
      } else if (!foldersOnly_) {
        ++Lines;
      }
      first = false;
    }
    return row;
  }

  void Walk(int level, const AnsiString& path, const std::vector<AnsiString>& row) {
    for (const auto& name : row) {
      if (IsDot(name)) continue;
      const AnsiString folder = path + "\\" + name;
      const std::vector<AnsiString> children = List(folder);
      if (level < hdtree::kDeepestLevel) Walk(level + 1, folder, children);
    }
  }

  const Folders& folders_;
  bool foldersOnly_;
};

void CheckLines(const hdtree::ListingState& state, int upTo) {
  FUZZ_CHECK(state.LastLine >= 0);
  FUZZ_CHECK(state.LineBuffer.Size() > upTo);
  FUZZ_CHECK(state.LineBuffer[0] == state.DriveRoot);
  for (int i = 0; i <= upTo; ++i) {
    const std::string_view line = state.LineBuffer[i];
    FUZZ_CHECK(hdtree::IsWellFormedSjis(line));
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
    if (i > 0) FUZZ_CHECK(!line.empty());
  }
  FUZZ_CHECK(state.SearchRec.FindHandle == nullptr);
}

void Run(const Folders& folders, hdtree::ListingState& state,
         hdtree::ScriptedDirectorySearch& search, hdtree::HeadlessWindow& window, int listMode) {
  window.SetListMode(listMode);
  hdtree::Lister lister(state, search, window);
  const std::size_t searchesBefore = search.Started().size();
  try {
    lister.RunListing();
  } catch (const hdtree::ConvertError&) {
    // The run stops at the entry; the lines written so far stay and the search is ended.
    FUZZ_CHECK(search.OpenSearches() == 0);
    CheckLines(state, state.LastLine);
    return;
  }
  FUZZ_CHECK(search.OpenSearches() == 0);
  CheckLines(state, state.LastLine);
  for (int i = 1; i <= hdtree::kBlankLinesAfterLast; ++i) {
    FUZZ_CHECK(state.LineBuffer[state.LastLine + i].empty());
  }
  FUZZ_CHECK(window.Position == 0 && window.Min == 0 && window.Max == state.LastLine);
  FUZZ_CHECK(!window.DrawnPages.empty() && window.DrawnPages.back() == 0);
  FUZZ_CHECK(window.CountLines.back() ==
             AnsiString(hdtree::glyphs::kCountLabel) + std::to_string(state.LastLine));

  // The report holds lines 0 to LastLine, each followed by 0D 0A 20, and nothing else.
  std::string report;
  for (int i = 0; i <= state.LastLine; ++i) {
    report += state.LineBuffer[i];
    report += "\r\n ";
  }
  FUZZ_CHECK(hdtree::ReportBytes(state) == report);

  Model model(folders, listMode == hdtree::kListFoldersOnly);
  model.Run();
  FUZZ_CHECK(model.Lines == state.LastLine);
  FUZZ_CHECK(model.Searches == static_cast<long>(search.Started().size() - searchesBefore));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "JST-9", 1);
  tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::uint8_t modes = in.Byte();
  const Folders folders = BuildTree(in);

  hdtree::ScriptedDirectorySearch search;
  for (const auto& [pattern, entries] : folders) search.SetFolder(pattern, entries);

  // Two runs over one state, as two presses of the start button: the second may be shorter.
  // The state outlives the input, as it outlives every run of the program: making its 50,000
  // lines anew for each input would take most of the fuzzer's time.
  static hdtree::ListingState state;
  state.DriveLetter = "z";
  hdtree::HeadlessWindow window;
  Run(folders, state, search, window, modes & 1 ? hdtree::kListFoldersOnly : hdtree::kListAllFiles);
  Run(folders, state, search, window, modes & 2 ? hdtree::kListFoldersOnly : hdtree::kListAllFiles);
  return 0;
}
