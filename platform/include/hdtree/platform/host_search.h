// The directory search over the host's real folders.
#pragma once

#include "hdtree/platform/drives.h"
#include "hdtree/platform/search.h"

namespace hdtree {

// Searches host folders through the drive table. Below a drive root "." and ".." come first
// (attributes exactly 16, size 0), then every other entry in readdir order; a drive root has
// neither. Attributes come from lstat (links are never followed): a directory is 16, +1 without
// owner write permission, +2 for a dot name, +1024 when it is the mount point of another file
// system; a symbolic link is 1024, +16 when it points to a directory; anything else is 32, +1
// without owner write permission, +2 for a dot name.
class HostDirectorySearch : public DirectorySearch {
 public:
  explicit HostDirectorySearch(const DriveTable& drives) : drives_(drives) {}

  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override;
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override;
  int FindNext(TSearchRec& rec) override;
  void FindClose(TSearchRec& rec) override;

 private:
  const DriveTable& drives_;
};

}  // namespace hdtree
