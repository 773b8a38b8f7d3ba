// The folder table against plain cells: names and host names read back as stored, whatever the
// order of stores, the rewrites of a row (as every listing at a level does), the growth of a
// row, or names given as views into the table itself.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hdtree/listing/listing_state.h"

namespace hdtree::testing {
namespace {

TEST(FolderTableTest, AgreesWithPlainCellsOverRewritesGrowthAndOwnViews) {
  FolderNameTable table;
  std::vector<std::vector<std::pair<std::string, std::string>>> model(FolderNameTable::kRows);
  for (auto& row : model) row.resize(FolderNameTable::kInitialColumns);
  auto store = [&](int row, int column, const std::string& name, const std::string& host) {
    table.Store(row, column, name, host);
    auto& cells = model[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= cells.size()) cells.resize(column + 1u);
    cells[static_cast<std::size_t>(column)] = {name, host};
  };

  unsigned seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int listing = 0; listing < 3000; ++listing) {
    const int row = static_cast<int>(next() % FolderNameTable::kRows);
    const int count = static_cast<int>(next() % (listing % 500 == 0 ? 3000 : 60));
    for (int column = 0; column < count; ++column) {  // a listing fills its row from the start
      const std::string name =
          "n" + std::to_string(next() % 100000) + std::string(next() % 30, 'x');
      const std::string host = next() % 4 == 0 ? name + "\xFF" : name;  // a name shown with '?'
      store(row, column, name, host);
    }
    if (listing % 100 == 0) {  // a name given from the table itself
      const std::string name(table(row, 0));
      const std::string host(table.HostName(row, 0));
      table.Store(row, 1, table(row, 0), table.HostName(row, 0));
      model[static_cast<std::size_t>(row)][1] = {name, host};
    }
  }

  for (int row = 0; row < FolderNameTable::kRows; ++row) {
    const auto& cells = model[static_cast<std::size_t>(row)];
    ASSERT_EQ(table.Columns(row), static_cast<int>(cells.size()));
    for (std::size_t column = 0; column < cells.size(); ++column) {
      const int c = static_cast<int>(column);
      ASSERT_EQ(table(row, c), cells[column].first) << row << "," << column;
      ASSERT_EQ(table.HostName(row, c), cells[column].second) << row << "," << column;
    }
    EXPECT_EQ(table(row, table.Columns(row)), "");
    EXPECT_EQ(table(row, -1), "");
  }
  EXPECT_THROW(table.Store(0, -1, "x", "x"), std::out_of_range);
}

}  // namespace
}  // namespace hdtree::testing
