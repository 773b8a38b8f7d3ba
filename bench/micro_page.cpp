// Micro-benchmark of the page view: one DrawPage (the fill and the 26 lines) into the offscreen
// page picture at 96 dpi, at scroll positions spread over listings of different lengths. The
// cost of a scroll step must not grow with the listing.
//
//   QT_QPA_PLATFORM=offscreen hdtree-bench-page   (the program sets both when they are unset)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/drives.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/scripted_search.h"
#include "hdtree/ui/form.h"

namespace {

using hdtree::AnsiString;

// A listing of `lines` lines as a walk writes them: indents, glyphs, Japanese and ASCII names,
// annotations, and the 29 blank lines after the last.
void FillListing(hdtree::ListingState& state, int lines) {
  const std::string bar =
      std::string(hdtree::glyphs::kBarIndent) + std::string(hdtree::glyphs::kBlankIndent);
  const std::string tee(hdtree::glyphs::kTeeGlyph);
  const std::string japanese = "\x8E\x91\x97\xBF\x95\xF1\x8D\x90\x8F\x91";  // 資料報告書
  state.LineBuffer.Set(0, "c:");
  for (int i = 1; i <= lines; ++i) {
    std::string line;
    for (int level = 0; level < 1 + i % 5; ++level) line += bar;
    line += tee;
    line += ' ';
    line += i % 7 == 0 ? japanese : "document";
    line += "_" + std::to_string(i) + ".dat.....1234KB.....2003/04/05 12:34:56 ";
    state.LineBuffer.Set(i, line);
  }
  state.LastLine = lines;
  for (int i = 1; i <= hdtree::kBlankLinesAfterLast; ++i) state.LineBuffer.Clear(lines + i);
}

struct Window {
  explicit Window(int lines)
      : search(), files(drives), form(hdtree::FormServices{state, drives, search, files, [] {
                                                             return AnsiString("C:\\");
                                                           }}) {
    FillListing(state, lines);
  }
  hdtree::ListingState state;
  hdtree::DriveTable drives;
  hdtree::ScriptedDirectorySearch search;
  hdtree::HostFileSystem files;
  hdtree::TForm1 form;
};

// One page draw at a position that moves through the listing, as scrolling does.
void BM_DrawPage(benchmark::State& bs) {
  const int lines = static_cast<int>(bs.range(0));
  auto window = std::make_unique<Window>(lines);
  std::int64_t position = 0;
  const std::int64_t step = lines / 97 + 1;  // visits the whole range, not one region
  for (auto _ : bs) {
    window->form.DrawPage(static_cast<int>(position));
    position = (position + step) % (lines + 1);
  }
  bs.SetItemsProcessed(bs.iterations());
  bs.SetLabel(std::to_string(lines) + " lines");
}
BENCHMARK(BM_DrawPage)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The arrow button: one line down from wherever the page stands.
void BM_ScrollStep(benchmark::State& bs) {
  const int lines = static_cast<int>(bs.range(0));
  auto window = std::make_unique<Window>(lines);
  int position = lines / 2;
  for (auto _ : bs) {
    window->form.DrawPage(position);
    position = position + 1 > lines ? 0 : position + 1;
  }
  bs.SetItemsProcessed(bs.iterations());
  bs.SetLabel(std::to_string(lines) + " lines");
}
BENCHMARK(BM_ScrollStep)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_FONT_DPI", "96", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
