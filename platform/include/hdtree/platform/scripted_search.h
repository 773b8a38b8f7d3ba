// A directory search over folders given in memory, for tests, fuzzing and benchmarks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hdtree/platform/search.h"

namespace hdtree {

struct ScriptedEntry {
  AnsiString Name;
  int Attr = faArchive;
  std::int64_t Size = 0;
  std::uint32_t Time = 0;                 // packed time, used when HostTime is not given
  std::optional<std::int64_t> HostTime;   // a host time outside the packed range
};

// Each folder pattern ("e:\Docs\*.*", exactly as the listing builds it) is given its entries in
// order; a pattern that was not given, or was made to fail, finds nothing. An entry path
// ("e:\Tree\TreeAll.txt") is found when its folder pattern lists an entry of that name.
class ScriptedDirectorySearch : public DirectorySearch {
 public:
  // Gives a folder its entries, in search order (replacing what it had).
  void SetFolder(const AnsiString& pattern, std::vector<ScriptedEntry> entries);
  // Makes a folder's search fail.
  void FailFolder(const AnsiString& pattern);
  // Called with each entry as it is delivered; may throw, to stop a listing at that entry.
  void OnDeliver(std::function<void(const ScriptedEntry&)> hook) { onDeliver_ = std::move(hook); }

  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override;
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override;
  int FindNext(TSearchRec& rec) override;
  void FindClose(TSearchRec& rec) override;

  // What the searches were given, in order: the path of each FindFirst call.
  const std::vector<AnsiString>& Started() const { return started_; }
  // The host paths given to FindFirstIn, in order (one per FindFirstIn call).
  const std::vector<std::string>& StartedHost() const { return startedHost_; }
  // Searches started and not yet ended.
  int OpenSearches() const { return open_; }

 private:
  std::map<AnsiString, std::vector<ScriptedEntry>> folders_;
  std::vector<AnsiString> started_;
  std::vector<std::string> startedHost_;
  std::function<void(const ScriptedEntry&)> onDeliver_;
  int open_ = 0;
};

}  // namespace hdtree
