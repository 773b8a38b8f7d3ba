#include "hdtree/listing/listing_state.h"

#include <stdexcept>

namespace hdtree {

LineStore::LineStore() : lines_(kInitialLines) {}

std::string_view LineStore::operator[](int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return {};
  return lines_[static_cast<std::size_t>(index)];
}

void LineStore::Set(int index, std::string_view text) {
  if (index < 0) throw std::out_of_range("line index below zero");
  const auto at = static_cast<std::size_t>(index);
  if (at >= lines_.size()) {
    if (text.empty()) return;  // a line beyond the store reads as empty already
    lines_.resize(at + 1);     // geometric growth inside the vector keeps appends linear
  }
  lines_[at].assign(text);
}

int LineStore::Size() const { return static_cast<int>(lines_.size()); }

FolderNameTable::FolderNameTable() {
  for (auto& row : rows_) row.resize(kInitialColumns);
}

const AnsiString& FolderNameTable::operator()(int row, int column) const {
  static const AnsiString kEmpty;
  const auto& cells = rows_.at(static_cast<std::size_t>(row));
  if (column < 0 || static_cast<std::size_t>(column) >= cells.size()) return kEmpty;
  return cells[static_cast<std::size_t>(column)].Name;
}

const std::string& FolderNameTable::HostName(int row, int column) const {
  static const std::string kEmpty;
  const auto& cells = rows_.at(static_cast<std::size_t>(row));
  if (column < 0 || static_cast<std::size_t>(column) >= cells.size()) return kEmpty;
  return cells[static_cast<std::size_t>(column)].HostName;
}

void FolderNameTable::Store(int row, int column, AnsiString name, std::string hostName) {
  auto& cells = rows_.at(static_cast<std::size_t>(row));
  if (column < 0) throw std::out_of_range("folder column below zero");
  const auto at = static_cast<std::size_t>(column);
  if (at >= cells.size()) cells.resize(at + 1);
  cells[at].Name = std::move(name);
  cells[at].HostName = std::move(hostName);
}

int FolderNameTable::Columns(int row) const {
  return static_cast<int>(rows_.at(static_cast<std::size_t>(row)).size());
}

}  // namespace hdtree
