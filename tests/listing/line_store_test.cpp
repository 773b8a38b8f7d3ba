// The line store against a plain vector of lines: every read, count and record view agrees,
// whatever the order of writes, the growth, the kept lines beyond a rewrite, or the bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hdtree/listing/listing_state.h"

namespace hdtree::testing {
namespace {

// What the store must behave like: one string per line, empty beyond the end.
struct Model {
  std::vector<std::string> Lines;

  void Set(int i, const std::string& text) {
    if (static_cast<std::size_t>(i) >= Lines.size()) Lines.resize(static_cast<std::size_t>(i) + 1);
    Lines[static_cast<std::size_t>(i)] = text;
  }
  std::string Line(int i) const {
    return static_cast<std::size_t>(i) < Lines.size() ? Lines[static_cast<std::size_t>(i)] : "";
  }
  std::string Records(int last) const {
    std::string out;
    for (int i = 0; i <= last; ++i) out += Line(i) + "\r\n ";
    return out;
  }
};

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

std::string Text(Random& r, bool anyBytes) {
  std::string text(static_cast<std::size_t>(r.Below(90)), 'x');
  for (char& c : text) {
    c = anyBytes ? static_cast<char>(r.Below(256)) : static_cast<char>(0x20 + r.Below(0x5F));
    if (!anyBytes && r.Below(20) == 0) c = '\r';  // a lone CR, as bytes of a line may hold
  }
  return text;
}

// The first byte where two record views differ, or npos: a mismatch names a place, not the
// whole listing.
std::size_t FirstDifference(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return a.size() == b.size() ? std::string_view::npos : n;
}

void ExpectSame(const LineStore& store, const Model& model, int upTo) {
  for (int i = 0; i <= upTo + 3; ++i) ASSERT_EQ(store[i], model.Line(i)) << "line " << i;
}

// Runs of a walk's kind (from line 0 up, a line written again, a longer and a shorter run),
// mixed with writes anywhere, reads anywhere and record views.
void RunMixed(std::uint64_t seed, bool anyBytes) {
  Random r(seed);
  LineStore store;
  Model model;
  int top = 0;
  for (int step = 0; step < 4000; ++step) {
    const int what = r.Below(100);
    int at;
    if (what < 50) {
      at = top + (r.Below(4) == 0 ? 0 : 1);  // the next line, or the last one again
    } else if (what < 55) {
      at = 0;  // a new run
    } else if (what < 75) {
      at = r.Below(top + 600);  // anywhere, across index blocks and beyond the end
    } else {
      at = -1;
    }
    if (at >= 0) {
      const std::string text = r.Below(8) == 0 ? "" : Text(r, anyBytes);
      store.Set(at, text);
      model.Set(at, text);
      top = at;
    } else if (what < 90) {
      const int i = r.Below(static_cast<int>(model.Lines.size()) + 10);
      ASSERT_EQ(store[i], model.Line(i)) << "step " << step << " line " << i;
    } else {
      const int last = r.Below(static_cast<int>(model.Lines.size()) + 5) - 1;
      ASSERT_EQ(FirstDifference(store.Records(last), model.Records(last)), std::string_view::npos)
          << "step " << step << " records to line " << last;
    }
  }
  ExpectSame(store, model, static_cast<int>(model.Lines.size()));
  const int size = static_cast<int>(model.Lines.size());
  EXPECT_EQ(store.Size(), size > LineStore::kInitialLines ? size : LineStore::kInitialLines);
}

TEST(LineStoreTest, AgreesWithPlainLinesOverMixedWrites) {
  for (std::uint64_t seed = 1; seed <= 8; ++seed) RunMixed(seed, false);
}

// Bytes that include line feeds switch the store to one string per line; nothing changes.
TEST(LineStoreTest, AgreesWithPlainLinesOverAnyBytes) {
  for (std::uint64_t seed = 101; seed <= 104; ++seed) RunMixed(seed, true);
}

TEST(LineStoreTest, ReadsAsInitialEmptyLinesAndIgnoresEmptyBeyondTheEnd) {
  LineStore store;
  EXPECT_EQ(store.Size(), LineStore::kInitialLines);
  EXPECT_EQ(store[0], "");
  EXPECT_EQ(store[-1], "");
  EXPECT_EQ(store[LineStore::kInitialLines + 5], "");
  EXPECT_EQ(store.Records(-1), "");
  EXPECT_EQ(store.Records(1), "\r\n \r\n ");
  EXPECT_THROW(store.Set(-1, "x"), std::out_of_range);
}

// A long listing (more than the first mapping holds), a shorter run over it, and a line
// written from a view into the store itself.
TEST(LineStoreTest, GrowsKeepsLinesBeyondAShorterRunAndCopiesItsOwnViews) {
  LineStore store;
  Model model;
  const int lines = 120000;
  for (int i = 0; i < lines; ++i) {
    const std::string text =
        "line " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 40), '.');
    store.Set(i, text);
    model.Set(i, text);
  }
  ASSERT_EQ(FirstDifference(store.Records(lines - 1), model.Records(lines - 1)),
            std::string_view::npos);

  for (int i = 0; i < 1000; ++i) {
    store.Set(i, "short");
    model.Set(i, "short");
  }
  for (int i = 1000; i < 1029; ++i) {
    store.Clear(i);
    model.Set(i, "");
  }
  store.Set(1029, store[70000]);
  model.Set(1029, model.Line(70000));
  EXPECT_EQ(FirstDifference(store.Records(1028), model.Records(1028)), std::string_view::npos);
  ExpectSame(store, model, lines);
  EXPECT_EQ(store.Size(), lines);
}

}  // namespace
}  // namespace hdtree::testing
