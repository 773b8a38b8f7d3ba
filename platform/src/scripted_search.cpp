#include "hdtree/platform/scripted_search.h"

#include <cstddef>
#include <string_view>

namespace hdtree {

namespace {

constexpr std::string_view kAllEntries = "\\*.*";

// One open scripted search: the folder's entries and the next one to deliver. The entries are
// read through a pointer into the folder map, whose nodes are never removed, so a folder given
// new entries while a search runs ends that search cleanly instead of leaving a dangling range.
class ScriptedHandle : public SearchHandle {
 public:
  explicit ScriptedHandle(const std::vector<ScriptedEntry>* entries) : entries_(entries) {}
  // A search of one entry alone.
  ScriptedHandle(const std::vector<ScriptedEntry>* entries, std::size_t only)
      : entries_(entries), next_(only), end_(only + 1) {}

  const ScriptedEntry* Next() {
    const std::size_t limit = end_ < entries_->size() ? end_ : entries_->size();
    if (next_ >= limit) return nullptr;
    return &(*entries_)[next_++];
  }

 private:
  const std::vector<ScriptedEntry>* entries_;
  std::size_t next_ = 0;
  std::size_t end_ = static_cast<std::size_t>(-1);
};

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

void Fill(const ScriptedEntry& entry, TSearchRec& rec) {
  rec.Name = entry.Name;
  rec.HostName = entry.Name;
  rec.Attr = entry.Attr;
  rec.Size = entry.Size;
  rec.HasPackedTime = !entry.HostTime.has_value();
  rec.Time = rec.HasPackedTime ? entry.Time : 0;
  rec.HostTime = entry.HostTime.value_or(0);
}

}  // namespace

void ScriptedDirectorySearch::SetFolder(const AnsiString& pattern,
                                        std::vector<ScriptedEntry> entries) {
  folders_[pattern] = std::move(entries);
}

void ScriptedDirectorySearch::FailFolder(const AnsiString& pattern) {
  // An empty folder finds nothing, exactly like one that cannot be searched.
  folders_[pattern].clear();
}

int ScriptedDirectorySearch::FindFirst(const AnsiString& path, int mask, TSearchRec& rec) {
  (void)mask;  // every entry is delivered: the listing always asks for all of them
  started_.push_back(path);
  rec.FindHandle.reset();

  std::unique_ptr<ScriptedHandle> handle;
  if (EndsWith(path, kAllEntries)) {
    const auto folder = folders_.find(path);
    if (folder == folders_.end() || folder->second.empty()) return kSearchNoEntry;
    handle = std::make_unique<ScriptedHandle>(&folder->second);
  } else {
    const std::size_t separator = LastSjisSeparator(path);
    if (separator == std::string_view::npos) return kSearchNoEntry;
    const AnsiString pattern = path.substr(0, separator) + std::string(kAllEntries);
    const std::string_view name = std::string_view(path).substr(separator + 1);
    const auto folder = folders_.find(pattern);
    if (folder == folders_.end()) return kSearchNoEntry;
    const auto& entries = folder->second;
    std::size_t at = 0;
    while (at < entries.size() && entries[at].Name != name) ++at;
    if (at == entries.size()) return kSearchNoEntry;
    handle = std::make_unique<ScriptedHandle>(&entries, at);
  }

  const ScriptedEntry* first = handle->Next();
  rec.FindHandle = std::move(handle);
  ++open_;
  // The search is open before the hook runs, so a hook that throws leaves it for the caller's
  // FindClose, as a failure in the middle of a real search would.
  if (onDeliver_) onDeliver_(*first);
  Fill(*first, rec);
  return kSearchFound;
}

int ScriptedDirectorySearch::FindFirstIn(const AnsiString& path, const std::string& hostRelative,
                                         int mask, TSearchRec& rec) {
  startedHost_.push_back(hostRelative);
  return FindFirst(path, mask, rec);
}

int ScriptedDirectorySearch::FindNext(TSearchRec& rec) {
  auto* handle = dynamic_cast<ScriptedHandle*>(rec.FindHandle.get());
  if (handle == nullptr) return kSearchNoEntry;
  const ScriptedEntry* entry = handle->Next();
  if (entry == nullptr) return kSearchNoEntry;
  if (onDeliver_) onDeliver_(*entry);
  Fill(*entry, rec);
  return kSearchFound;
}

void ScriptedDirectorySearch::FindClose(TSearchRec& rec) {
  if (rec.FindHandle == nullptr) return;
  if (dynamic_cast<ScriptedHandle*>(rec.FindHandle.get()) != nullptr) --open_;
  rec.FindHandle.reset();
}

}  // namespace hdtree
