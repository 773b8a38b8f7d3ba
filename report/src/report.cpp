#include "hdtree/report/report.h"

#include "hdtree/listing/lister.h"

namespace hdtree {
namespace {

// The report folder below a drive root, with the separators around it: "\Tree\".
AnsiString ReportFolderPath(const AnsiString& driveRoot) {
  AnsiString path = driveRoot;
  path += '\\';
  path += kReportFolder;
  path += '\\';
  return path;
}

// Drops the report stream when the write ends, also by an exception: an uncommitted stream
// removes its temporary file and leaves the target as it was.
class ReportFileRelease {
 public:
  explicit ReportFileRelease(std::unique_ptr<ReportFile>& file) : file_(file) {}
  ~ReportFileRelease() { file_.reset(); }
  ReportFileRelease(const ReportFileRelease&) = delete;
  ReportFileRelease& operator=(const ReportFileRelease&) = delete;

 private:
  std::unique_ptr<ReportFile>& file_;
};

}  // namespace

std::string ReportBytes(const ListingState& state) {
  return std::string(state.LineBuffer.Records(state.LastLine));
}

void ReportSaver::SaveReport() {
  const int mode = window_.SaveMode();
  if (mode == kSaveNone) return;

  if (mode == kSaveAutomatic) {
    s_.ReportFileName = kReportAllFiles;
    if (window_.ListMode() == kListFoldersOnly) s_.ReportFileName = kReportFoldersOnly;

    // An existing report proves the folder exists; otherwise the folder is made in the drive
    // root. A folder that exists already makes no difference; a root that cannot be reached
    // gets none, and no folder is made in whatever folder was current instead.
    SearchGuard ending(search_, s_.SearchRec);
    const AnsiString reportPath = ReportFolderPath(s_.DriveRoot) + s_.ReportFileName;
    if (search_.FindFirst(reportPath, faAnyFile, s_.SearchRec) != kSearchFound) {
      if (files_.ChangeDirectory(s_.DriveRoot + "\\")) {
        files_.CreateFolder(AnsiString(kReportFolder));
      }
    }
  }
  WriteReport();
}

void ReportSaver::WriteReport() {
  std::string path;
  if (window_.SaveMode() == kSaveChosen) {
    SaveDialog& dialog = window_.Dialog();
    dialog.SetInitialDir("");
    if (!dialog.Execute()) return;
    path = dialog.FileName();
  } else {
    // Leaves the process on the listed drive, at the folder last current there.
    files_.ChangeDirectory(s_.DriveRoot);
    path = ReportFolderPath(s_.DriveRoot) + s_.ReportFileName;
  }

  // A report that cannot be opened throws before anything is kept, so a failed stream is never
  // written or closed.
  s_.ReportFile = files_.OpenReport(path);
  ReportFileRelease release(s_.ReportFile);
  // The line store holds the lines as records already: the whole report is one write.
  s_.ReportFile->Write(s_.LineBuffer.Records(s_.LastLine));
  s_.TopIndex = s_.LastLine + 1;  // where the original line-by-line loop leaves its counter
  s_.ReportFile->Commit();
}

}  // namespace hdtree
