// The line store under any order of writes, rewrites, clears and reads: every line reads back as
// last written (empty when never written or cleared), and the report records of lines 0 to n are
// those lines each followed by 0D 0A 20. Compared with a plain map of lines.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hdtree/listing/listing_state.h"

namespace {

constexpr int kSpan = 60000;  // beyond the 50,000 lines the store starts with
constexpr std::size_t kMaxOps = 4000;

std::string_view Model(const std::map<int, std::string>& model, int index) {
  const auto line = model.find(index);
  return line == model.end() ? std::string_view() : std::string_view(line->second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  hdtree::LineStore store;
  std::map<int, std::string> model;
  int cursor = 0;  // where the listing writes: most writes land at or near the last line

  for (std::size_t op = 0; op < kMaxOps && !in.Empty(); ++op) {
    const std::uint8_t code = in.Byte();
    // The line an operation works on: next to the cursor, at it, or anywhere.
    switch (code >> 5) {
      case 0:
      case 1:
      case 2:
        ++cursor;
        break;
      case 3:
        cursor -= in.Byte() % 4;
        break;
      case 4:
        cursor += in.Byte() % 64;
        break;
      default:
        cursor = (in.Byte() << 8 | in.Byte()) % kSpan;
        break;
    }
    if (cursor < 0) cursor = 0;
    if (cursor >= kSpan) cursor = kSpan - 1;

    switch (code & 3) {
      case 0:
      case 1: {  // write a line: tree text, or any bytes (a line feed now and then)
        const std::string text(in.Take(in.Byte() % 80));
        store.Set(cursor, text);
        if (text.empty()) {
          model.erase(cursor);
        } else {
          model[cursor] = text;
        }
        break;
      }
      case 2:  // the blank lines after the last one
        for (int i = 1; i <= hdtree::kBlankLinesAfterLast; ++i) {
          store.Clear(cursor + i);
          model.erase(cursor + i);
        }
        break;
      case 3: {  // a page's worth of reads from the cursor
        for (int i = 0; i < 26; ++i) FUZZ_CHECK(store[cursor + i] == Model(model, cursor + i));
        break;
      }
    }
    FUZZ_CHECK(store.Size() >= hdtree::LineStore::kInitialLines);
    FUZZ_CHECK(model.empty() || store.Size() > model.rbegin()->first);
  }

  // Every line as last written, and the records of lines 0 to the cursor.
  for (const auto& [index, text] : model) FUZZ_CHECK(store[index] == text);
  FUZZ_CHECK(store[-1].empty());
  FUZZ_CHECK(store[store.Size()].empty());
  std::string records;
  for (int i = 0; i <= cursor; ++i) {
    records += Model(model, i);
    records += hdtree::kLineRecordEnd;
  }
  FUZZ_CHECK(store.Records(cursor) == records);
  FUZZ_CHECK(store.Records(-1).empty());
  return 0;
}
