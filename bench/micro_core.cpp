// Micro-benchmarks of the core's hot paths: one folder's listing, the size and date annotation,
// the name conversion, a whole walk, and the report's bytes and file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hdtree/listing/headless_window.h"
#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/report_file.h"
#include "hdtree/platform/scripted_search.h"
#include "hdtree/platform/sjis.h"
#include "hdtree/report/report.h"
#include "save_to_file.h"
#include "synthetic_search.h"

namespace {

using hdtree::AnsiString;

constexpr std::uint32_t kPackedTime =
    (17u << 25) | (5u << 21) | (12u << 16) | (9u << 11) | (30u << 5) | 12u;  // 1997/05/12 9:30:24

void SetGlyphs(hdtree::ListingState& s) {
  s.DriveRoot = "c:";
  s.BlankIndent = hdtree::glyphs::kBlankIndent;
  s.BarIndent = hdtree::glyphs::kBarIndent;
  s.TeeGlyph = hdtree::glyphs::kTeeGlyph;
  s.CornerGlyph = hdtree::glyphs::kCornerGlyph;
}

// One folder of `files` files and `folders` subfolders, listed again and again at level 2.
void BM_ListFolder(benchmark::State& bs) {
  const int files = static_cast<int>(bs.range(0));
  const int folders = files / 10;
  const int mode = static_cast<int>(bs.range(1));

  std::vector<hdtree::ScriptedEntry> entries;
  entries.push_back({".", hdtree::faDirectory, 0, kPackedTime, {}});
  entries.push_back({"..", hdtree::faDirectory, 0, kPackedTime, {}});
  for (int i = 0; i < files + folders; ++i) {
    if (i % 11 == 10) {
      entries.push_back({"folder_" + std::to_string(i), hdtree::faDirectory, 0, kPackedTime, {}});
    } else {
      entries.push_back({"report_" + std::to_string(i) + ".txt",
                         hdtree::faArchive,
                         static_cast<std::int64_t>(i) * 4099,
                         kPackedTime,
                         {}});
    }
  }
  hdtree::ScriptedDirectorySearch search;
  search.SetFolder("c:\\Docs\\Work\\*.*", entries);

  auto state = std::make_unique<hdtree::ListingState>();
  hdtree::ListingState& s = *state;
  SetGlyphs(s);
  s.RelativePath = "\\Docs\\Work";
  s.HostRelativePath = "/Docs/Work";
  s.FolderName = "Work";
  s.HeaderPrefix =
      std::string(hdtree::glyphs::kBarIndent) + std::string(hdtree::glyphs::kBlankIndent);
  s.ChildPrefix = s.HeaderPrefix + s.HeaderPrefix;
  s.ListLevel = 2;
  hdtree::HeadlessWindow window(mode);
  hdtree::Lister lister(s, search, window);

  for (auto _ : bs) {
    s.LastLine = 0;
    s.EntryCount = 0;
    lister.ListFolder();
    benchmark::DoNotOptimize(s.LastLine);
  }
  bs.SetItemsProcessed(bs.iterations() * static_cast<std::int64_t>(entries.size()));
  bs.SetLabel(mode == hdtree::kListFoldersOnly ? "folders only" : "all files");
}
BENCHMARK(BM_ListFolder)
    ->Args({1000, hdtree::kListAllFiles})
    ->Args({1000, hdtree::kListFoldersOnly});

void BM_FormatSizeDate(benchmark::State& bs) {
  auto state = std::make_unique<hdtree::ListingState>();
  hdtree::ScriptedDirectorySearch search;
  hdtree::HeadlessWindow window(hdtree::kListAllFiles);
  hdtree::Lister lister(*state, search, window);
  hdtree::TSearchRec& rec = state->SearchRec;
  const bool packed = bs.range(0) != 0;
  rec.HasPackedTime = packed;
  rec.Time = kPackedTime;
  rec.HostTime = -86400LL * 365 * 5;  // 1965: outside the packed range
  std::int64_t size = 0;
  for (auto _ : bs) {
    rec.Size = size;
    size = (size + 104729) & 0xFFFFFFF;
    lister.FormatSizeDate();
    benchmark::DoNotOptimize(state->SizeDateText.data());
  }
  bs.SetItemsProcessed(bs.iterations());
  bs.SetLabel(packed ? "packed time" : "host time");
}
BENCHMARK(BM_FormatSizeDate)->Arg(1)->Arg(0);

void BM_HostNameToSjis(benchmark::State& bs) {
  static const std::string kNames[] = {
      "report_final_2024-03.txt",                                           // ASCII
      "\xE8\xB3\x87\xE6\x96\x99_\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8.txt",  // 資料_報告書.txt
      "\xE8\xA1\xA8\xE8\xA8\x88\xE7\xAE\x97\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88",  // 表計算ソフト
      "bad\xFF"
      "name\x01\xC3\xA9",  // invalid, control, é
  };
  static const char* const kLabels[] = {"ASCII", "Japanese", "5C trail bytes", "invalid bytes"};
  const std::string& name = kNames[bs.range(0)];
  for (auto _ : bs) {
    AnsiString sjis = hdtree::HostNameToSjis(name);
    benchmark::DoNotOptimize(sjis.data());
  }
  bs.SetBytesProcessed(bs.iterations() * static_cast<std::int64_t>(name.size()));
  bs.SetLabel(kLabels[bs.range(0)]);
}
BENCHMARK(BM_HostNameToSjis)->DenseRange(0, 3);

// The command-line lister's output: a piece of a listing, Shift-JIS to UTF-8.
void BM_SjisToUtf8(benchmark::State& bs) {
  std::string piece;
  const std::string japanese = "\x8E\x91\x97\xBF\x95\xF1\x8D\x90\x8F\x91";  // 資料報告書
  for (int i = 0; piece.size() < (1u << 20); ++i) {
    piece += std::string(hdtree::glyphs::kBarIndent) + std::string(hdtree::glyphs::kTeeGlyph) + " ";
    piece += i % 7 == 0 ? japanese : "document_" + std::to_string(i);
    piece += ".dat.....1234KB.....2003/04/05 12:34:56 \n";
  }
  for (auto _ : bs) {
    std::string utf8 = hdtree::SjisToUtf8(piece);
    benchmark::DoNotOptimize(utf8.data());
  }
  bs.SetBytesProcessed(bs.iterations() * static_cast<std::int64_t>(piece.size()));
}
BENCHMARK(BM_SjisToUtf8)->Unit(benchmark::kMicrosecond);

// A whole run over a made-up tree of about range(0) lines, all files.
void BM_WalkTree(benchmark::State& bs) {
  const auto shape = hdtree::bench::SyntheticShape::ForLines(bs.range(0));
  hdtree::bench::SyntheticDirectorySearch search(shape);
  auto state = std::make_unique<hdtree::ListingState>();
  state->DriveLetter.assign(1, 'c');
  hdtree::HeadlessWindow window(hdtree::kListAllFiles);
  hdtree::Lister lister(*state, search, window);
  for (auto _ : bs) {
    window.CountLines.clear();
    window.DrawnPages.clear();
    lister.RunListing();
  }
  bs.SetItemsProcessed(bs.iterations() * state->LastLine);
}
BENCHMARK(BM_WalkTree)->Arg(100000)->Unit(benchmark::kMillisecond);

// A listing of range(0) lines of typical length, for the report benchmarks.
std::unique_ptr<hdtree::ListingState> ReportState(int lines) {
  auto state = std::make_unique<hdtree::ListingState>();
  state->DriveRoot = "c:";
  state->LineBuffer.Set(0, "c:");
  const std::string prefix = std::string(hdtree::glyphs::kBarIndent) +
                             std::string(hdtree::glyphs::kBlankIndent) +
                             std::string(hdtree::glyphs::kTeeGlyph);
  for (int i = 1; i <= lines; ++i) {
    state->LineBuffer.Set(
        i, prefix + " document_" + std::to_string(i) + ".dat.....1234KB.....2003/04/05 12:34:56 ");
  }
  state->LastLine = lines;
  return state;
}

void BM_ReportBytes(benchmark::State& bs) {
  auto state = ReportState(static_cast<int>(bs.range(0)));
  std::size_t size = 0;
  for (auto _ : bs) {
    std::string bytes = hdtree::ReportBytes(*state);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  bs.SetBytesProcessed(bs.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_ReportBytes)->Arg(100000)->Unit(benchmark::kMillisecond);

// The whole save of a listing: the records, the temporary file and its rename into place.
void BM_WriteReport(benchmark::State& bs) {
  auto state = ReportState(static_cast<int>(bs.range(0)));
  const std::string path = std::filesystem::temp_directory_path() / "hdtree-bench-report.txt";
  hdtree::bench::SyntheticDirectorySearch search({});
  ChosenSaveWindow window(path, hdtree::kListAllFiles);
  ReportOnlyFileSystem files;
  hdtree::ReportSaver saver(*state, search, files, window);
  std::int64_t size = 0;
  for (int i = 0; i <= state->LastLine; ++i) {
    size += static_cast<std::int64_t>(state->LineBuffer[i].size()) + 3;
  }
  for (auto _ : bs) saver.SaveReport();
  std::filesystem::remove(path);
  bs.SetBytesProcessed(bs.iterations() * size);
}
BENCHMARK(BM_WriteReport)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
