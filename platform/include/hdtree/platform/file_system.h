// The file-system services of a save: current directory, one folder, the report file.
#pragma once

#include <memory>
#include <string>

#include "hdtree/platform/drives.h"
#include "hdtree/platform/report_file.h"

namespace hdtree {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Changes the current directory to a drive path ("x:\" or "x:"); false when it cannot.
  virtual bool ChangeDirectory(const AnsiString& drivePath) = 0;
  // Creates one folder relative to the current directory (or at a drive path); false when not.
  virtual bool CreateFolder(const AnsiString& path) = 0;
  // Opens a report for writing: a drive path in Shift-JIS ("x:\Tree\TreeAll.txt") or an
  // absolute host path ("/home/ann/tree.txt"). Throws FileError.
  virtual std::unique_ptr<ReportFile> OpenReport(const std::string& path) = 0;
};

// The host's file system, through the drive table.
class HostFileSystem : public FileSystem {
 public:
  explicit HostFileSystem(DriveTable& drives) : drives_(drives) {}
  bool ChangeDirectory(const AnsiString& drivePath) override;
  bool CreateFolder(const AnsiString& path) override;
  std::unique_ptr<ReportFile> OpenReport(const std::string& path) override;

 private:
  DriveTable& drives_;
};

}  // namespace hdtree
