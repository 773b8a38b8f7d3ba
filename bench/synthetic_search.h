// A directory search that makes its entries up as it delivers them, so that a listing of
// millions of lines can be timed and measured without a fixture of that size in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "hdtree/platform/search.h"

namespace hdtree::bench {

// A regular tree: every folder above the deepest level has Fanout subfolders, and every folder
// (the drive root included) has FilesPerFolder files, the folders spread among the files.
struct SyntheticShape {
  int Fanout = 10;
  int Depth = 4;
  int FilesPerFolder = 8;

  // Folders in the tree, the drive root included.
  std::int64_t Folders() const {
    std::int64_t total = 0;
    std::int64_t level = 1;
    for (int d = 0; d <= Depth; ++d, level *= Fanout) total += level;
    return total;
  }
  // Lines of an all-files listing, line 0 included: one per folder and one per file.
  std::int64_t Lines() const { return Folders() * (FilesPerFolder + 1); }
  // The shape with about `lines` lines, for a fanout and depth.
  static SyntheticShape ForLines(std::int64_t lines, int fanout = 10, int depth = 4) {
    SyntheticShape s{fanout, depth, 0};
    const std::int64_t perFolder = lines / s.Folders() - 1;
    s.FilesPerFolder = static_cast<int>(perFolder < 0 ? 0 : perFolder);
    return s;
  }
};

class SyntheticDirectorySearch : public DirectorySearch {
 public:
  explicit SyntheticDirectorySearch(SyntheticShape shape) : shape_(shape) {}

  // Single-entry searches (the report's existence test) find nothing.
  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override {
    (void)path;
    (void)mask;
    rec.FindHandle.reset();
    return kSearchNoEntry;
  }

  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override {
    (void)path;
    (void)mask;
    // Only the folders this search made up exist (not the walk's fixed first entry).
    int depth = 0;
    for (std::size_t at = hostRelative.find('/'); at != std::string::npos;
         at = hostRelative.find('/', at + 1)) {
      if (hostRelative.compare(at + 1, kFolderStem.size(), kFolderStem) != 0) {
        rec.FindHandle.reset();
        return kSearchNoEntry;
      }
      ++depth;
    }
    auto handle = std::make_unique<Handle>();
    handle->Depth = depth;
    handle->Dots = depth == 0 ? 0 : 2;
    handle->Subfolders = depth < shape_.Depth ? shape_.Fanout : 0;
    handle->Total = handle->Dots + handle->Subfolders + shape_.FilesPerFolder;
    if (handle->Total == 0) {
      rec.FindHandle.reset();
      return kSearchNoEntry;
    }
    rec.FindHandle = std::move(handle);
    return FindNext(rec);
  }

  int FindNext(TSearchRec& rec) override {
    auto* h = dynamic_cast<Handle*>(rec.FindHandle.get());
    if (h == nullptr || h->Next >= h->Total) return kSearchNoEntry;
    Fill(*h, h->Next++, rec);
    return kSearchFound;
  }

  void FindClose(TSearchRec& rec) override { rec.FindHandle.reset(); }

 private:
  struct Handle : SearchHandle {
    int Depth = 0;
    int Dots = 0;
    int Subfolders = 0;
    int Total = 0;
    int Next = 0;
  };

  // Entry i of a folder: the dots, then the files with a subfolder after every few of them.
  void Fill(const Handle& h, int i, TSearchRec& rec) const {
    rec.HasPackedTime = true;
    rec.HostTime = 0;
    if (i < h.Dots) {
      rec.Name.assign(i == 0 ? "." : "..");
      rec.HostName.assign(rec.Name);
      rec.Attr = faDirectory;
      rec.Size = 0;
      rec.Time = kFolderTime;
      return;
    }
    // Entries after the dots: the subfolders spread evenly among the files, the first of them
    // a folder and the last a file (so that folders end with a corner fix-up).
    const int k = i - h.Dots;
    const int n = h.Total - h.Dots;
    const int r = n - 1 - k;
    const bool folder = h.Subfolders > 0 && static_cast<std::int64_t>(r) * h.Subfolders / n <
                                                static_cast<std::int64_t>(r + 1) * h.Subfolders / n;
    if (folder) {
      rec.Name.assign(kFolderStem);
      rec.Name += std::to_string(k);
      rec.HostName.assign(rec.Name);
      rec.Attr = faDirectory;
      rec.Size = 0;
      rec.Time = kFolderTime;
      return;
    }
    rec.Name.assign("document_");
    rec.Name += std::to_string(k);
    rec.Name += ".dat";
    rec.HostName.assign(rec.Name);
    rec.Attr = faArchive;
    rec.Size = static_cast<std::int64_t>(k) * 7919 % (10 * 1024 * 1024);
    rec.Time = kFileTime + static_cast<std::uint32_t>(k % 30);  // 0 to 58 seconds
  }

  // 2003/04/05 12:34:00 (the seconds added per file) and 2001/02/03 0:00:00, packed.
  static constexpr std::uint32_t kFileTime =
      (23u << 25) | (4u << 21) | (5u << 16) | (12u << 11) | (34u << 5);
  static constexpr std::uint32_t kFolderTime = (21u << 25) | (2u << 21) | (3u << 16);

  static constexpr std::string_view kFolderStem = "folder_";

  SyntheticShape shape_;
};

}  // namespace hdtree::bench
