// Time and peak memory of one listing run and its save, over a made-up tree of a given number
// of lines. Run it once per size, each in a fresh process, since the peak only ever grows:
//
//   hdtree-bench-walk LINES [--folders-only] [--flat] [--save FILE]
//
// The tree has ten subfolders per folder down to four levels and files spread over all; with
// --flat it is one drive root of LINES empty folders (one row of the folder table that long).
//
// Prints one line of key=value pairs: the lines listed, the report's size, the seconds of the
// walk and of the save, and the resident memory (VmHWM, KiB) at start, after the walk and after
// the save, and the growth over the start less the report's size ("overhead").
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "hdtree/listing/headless_window.h"
#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/report_file.h"
#include "hdtree/report/report.h"
#include "save_to_file.h"
#include "synthetic_search.h"

namespace {

using hdtree::AnsiString;

// A value of /proc/self/status in KiB ("VmHWM", "VmRSS"); 0 when it cannot be read.
long StatusKiB(std::string_view key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() &&
        line[key.size()] == ':') {
      return std::atol(line.c_str() + key.size() + 1);
    }
  }
  return 0;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  long long lines = 0;
  int listMode = hdtree::kListAllFiles;
  std::string savePath;
  bool flat = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--folders-only") {
      listMode = hdtree::kListFoldersOnly;
    } else if (arg == "--flat") {
      flat = true;
    } else if (arg == "--save" && i + 1 < argc) {
      savePath = argv[++i];
    } else if (lines == 0) {
      lines = std::atoll(argv[i]);
    }
  }
  if (lines <= 0) {
    std::fprintf(stderr,
                 "usage: hdtree-bench-walk LINES [--folders-only] [--flat] [--save FILE]\n");
    return 2;
  }

  const long startKiB = StatusKiB("VmHWM");
  const auto shape = flat ? hdtree::bench::SyntheticShape{static_cast<int>(lines), 1, 0}
                          : hdtree::bench::SyntheticShape::ForLines(lines);
  auto state = std::make_unique<hdtree::ListingState>();
  hdtree::bench::SyntheticDirectorySearch search(shape);
  hdtree::HeadlessWindow window(listMode);
  hdtree::Lister lister(*state, search, window);
  state->DriveLetter = "c";

  const auto t0 = std::chrono::steady_clock::now();
  lister.RunListing();
  const auto t1 = std::chrono::steady_clock::now();
  const long walkKiB = StatusKiB("VmHWM");

  long long reportBytes = 0;
  for (int i = 0; i <= state->LastLine; ++i) {
    reportBytes += static_cast<long long>(state->LineBuffer[i].size()) + 3;
  }

  double saveSeconds = 0;
  long saveKiB = walkKiB;
  if (!savePath.empty()) {
    ChosenSaveWindow saveWindow(savePath, listMode);
    ReportOnlyFileSystem files;
    hdtree::ReportSaver saver(*state, search, files, saveWindow);
    const auto s0 = std::chrono::steady_clock::now();
    saver.SaveReport();
    saveSeconds = Seconds(std::chrono::steady_clock::now() - s0);
    saveKiB = StatusKiB("VmHWM");
  }

  const long reportKiB = static_cast<long>(reportBytes / 1024);
  std::printf(
      "lines=%d report_kib=%ld walk_s=%.3f save_s=%.3f start_kib=%ld walk_peak_kib=%ld "
      "save_peak_kib=%ld walk_overhead_kib=%ld save_overhead_kib=%ld\n",
      state->LastLine, reportKiB, Seconds(t1 - t0), saveSeconds, startKiB, walkKiB, saveKiB,
      walkKiB - startKiB - reportKiB, saveKiB - startKiB - reportKiB);
  return 0;
}
