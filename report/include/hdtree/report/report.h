// Saving the listing as a report file.
#pragma once

#include <string>

#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/search.h"

namespace hdtree {

// Save modes, as the save-mode group's ItemIndex.
inline constexpr int kSaveAutomatic = 0;
inline constexpr int kSaveChosen = 1;
inline constexpr int kSaveNone = 2;

inline constexpr std::string_view kReportFolder = "Tree";
inline constexpr std::string_view kReportAllFiles = "TreeAll.txt";
inline constexpr std::string_view kReportFoldersOnly = "TreeFol.txt";
// Each line of a report is followed by these bytes.
inline constexpr std::string_view kRecordEnd = "\r\n ";

// The save dialog of a chosen save.
class SaveDialog {
 public:
  virtual ~SaveDialog() = default;
  virtual void SetInitialDir(const std::string& dir) = 0;
  // Shows the dialog modally; true when the user confirmed a file.
  virtual bool Execute() = 0;
  // The chosen file as an absolute host path, with .txt added to a bare name.
  virtual std::string FileName() const = 0;
};

// What the save needs of the window.
class SaveWindow {
 public:
  virtual ~SaveWindow() = default;
  virtual int SaveMode() const = 0;  // kSaveAutomatic, kSaveChosen or kSaveNone
  virtual int ListMode() const = 0;  // exactly 1: folders only
  virtual SaveDialog& Dialog() = 0;
};

// The report's bytes: lines 0 to LastLine, each followed by 0D 0A 20.
std::string ReportBytes(const ListingState& state);

class ReportSaver {
 public:
  ReportSaver(ListingState& state, DirectorySearch& search, FileSystem& files, SaveWindow& window)
      : s_(state), search_(search), files_(files), window_(window) {}

  // Saves by the save mode; throws FileError when the report cannot be written.
  void SaveReport();
  void WriteReport();

 private:
  ListingState& s_;
  DirectorySearch& search_;
  FileSystem& files_;
  SaveWindow& window_;
};

}  // namespace hdtree
