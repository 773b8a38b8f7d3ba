#include "hdtree/listing/listing_state.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace hdtree {

// The block of lines: a gap buffer in one anonymous mapping. The head, from the start of the
// mapping, holds lines 0 to headLines_ - 1; the tail, at the very end of the mapping, holds the
// lines after them (those kept while a line below them was written); the gap lies between. A
// line is written at the end of the head, so writing line after line only appends, and writing
// below the head first moves the lines above it into the tail.
class LineStore::Arena {
 public:
  Arena() = default;
  ~Arena() {
    if (base_ != nullptr) munmap(base_, capacity_);
  }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  int Count() const { return plain_ ? static_cast<int>(lines_.size()) : headLines_ + tailLines_; }

  std::string_view Line(int i) {
    if (plain_) {
      if (Index(i) >= lines_.size()) return {};
      return lines_[Index(i)];
    }
    if (i >= Count()) return {};
    if (i < headLines_) {
      const char* start = base_ + HeadStart(i);
      return Text(start, base_ + headBytes_);
    }
    const char* start = End() - TailStart(i);
    return Text(start, End());
  }

  void Set(int i, std::string_view text) {
    if (plain_) return SetPlain(i, text);
    if (text.find('\n') != std::string_view::npos) {
      ToPlain();
      return SetPlain(i, text);
    }
    if (base_ != nullptr && text.data() >= base_ && text.data() < End()) {
      const std::string copy(text);  // a view into the block, which is about to change
      return Set(i, copy);
    }
    const int count = Count();
    if (i >= count) {
      if (text.empty()) return;  // a line beyond the store reads as empty already
      MoveGapTo(count);
      while (headLines_ < i) Append({});
      Append(text);
      return;
    }
    if (i == headLines_ - 1 && lastStart_ != kUnknown) {
      DropHeadBack();  // the common rewrite: the line just written
    } else {
      MoveGapTo(i);
      DropTailFront();
    }
    Append(text);
  }

  std::string_view Records(int lastLine) {
    if (lastLine < 0) return {};
    const int lines = lastLine + 1;
    if (plain_) {
      joined_.clear();
      for (int i = 0; i < lines; ++i) {
        joined_ += Line(i);
        joined_ += kLineRecordEnd;
      }
      return joined_;
    }
    const int count = Count();
    if (lines > headLines_) MoveGapTo(lines < count ? lines : count);
    while (headLines_ < lines) Append({});  // lines beyond the store are empty records
    if (base_ == nullptr) return {};
    return {base_, HeadStart(lines)};
  }

 private:
  static constexpr int kBlockShift = 8;  // one index entry per 256 lines
  static constexpr int kBlockLines = 1 << kBlockShift;
  static constexpr std::size_t kFirstCapacity = std::size_t{1} << 20;
  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
  // A gap this large is handed back to the system after lines moved out of it.
  static constexpr std::size_t kReleaseGap = std::size_t{4} << 20;

  static std::size_t Index(int i) { return static_cast<std::size_t>(i); }
  static std::size_t Block(int i) { return static_cast<std::size_t>(i >> kBlockShift); }

  char* End() const { return base_ + capacity_; }

  // The length of the record that starts at `start`: its text and the record end.
  static std::size_t RecordLength(const char* start, const char* limit) {
    const void* feed = std::memchr(start, '\n', static_cast<std::size_t>(limit - start));
    return static_cast<std::size_t>(static_cast<const char*>(feed) - start) + 2;
  }
  static std::string_view Text(const char* start, const char* limit) {
    return {start, RecordLength(start, limit) - kLineRecordEnd.size()};
  }

  // Offset of head line i (the end of the head for i == headLines_). Scans from the nearest
  // index entry, or from the line read last when that is nearer.
  std::size_t HeadStart(int i) {
    if (i >= headLines_) return headBytes_;
    const int blockStart = i & ~(kBlockLines - 1);
    int line = blockStart;
    std::size_t offset = headIndex_[Block(i)];
    if (cursorLine_ >= blockStart && cursorLine_ <= i) {
      line = cursorLine_;
      offset = cursorOffset_;
    }
    const char* limit = base_ + headBytes_;
    for (; line < i; ++line) offset += RecordLength(base_ + offset, limit);
    cursorLine_ = i;
    cursorOffset_ = offset;
    return offset;
  }

  // Distance from the end of the mapping to the start of tail line i.
  std::size_t TailStart(int i) {
    const int blockStart = i & ~(kBlockLines - 1);
    int line = headLines_;
    std::size_t distance = tailBytes_;
    if (blockStart > headLines_) {
      line = blockStart;
      distance = tailIndex_[Block(i)];
    }
    for (; line < i; ++line) distance -= RecordLength(End() - distance, End());
    return distance;
  }

  void Append(std::string_view text) {
    Reserve(text.size() + kLineRecordEnd.size());
    if ((headLines_ & (kBlockLines - 1)) == 0) headIndex_.push_back(headBytes_);
    lastStart_ = headBytes_;
    char* at = base_ + headBytes_;
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    std::memcpy(at + text.size(), kLineRecordEnd.data(), kLineRecordEnd.size());
    headBytes_ += text.size() + kLineRecordEnd.size();
    ++headLines_;
  }

  // Takes the head's last line away; its start is lastStart_.
  void DropHeadBack() {
    --headLines_;
    headBytes_ = lastStart_;
    if ((headLines_ & (kBlockLines - 1)) == 0) headIndex_.pop_back();
    if (cursorLine_ >= headLines_) cursorLine_ = -1;
    lastStart_ = kUnknown;
  }

  void DropTailFront() {
    tailBytes_ -= RecordLength(End() - tailBytes_, End());
    --tailLines_;
  }

  // Makes lines 0 to i - 1 the head (i at most Count()).
  void MoveGapTo(int i) {
    if (i < headLines_) {
      const std::size_t start = HeadStart(i);
      const std::size_t bytes = headBytes_ - start;
      char* to = End() - tailBytes_ - bytes;
      std::memmove(to, base_ + start, bytes);
      const char* from = to;
      for (int line = i; line < headLines_; ++line) {
        if ((line & (kBlockLines - 1)) == 0) {
          if (tailIndex_.size() <= Block(line)) tailIndex_.resize(Block(line) + 1);
          tailIndex_[Block(line)] = static_cast<std::size_t>(End() - from);
        }
        from += RecordLength(from, End());
      }
      tailBytes_ += bytes;
      tailLines_ += headLines_ - i;
      headLines_ = i;
      headBytes_ = start;
      headIndex_.resize(Block(i + kBlockLines - 1));
      if (cursorLine_ >= i) cursorLine_ = -1;
      lastStart_ = i == 0 ? 0 : kUnknown;
      if (bytes >= kReleaseGap) ReleaseGap();
    } else if (i > headLines_) {
      const char* front = End() - tailBytes_;
      const char* from = front;
      std::size_t lastStart = 0;
      for (int line = headLines_; line < i; ++line) {
        lastStart = headBytes_ + static_cast<std::size_t>(from - front);
        if ((line & (kBlockLines - 1)) == 0) headIndex_.push_back(lastStart);
        from += RecordLength(from, End());
      }
      const auto bytes = static_cast<std::size_t>(from - front);
      std::memmove(base_ + headBytes_, front, bytes);
      headBytes_ += bytes;
      tailBytes_ -= bytes;
      tailLines_ -= i - headLines_;
      headLines_ = i;
      lastStart_ = lastStart;
    }
  }

  // Hands the whole pages of the gap back to the system: after the lines of a longer listing
  // moved aside, their old place holds nothing until it is written again.
  void ReleaseGap() {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t from = (headBytes_ + page - 1) / page * page;
    const std::size_t to = (capacity_ - tailBytes_) / page * page;
    if (to > from) madvise(base_ + from, to - from, MADV_DONTNEED);
  }

  // Room for `bytes` more in the gap. The mapping doubles; its pages are moved, not copied, and
  // only the pages written take memory.
  void Reserve(std::size_t bytes) {
    const std::size_t needed = headBytes_ + tailBytes_ + bytes;
    if (needed <= capacity_) return;
    std::size_t capacity = capacity_ == 0 ? kFirstCapacity : capacity_;
    while (capacity < needed) capacity *= 2;
    void* block = base_ == nullptr ? mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                   : mremap(base_, capacity_, capacity, MREMAP_MAYMOVE);
    if (block == MAP_FAILED) throw std::bad_alloc();
    char* base = static_cast<char*>(block);
    madvise(base, capacity, MADV_HUGEPAGE);  // fewer page faults; a hint only
    // The tail stays at the very end, so its distances from the end hold.
    if (tailBytes_ > 0) {
      std::memmove(base + capacity - tailBytes_, base + capacity_ - tailBytes_, tailBytes_);
    }
    base_ = base;
    capacity_ = capacity;
  }

  // From here on one string per line: a line holds a line feed, which would break the records.
  void ToPlain() {
    std::vector<std::string> lines(Index(Count()));
    for (int i = 0; i < Count(); ++i) lines[Index(i)] = Line(i);
    lines_ = std::move(lines);
    if (base_ != nullptr) munmap(base_, capacity_);
    base_ = nullptr;
    capacity_ = headBytes_ = tailBytes_ = 0;
    headLines_ = tailLines_ = 0;
    headIndex_.clear();
    tailIndex_.clear();
    plain_ = true;
  }

  void SetPlain(int i, std::string_view text) {
    if (Index(i) >= lines_.size()) {
      if (text.empty()) return;
      lines_.resize(Index(i) + 1);  // geometric growth inside the vector keeps appends linear
    }
    lines_[Index(i)].assign(text);
  }

  char* base_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t headBytes_ = 0;
  int headLines_ = 0;
  std::size_t tailBytes_ = 0;
  int tailLines_ = 0;
  std::vector<std::size_t> headIndex_;  // offset of head line 256·b
  std::vector<std::size_t>
      tailIndex_;                     // distance from the end to tail line 256·b, when in the tail
  std::size_t lastStart_ = kUnknown;  // offset of the head's last line, when known
  int cursorLine_ = -1;               // the head line read last, and its offset
  std::size_t cursorOffset_ = 0;

  bool plain_ = false;
  std::vector<std::string> lines_;
  std::string joined_;
};

LineStore::LineStore() : arena_(std::make_unique<Arena>()) {}

LineStore::~LineStore() = default;

std::string_view LineStore::operator[](int index) const {
  if (index < 0) return {};
  return arena_->Line(index);
}

void LineStore::Set(int index, std::string_view text) {
  if (index < 0) throw std::out_of_range("line index below zero");
  if (index == std::numeric_limits<int>::max()) throw std::out_of_range("line index too large");
  arena_->Set(index, text);
}

int LineStore::Size() const {
  const int count = arena_->Count();
  return count > kInitialLines ? count : kInitialLines;
}

std::string_view LineStore::Records(int lastLine) const { return arena_->Records(lastLine); }

FolderNameTable::FolderNameTable() {
  for (auto& row : rows_) row.Cells.resize(kInitialColumns);
}

const FolderNameTable::Row& FolderNameTable::RowAt(int row) const {
  return rows_.at(static_cast<std::size_t>(row));
}

std::string_view FolderNameTable::operator()(int row, int column) const {
  const Row& r = RowAt(row);
  if (column < 0 || static_cast<std::size_t>(column) >= r.Cells.size()) return {};
  const Cell& cell = r.Cells[static_cast<std::size_t>(column)];
  return std::string_view(r.Bytes).substr(cell.Offset, cell.NameLength);
}

std::string_view FolderNameTable::HostName(int row, int column) const {
  const Row& r = RowAt(row);
  if (column < 0 || static_cast<std::size_t>(column) >= r.Cells.size()) return {};
  const Cell& cell = r.Cells[static_cast<std::size_t>(column)];
  if (cell.HostLength == kSameHost) {
    return std::string_view(r.Bytes).substr(cell.Offset, cell.NameLength);
  }
  return std::string_view(r.Bytes).substr(cell.Offset + cell.NameLength, cell.HostLength);
}

void FolderNameTable::Store(int row, int column, std::string_view name, std::string_view hostName) {
  Row& r = rows_.at(static_cast<std::size_t>(row));
  if (column < 0) throw std::out_of_range("folder column below zero");
  const char* bytes = r.Bytes.data();
  if ((name.data() >= bytes && name.data() < bytes + r.Bytes.size()) ||
      (hostName.data() >= bytes && hostName.data() < bytes + r.Bytes.size())) {
    const std::string copyName(name);  // views into this row, which is about to change
    const std::string copyHost(hostName);
    return Store(row, column, copyName, copyHost);
  }
  if (name.size() >= kSameHost || hostName.size() >= kSameHost) {
    throw std::length_error("folder name too long");
  }
  const auto at = static_cast<std::size_t>(column);
  if (at >= r.Cells.size()) r.Cells.resize(at + 1);  // geometric growth inside the vector
  Cell& cell = r.Cells[at];
  r.LiveBytes -= cell.NameLength + (cell.HostLength == kSameHost ? 0 : cell.HostLength);
  cell.Offset = r.Bytes.size();
  cell.NameLength = static_cast<std::uint32_t>(name.size());
  r.Bytes += name;
  if (hostName == name) {
    cell.HostLength = kSameHost;
  } else {
    cell.HostLength = static_cast<std::uint32_t>(hostName.size());
    r.Bytes += hostName;
  }
  r.LiveBytes += name.size() + (cell.HostLength == kSameHost ? 0 : hostName.size());
  // Every listing rewrites its row from the start: the names it replaced are dropped once they
  // outweigh the live ones, so a row never holds more than twice what its cells show.
  constexpr std::size_t kSlack = 4096;
  if (r.Bytes.size() > 2 * r.LiveBytes + kSlack) Compact(r);
}

void FolderNameTable::Compact(Row& row) {
  std::string bytes;
  bytes.reserve(row.LiveBytes);
  for (Cell& cell : row.Cells) {
    const std::size_t length =
        cell.NameLength + (cell.HostLength == kSameHost ? 0 : std::size_t{cell.HostLength});
    const std::size_t offset = bytes.size();
    bytes.append(row.Bytes, cell.Offset, length);
    cell.Offset = offset;
  }
  row.Bytes = std::move(bytes);
}

int FolderNameTable::Columns(int row) const { return static_cast<int>(RowAt(row).Cells.size()); }

}  // namespace hdtree
