// The directory search: start, next, end over one folder of a drive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hdtree/platform/sjis.h"

namespace hdtree {

// Attribute bits of a search entry.
inline constexpr int faReadOnly = 1;
inline constexpr int faHidden = 2;
inline constexpr int faSysFile = 4;
inline constexpr int faVolumeID = 8;
inline constexpr int faDirectory = 16;
inline constexpr int faArchive = 32;
inline constexpr int faReparsePoint = 1024;
// The mask that filters nothing out.
inline constexpr int faAnyFile = 63;

// Result of FindFirst and FindNext: 0 when an entry was delivered.
inline constexpr int kSearchFound = 0;
inline constexpr int kSearchNoEntry = 18;  // no (further) entry, or no search open

// The state of one open search; each implementation derives its own. Released by FindClose or
// when the record is destroyed.
class SearchHandle {
 public:
  virtual ~SearchHandle() = default;
};

// The one record of a directory search: the current entry and the open search.
struct TSearchRec {
  AnsiString Name;        // the entry's name, Shift-JIS
  std::string HostName;   // the entry's real name on the host, to reach it again
  int Attr = 0;           // attribute bits
  std::int64_t Size = 0;  // full size in bytes; 0 for folders and links
  // Modification time packed as an MS-DOS date and time (local time) when HasPackedTime;
  // otherwise HostTime (seconds since 1970 UTC) holds a time the packed form cannot.
  std::uint32_t Time = 0;
  bool HasPackedTime = true;
  std::int64_t HostTime = 0;
  std::unique_ptr<SearchHandle> FindHandle;  // the open search, null when none
};

// A directory search over the folders of drives. The path is a drive path in Shift-JIS, either a
// folder pattern "x:\a\b\*.*" (every entry of \a\b) or one entry "x:\a\b\name" (that entry
// alone, found when it exists).
class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;

  // Starts a search. Returns kSearchFound and the first entry in rec, or another value, and then
  // no search is left open. Never throws for a folder that is missing or cannot be read.
  virtual int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) = 0;

  // As FindFirst, for a folder whose real host path below the drive root is known: hostRelative
  // is "" for the root or "/name/name" of host names. The walk uses it so that a folder whose
  // shown name holds a '?' is still reached by its own name. By default the host path is
  // ignored and the drive path decides.
  virtual int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                          TSearchRec& rec) {
    (void)hostRelative;
    return FindFirst(path, mask, rec);
  }

  // Delivers the next entry: kSearchFound, or another value when none is left or no search is
  // open.
  virtual int FindNext(TSearchRec& rec) = 0;

  // Ends the search; does nothing when none is open.
  virtual void FindClose(TSearchRec& rec) = 0;

  // Whether the searches from now on must deliver every entry in full (true at first). With
  // false, as a folders-only listing needs, an entry may come with size 0 and no time
  // (HasPackedTime false, HostTime 0), and an entry that is no directory with attributes that
  // are right only in not being exactly 16: such a listing reads of an entry nothing but its
  // names and whether it is a folder. By default every entry comes in full anyway.
  virtual void SetFileDetails(bool needed) { (void)needed; }

  // Closes what the search keeps open from one search to the next (the folders through which
  // it reaches the next folder of a walk). The walk calls it when it ends. Nothing by default.
  virtual void ReleaseFolders() {}
};

// Closes the search in a record when it goes out of scope.
class SearchGuard {
 public:
  SearchGuard(DirectorySearch& search, TSearchRec& rec) : search_(search), rec_(rec) {}
  ~SearchGuard() { search_.FindClose(rec_); }
  SearchGuard(const SearchGuard&) = delete;
  SearchGuard& operator=(const SearchGuard&) = delete;

 private:
  DirectorySearch& search_;
  TSearchRec& rec_;
};

}  // namespace hdtree
