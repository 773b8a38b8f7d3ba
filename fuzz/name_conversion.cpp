// The host-name conversion: whatever bytes a host name holds, the shown name is one line of
// whole Shift-JIS characters, one for each character or stray byte of the host name, and never
// holds a path separator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "hdtree/platform/sjis.h"

namespace {

// Length of the strict UTF-8 character at the start of text, 0 when its first byte begins none.
std::size_t Utf8Length(std::string_view text) {
  const auto b0 = static_cast<unsigned char>(text[0]);
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < low || b > high) return 0;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

// Characters of a host name as the conversion counts them: each valid UTF-8 character, and each
// byte that begins none.
std::size_t Utf8Units(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size(); ++units) {
    const std::size_t length = Utf8Length(text.substr(i));
    i += length == 0 ? 1 : length;
  }
  return units;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const hdtree::AnsiString name = hdtree::HostNameToSjis(input);
  FUZZ_CHECK(hdtree::IsWellFormedSjis(name));
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size(); ++characters) {
    const auto b = static_cast<unsigned char>(name[i]);
    const int length = hdtree::SjisCharLength(b);
    if (length == 1) {
      // A single byte: never a control character, DEL or the separator 5C. A 5C may only
      // stand as the trail byte of a two-byte character.
      FUZZ_CHECK(b >= 0x20);
      FUZZ_CHECK(b != 0x7F);
      FUZZ_CHECK(b != 0x5C);
    }
    i += static_cast<std::size_t>(length);
  }
  FUZZ_CHECK(characters == Utf8Units(input));

  // Shown again in the window: always valid UTF-8, and a converted name maps back to real
  // characters only.
  FUZZ_CHECK(IsValidUtf8(hdtree::SjisToUtf8(input)));
  const std::string shown = hdtree::SjisToUtf8(name);
  FUZZ_CHECK(IsValidUtf8(shown));
  FUZZ_CHECK(shown.find(kUtf8Replacement) == std::string::npos);

  // Texts that are not names keep control characters but are still whole characters.
  FUZZ_CHECK(hdtree::IsWellFormedSjis(hdtree::Utf8ToSjis(input)));
  return 0;
}
