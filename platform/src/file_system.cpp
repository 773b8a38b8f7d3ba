#include "hdtree/platform/file_system.h"

namespace hdtree {

bool HostFileSystem::ChangeDirectory(const AnsiString& drivePath) {
  return drives_.ChangeDirectory(drivePath);
}

bool HostFileSystem::CreateFolder(const AnsiString& path) { return drives_.CreateDirectory(path); }

std::unique_ptr<ReportFile> HostFileSystem::OpenReport(const std::string& path) {
  if (!path.empty() && path.front() == '/') return ReportFile::Create(path);
  const std::optional<std::string> host = drives_.ToHostPath(path);
  if (!host || host->empty()) {
    throw FileError("cannot open " + SjisToUtf8(path) + ": No such drive");
  }
  return ReportFile::Create(*host);
}

}  // namespace hdtree
