#include "hdtree/cli/cli.h"

#include <cctype>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "hdtree/listing/headless_window.h"
#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/host_search.h"
#include "hdtree/platform/sjis.h"
#include "hdtree/report/report.h"

#ifndef HDTREE_VERSION
#error "HDTREE_VERSION must be defined by the build"
#endif

namespace hdtree {
namespace {

namespace fs = std::filesystem;

constexpr char kDefaultFolderLetter = 'z';
constexpr char kFirstDriveLetter = 'c';
constexpr char kLastDriveLetter = 'z';
// The listing is written in pieces of about this many bytes, one write each.
constexpr std::size_t kOutputChunkBytes = std::size_t{1} << 20;

constexpr std::string_view kUsage =
    "usage: hdtree-list [-a | --all] [--sjis] [--letter L] [-o FILE | --auto] [TARGET]\n"
    "       hdtree-list --drives | --help | --version\n";

constexpr std::string_view kHelpBody =
    "\n"
    "Lists the folder tree of a drive, or of a folder taken as the root of a drive, as\n"
    "indented text drawn with box-drawing characters, down to nine levels of folders.\n"
    "\n"
    "  TARGET        a drive of the drive table (\"d:\" or \"d\", either case), or a folder\n"
    "                (a path with a '/', or the name of an existing folder), which is listed\n"
    "                as the root of drive L; by default the drive of the current directory.\n"
    "                Write ./d for a folder named like a drive.\n"
    "  -a, --all     list every file with its size and date, not only the folders\n"
    "  --sjis        write the listing and the count line in Shift-JIS (code page 932),\n"
    "                as the report holds them, instead of UTF-8\n"
    "  --letter L    the drive letter (c to z) of a folder target; default z\n"
    "  -o FILE       save the report into FILE, exactly as named (replacing it)\n"
    "  --auto        save the report into the drive's Tree folder, as Tree/TreeFol.txt\n"
    "                (Tree/TreeAll.txt with --all)\n"
    "  --drives      print the drive table, one \"x: /host/root\" a line\n"
    "  -h, --help    print this help\n"
    "  --version     print the version\n"
    "\n"
    "The listing goes to standard output, one line each. The count line (\"総ファイル数＝\"\n"
    "and the number of lines after the first) goes to standard error, in UTF-8, or in\n"
    "Shift-JIS with --sjis. A report holds the Shift-JIS lines, each followed by CR LF\n"
    "and a blank.\n"
    "\n"
    "Exit status: 0 success, 1 the listing or the save failed, 2 a wrong command line.\n";

// A wrong command line; the message names the problem.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool AllFiles = false;
  bool Sjis = false;
  bool Automatic = false;
  bool ShowDrives = false;
  std::optional<char> Letter;
  std::optional<std::string> OutputFile;
  std::vector<std::string> Targets;
};

enum class Action { kList, kHelp, kVersion };

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "d" or "d:", either case.
bool IsDriveForm(std::string_view text) {
  return (text.size() == 1 && IsAsciiLetter(text[0])) ||
         (text.size() == 2 && IsAsciiLetter(text[0]) && text[1] == ':');
}

char ParseLetter(std::string_view value) {
  std::string_view letter = value;
  if (letter.size() == 2 && letter[1] == ':') letter.remove_suffix(1);
  if (letter.size() != 1 || !IsAsciiLetter(letter[0]) || Lower(letter[0]) < kFirstDriveLetter ||
      Lower(letter[0]) > kLastDriveLetter) {
    throw UsageError("bad drive letter for --letter: '" + std::string(value) +
                     "' (give one letter, c to z)");
  }
  return Lower(letter[0]);
}

// Reads the arguments in order; --help and --version end the reading where they stand.
Action ParseArguments(const std::vector<std::string>& args, Options& options) {
  bool optionsEnded = false;
  bool listingOption = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      options.Targets.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      return Action::kHelp;
    } else if (arg == "--version") {
      return Action::kVersion;
    } else if (arg == "-a" || arg == "--all") {
      options.AllFiles = true;
      listingOption = true;
    } else if (arg == "--sjis") {
      options.Sjis = true;
      listingOption = true;
    } else if (arg == "--auto") {
      options.Automatic = true;
      listingOption = true;
    } else if (arg == "--drives") {
      options.ShowDrives = true;
    } else if (arg == "--letter" || arg.starts_with("--letter=")) {
      std::string value;
      if (arg == "--letter") {
        if (i + 1 == args.size()) throw UsageError("--letter needs a drive letter");
        value = args[++i];
      } else {
        value = arg.substr(std::string_view("--letter=").size());
      }
      options.Letter = ParseLetter(value);
      listingOption = true;
    } else if (arg == "-o") {
      if (i + 1 == args.size() || args[i + 1].empty()) throw UsageError("-o needs a file name");
      if (options.OutputFile) throw UsageError("-o given more than once");
      options.OutputFile = args[++i];
      listingOption = true;
    } else {
      throw UsageError("unknown option: " + arg);
    }
  }

  if (options.ShowDrives && (listingOption || !options.Targets.empty())) {
    throw UsageError("--drives takes no other arguments");
  }
  if (options.OutputFile && options.Automatic) {
    throw UsageError("-o and --auto cannot be used together");
  }
  if (options.Targets.size() > 1) throw UsageError("more than one target: " + options.Targets[1]);
  return Action::kList;
}

// Turns the target into the letter of the drive to list; a folder target becomes a drive of the
// table first.
char ResolveTarget(const Options& options, DriveTable& drives) {
  if (options.Targets.empty()) {
    if (options.Letter) throw UsageError("--letter applies to a folder target only");
    const AnsiString current = drives.CurrentDirectory();
    if (current.empty()) throw std::runtime_error("the current directory lies on no drive");
    return Lower(current.front());
  }

  const std::string& target = options.Targets.front();
  if (IsDriveForm(target) && drives.Find(target.front()) != nullptr) {
    if (options.Letter) throw UsageError("--letter applies to a folder target only");
    return Lower(target.front());
  }

  std::error_code error;
  const bool looksLikeFolder =
      target.find('/') != std::string::npos || fs::is_directory(target, error);
  if (!looksLikeFolder) {
    if (IsDriveForm(target)) {
      throw UsageError("no such drive: " + std::string(1, Lower(target.front())) + ":");
    }
    if (fs::exists(target, error)) throw UsageError("not a folder: " + target);
    throw UsageError("no such folder: " + target);
  }

  const fs::path resolved = fs::canonical(target, error);
  if (error) {
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
      throw UsageError("no such folder: " + target);
    }
    throw UsageError("cannot use " + target + ": " + error.message());
  }
  if (!fs::is_directory(resolved, error)) throw UsageError("not a folder: " + target);

  const char letter = options.Letter.value_or(kDefaultFolderLetter);
  drives.Assign(letter, resolved.string());
  return letter;
}

// Collects lines and writes them in large pieces: as they are (Shift-JIS) or in UTF-8.
class ListingWriter {
 public:
  ListingWriter(std::ostream& out, bool sjis) : out_(out), sjis_(sjis) {
    pending_.reserve(kOutputChunkBytes + kOutputChunkBytes / 8);
  }

  void Line(std::string_view line) {
    // A line feed is never part of a two-byte character, so whole lines of well-formed text
    // convert as one piece. A line that is not well formed is converted alone, so that its
    // broken character cannot swallow the line feed.
    if (!sjis_ && !IsWellFormedSjis(line)) {
      Flush();
      pending_ = SjisToUtf8(line);
      pending_ += '\n';
      out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
      pending_.clear();
      return;
    }
    pending_ += line;
    pending_ += '\n';
    if (pending_.size() >= kOutputChunkBytes) Flush();
  }

  void Flush() {
    if (pending_.empty()) return;
    if (sjis_) {
      out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    } else {
      const std::string utf8 = SjisToUtf8(pending_);
      out_.write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
    }
    pending_.clear();
  }

 private:
  std::ostream& out_;
  bool sjis_;
  std::string pending_;
};

// The chosen save of the command line: the file the user named, with no questions.
class NamedFileDialog : public SaveDialog {
 public:
  explicit NamedFileDialog(std::string path) : path_(std::move(path)) {}
  void SetInitialDir(const std::string&) override {}
  bool Execute() override { return true; }
  std::string FileName() const override { return path_; }

 private:
  std::string path_;
};

class CliSaveWindow : public SaveWindow {
 public:
  CliSaveWindow(int saveMode, int listMode, SaveDialog& dialog)
      : saveMode_(saveMode), listMode_(listMode), dialog_(dialog) {}
  int SaveMode() const override { return saveMode_; }
  int ListMode() const override { return listMode_; }
  SaveDialog& Dialog() override { return dialog_; }

 private:
  int saveMode_;
  int listMode_;
  SaveDialog& dialog_;
};

// Puts the process's current directory back where it was (an automatic save changes it).
class CurrentDirectoryGuard {
 public:
  CurrentDirectoryGuard() { saved_ = fs::current_path(error_); }
  ~CurrentDirectoryGuard() {
    if (error_) return;
    std::error_code ignored;
    fs::current_path(saved_, ignored);
  }
  CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
  CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

 private:
  fs::path saved_;
  std::error_code error_;
};

void WriteText(std::ostream& stream, std::string_view text) {
  stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void PrintMessage(std::ostream& err, std::string_view message) {
  std::string line(kCliName);
  line += ": ";
  line += message;
  line += '\n';
  WriteText(err, line);
}

int List(const Options& options, std::ostream& out, std::ostream& err, DriveTable& drives) {
  const char letter = ResolveTarget(options, drives);
  const int listMode = options.AllFiles ? kListAllFiles : kListFoldersOnly;

  int saveMode = kSaveNone;
  std::string reportPath;
  if (options.Automatic) saveMode = kSaveAutomatic;
  if (options.OutputFile) {
    saveMode = kSaveChosen;
    std::error_code error;
    reportPath = fs::absolute(*options.OutputFile, error).string();
    if (error)
      throw std::runtime_error("cannot use " + *options.OutputFile + ": " + error.message());
  }

  CurrentDirectoryGuard keepDirectory;
  ListingState state;
  state.DriveLetter = AnsiString(1, letter);
  HeadlessWindow window(listMode);
  HostDirectorySearch search(drives);
  Lister(state, search, window).RunListing();

  ListingWriter writer(out, options.Sjis);
  for (int i = 0; i <= state.LastLine; ++i) writer.Line(state.LineBuffer[i]);
  writer.Flush();
  out.flush();
  if (!out) {
    PrintMessage(err, "cannot write the listing to standard output");
    return kExitFailure;
  }

  for (const AnsiString& count : window.CountLines) {
    std::string line = options.Sjis ? count : SjisToUtf8(count);
    line += '\n';
    WriteText(err, line);
  }

  if (saveMode != kSaveNone) {
    HostFileSystem files(drives);
    NamedFileDialog dialog(reportPath);
    CliSaveWindow saveWindow(saveMode, listMode, dialog);
    ReportSaver(state, search, files, saveWindow).SaveReport();
  }
  return kExitSuccess;
}

}  // namespace

std::string CliUsage() { return std::string(kUsage); }

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunCli(args, out, err, DriveTable::FromHost());
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           DriveTable drives) {
  try {
    Options options;
    switch (ParseArguments(args, options)) {
      case Action::kHelp:
        WriteText(out, kUsage);
        WriteText(out, kHelpBody);
        out.flush();
        return kExitSuccess;
      case Action::kVersion:
        WriteText(out, std::string(kCliName) + " " HDTREE_VERSION "\n");
        out.flush();
        return kExitSuccess;
      case Action::kList:
        break;
    }
    if (options.ShowDrives) {
      std::string table;
      for (const Drive& drive : drives.Drives()) {
        table += drive.Letter;
        table += ": ";
        table += drive.HostRoot;
        table += '\n';
      }
      WriteText(out, table);
      out.flush();
      return kExitSuccess;
    }
    return List(options, out, err, drives);
  } catch (const UsageError& e) {
    PrintMessage(err, e.what());
    WriteText(err, kUsage);
    return kExitUsage;
  } catch (const std::exception& e) {
    PrintMessage(err, e.what());
    return kExitFailure;
  }
}

}  // namespace hdtree
