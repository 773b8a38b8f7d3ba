// Makes a folder tree for timing the lister against other tools. The same parameters always give
// the same tree: the same names, sizes and times, made in the same order.
//
//   hdtree-bench-tree [--folders N] [--files N] [--depth N] [--seed N] DIR
//
// DIR must not exist or be empty. Defaults: 10,000 folders, 100,000 files, 8 levels below DIR,
// seed 1. About 15 % of the names are Japanese, 5 % of the files have a dot name; every file is
// sparse (its size, 0 to 10 MiB, takes no blocks) and every entry gets a fixed modification time.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Parameters {
  long Folders = 10000;
  long Files = 100000;
  int Depth = 8;
  std::uint64_t Seed = 1;
};

constexpr int kJapanesePercent = 15;
constexpr int kDotFilePercent = 5;
constexpr std::int64_t kLargestFile = 10LL * 1024 * 1024;
// Times spread over 1995 to 2024, so that every file has a packed time; midnight comes up too.
constexpr std::int64_t kFirstTime = 788918400;  // 1995-01-01 00:00:00 UTC
constexpr std::int64_t kTimeSpan = 30LL * 365 * 24 * 3600;

// splitmix64: small, fast and the same on every platform (unlike the standard distributions).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0 to bound - 1.
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }
  bool Percent(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }

 private:
  std::uint64_t state_;
};

// Japanese words of names, in UTF-8; 表 and ソ have the trail byte 5C in Shift-JIS.
constexpr std::string_view kJapaneseWords[] = {
    "資料",         "写真",         "ドキュメント", "音楽",   "設定",         "表計算",
    "ソフト",       "報告書",       "会議",         "予定表", "東京",         "大阪",
    "見積書",       "請求書",       "画像",         "動画",   "バックアップ", "作業",
    "ダウンロード", "デスクトップ", "ｶﾀｶﾅ",         "日本語", "表示",         "能力",
};
constexpr std::string_view kWords[] = {
    "report", "data",  "image",  "notes",   "backup", "config", "src",   "build", "test",
    "doc",    "music", "photo",  "archive", "lib",    "cache",  "draft", "final", "old",
    "new",    "tmp",   "module", "Project", "README", "Setup",  "index", "log",
};
constexpr std::string_view kExtensions[] = {".txt", ".dat", ".jpg", ".png", ".cpp", ".h",
                                            ".log", ".mp3", ".pdf", ".xml", "",     ".tar.gz"};

template <typename T, std::size_t N>
std::string_view Pick(Random& random, const T (&items)[N]) {
  return items[random.Below(N)];
}

// A name unique within the tree: its words and the entry's number.
std::string MakeName(Random& random, long number, bool file) {
  std::string name;
  if (file && random.Percent(kDotFilePercent)) name += '.';
  if (random.Percent(kJapanesePercent)) {
    name += Pick(random, kJapaneseWords);
    if (random.Percent(50)) name += Pick(random, kJapaneseWords);
  } else {
    name += Pick(random, kWords);
    if (random.Percent(40)) {
      name += random.Percent(50) ? '_' : '-';
      name += Pick(random, kWords);
    }
  }
  name += '_';
  name += std::to_string(number);
  if (file) name += Pick(random, kExtensions);
  return name;
}

fs::file_time_type FileTime(std::int64_t unixSeconds) {
  const auto sys = std::chrono::sys_seconds(std::chrono::seconds(unixSeconds));
  return std::chrono::file_clock::from_sys(sys);
}

std::int64_t MakeTime(Random& random) {
  std::int64_t t = kFirstTime + static_cast<std::int64_t>(random.Below(kTimeSpan));
  if (random.Percent(2)) t -= t % 86400;  // some at exactly midnight (UTC)
  return t;
}

struct Folder {
  fs::path Path;
  int Depth = 0;
  std::int64_t Time = 0;
};

bool ParseArgs(int argc, char** argv, Parameters& p, fs::path& dir) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> long long {
      if (i + 1 >= argc) return -1;
      return std::atoll(argv[++i]);
    };
    if (arg == "--folders") {
      p.Folders = static_cast<long>(value());
    } else if (arg == "--files") {
      p.Files = static_cast<long>(value());
    } else if (arg == "--depth") {
      p.Depth = static_cast<int>(value());
    } else if (arg == "--seed") {
      p.Seed = static_cast<std::uint64_t>(value());
    } else if (!arg.empty() && arg[0] != '-' && dir.empty()) {
      dir = arg;
    } else {
      return false;
    }
  }
  return !dir.empty() && p.Folders >= 1 && p.Files >= 0 && p.Depth >= 1;
}

}  // namespace

int main(int argc, char** argv) {
  Parameters p;
  fs::path dir;
  if (!ParseArgs(argc, argv, p, dir)) {
    std::fprintf(stderr,
                 "usage: hdtree-bench-tree [--folders N] [--files N] [--depth N] [--seed N] DIR\n");
    return 2;
  }
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) {
    std::fprintf(stderr, "hdtree-bench-tree: %s is not empty\n", dir.c_str());
    return 1;
  }
  fs::create_directories(dir);

  Random random(p.Seed);
  // Folder 0 is DIR itself; every new folder goes below a random folder that is not yet at the
  // deepest level, which gives a bushy tree that reaches the full depth.
  std::vector<Folder> folders{{dir, 0, MakeTime(random)}};
  std::vector<std::size_t> open{0};  // folders that may still get subfolders
  long number = 0;
  for (long i = 0; i < p.Folders; ++i) {
    const std::size_t at = random.Below(open.size());
    const Folder parent = folders[open[at]];
    Folder child{parent.Path / MakeName(random, number++, false), parent.Depth + 1,
                 MakeTime(random)};
    fs::create_directory(child.Path);
    if (child.Depth < p.Depth) open.push_back(folders.size());
    folders.push_back(std::move(child));
  }

  for (long i = 0; i < p.Files; ++i) {
    const Folder& folder = folders[random.Below(folders.size())];
    const fs::path path = folder.Path / MakeName(random, number++, true);
    const auto size = static_cast<std::uintmax_t>(random.Below(kLargestFile + 1));
    const std::int64_t time = MakeTime(random);
    { std::ofstream create(path, std::ios::binary); }
    fs::resize_file(path, size);  // a hole: the size without the blocks
    fs::last_write_time(path, FileTime(time));
  }

  // Folder times last, deepest first: making an entry changes its folder's time.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    fs::last_write_time(it->Path, FileTime(it->Time));
  }
  std::printf("%ld folders, %ld files, depth %d, seed %llu in %s\n", p.Folders, p.Files, p.Depth,
              static_cast<unsigned long long>(p.Seed), dir.c_str());
  return 0;
}
