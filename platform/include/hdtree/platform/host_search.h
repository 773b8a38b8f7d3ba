// The directory search over the host's real folders.
#pragma once

#include <memory>
#include <string>

#include "hdtree/platform/drives.h"
#include "hdtree/platform/search.h"

namespace hdtree {

// Searches host folders through the drive table. Below a drive root "." and ".." come first
// (attributes exactly 16, size 0), then every other entry in readdir order; a drive root has
// neither. Attributes come from lstat (links are never followed): a directory is 16, +1 without
// owner write permission, +2 for a dot name, +1024 when it is the mount point of another file
// system; a symbolic link is 1024, +16 when it points to a directory; anything else is 32, +1
// without owner write permission, +2 for a dot name.
//
// FindFirstIn, the walk's search, reaches each folder through the descriptor of its parent and
// keeps the folders of the last path open for the next search (so a walk opens each folder
// once, and resolves no path again), until ReleaseFolders or the next search of a drive root.
// Each name below the root is opened without following a link: a folder that became a link
// after its parent was read is not entered.
class HostDirectorySearch : public DirectorySearch {
 public:
  explicit HostDirectorySearch(const DriveTable& drives);
  ~HostDirectorySearch() override;
  HostDirectorySearch(const HostDirectorySearch&) = delete;
  HostDirectorySearch& operator=(const HostDirectorySearch&) = delete;

  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override;
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override;
  int FindNext(TSearchRec& rec) override;
  void FindClose(TSearchRec& rec) override;
  // Without file details an entry that the folder's listing types as no directory is not
  // examined further (no lstat): 32, or 1024 for a link, +2 for a dot name.
  void SetFileDetails(bool needed) override { fileDetails_ = needed; }
  void ReleaseFolders() override;

 private:
  class OpenFolders;

  const DriveTable& drives_;
  std::unique_ptr<OpenFolders> open_;  // never null
  bool fileDetails_ = true;
};

}  // namespace hdtree
