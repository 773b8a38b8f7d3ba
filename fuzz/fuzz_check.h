// What the fuzz targets share: a check that stops the fuzzer with a message when an invariant
// does not hold, and a reader that takes the fuzz input apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

// Reads the fuzz input front to back; past its end every byte reads as 0.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return Empty() ? 0 : data_[at_++]; }
  std::uint64_t Number(int bytes) {
    std::uint64_t n = 0;
    for (int i = 0; i < bytes; ++i) n = n << 8 | Byte();
    return n;
  }
  std::string_view Take(std::size_t length) {
    if (length > size_ - at_) length = size_ - at_;
    const std::string_view text(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};
