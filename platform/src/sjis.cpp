#include "hdtree/platform/sjis.h"

#include <iconv.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace hdtree {

namespace {

constexpr char32_t kNoChar = 0xFFFFFFFF;
constexpr char32_t kReplacementCodePoint = 0xFFFD;
constexpr char32_t kLastBmp = 0xFFFF;
constexpr char32_t kFirstC1 = 0x80;
constexpr char32_t kLastC1 = 0x9F;
constexpr unsigned char kBackslash = 0x5C;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kFirstHalfWidthKana = 0xA1;
constexpr unsigned char kLastHalfWidthKana = 0xDF;
constexpr char32_t kHalfWidthKanaBase = 0xFF61;  // U+FF61 is the byte A1

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
bool IsHalfWidthKana(unsigned char b) {
  return b >= kFirstHalfWidthKana && b <= kLastHalfWidthKana;
}

// One iconv conversion descriptor, closed with its owner.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts one whole character; the number of bytes written, 0 when it cannot be converted.
  std::size_t Convert(const char* in, std::size_t inLength, char* out, std::size_t outSize) {
    if (!Valid()) return 0;
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    std::size_t inLeft = inLength;
    std::size_t outLeft = outSize;
    const std::size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
      return 0;
    }
    return outSize - outLeft;
  }

 private:
  iconv_t cd_;
};

std::size_t EncodeUtf8(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | cp >> 6);
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | cp >> 12);
    out[1] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | cp >> 18);
  out[1] = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

void AppendUtf8(char32_t cp, std::string& out) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(cp, bytes));
}

// Decodes one UTF-8 character at the start of text (strict: no overlong forms, no surrogates,
// nothing above U+10FFFF). Returns its length, or 0 when the first byte begins no valid
// character.
std::size_t DecodeUtf8(std::string_view text, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(0);
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = byte(i);
    if (b < low || b > high) return 0;
    low = 0x80;
    high = 0xBF;
    cp = cp << 6 | (b & 0x3F);
  }
  return length;
}

// The conversions of one thread: its iconv descriptors and what they have answered so far, so
// that each character goes through iconv once.
class Converter {
 public:
  static Converter& OfThisThread() {
    thread_local Converter converter;
    return converter;
  }

  // The CP932 code of a BMP character: a byte, two bytes as lead << 8 | trail, or nullopt-like
  // kNone when CP932 cannot hold it.
  static constexpr std::uint16_t kNone = 1;
  static constexpr std::uint16_t kSingleFlag = 0x100;

  std::uint16_t ToSjis(char32_t cp) {
    if (!toTable_) toTable_ = std::make_unique<std::array<std::uint16_t, 0x10000>>();
    std::uint16_t& code = (*toTable_)[cp];
    if (code == 0) code = AskToSjis(cp);
    return code;
  }

  // The character of a CP932 two-byte code, or kNoChar when it is none.
  char32_t FromSjis(unsigned char lead, unsigned char trail) {
    if (!fromTable_) fromTable_ = std::make_unique<std::array<char32_t, 0x10000>>();
    char32_t& cp = (*fromTable_)[static_cast<std::size_t>(lead << 8 | trail)];
    if (cp == 0) cp = AskFromSjis(lead, trail);
    return cp;
  }

 private:
  Converter() : toSjis_("CP932", "UTF-8"), fromSjis_("UTF-8", "CP932") {}

  std::uint16_t AskToSjis(char32_t cp) {
    char in[4];
    char out[8];
    const std::size_t n = toSjis_.Convert(in, EncodeUtf8(cp, in), out, sizeof out);
    if (n == 1) return static_cast<std::uint16_t>(kSingleFlag | static_cast<unsigned char>(out[0]));
    if (n == 2) {
      return static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                        static_cast<unsigned char>(out[1]));
    }
    return kNone;
  }

  char32_t AskFromSjis(unsigned char lead, unsigned char trail) {
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8];
    const std::size_t n = fromSjis_.Convert(in, sizeof in, out, sizeof out);
    char32_t cp;
    if (n == 0 || DecodeUtf8(std::string_view(out, n), cp) != n) return kNoChar;
    return cp;
  }

  Iconv toSjis_;
  Iconv fromSjis_;
  std::unique_ptr<std::array<std::uint16_t, 0x10000>> toTable_;
  std::unique_ptr<std::array<char32_t, 0x10000>> fromTable_;
};

bool IsControlOrSeparator(unsigned char b) {
  return b < kFirstPrintable || b == kDelete || b == kBackslash;
}

// Appends the CP932 form of one character; false when CP932 cannot hold it.
bool AppendSjis(Converter& converter, char32_t cp, bool asName, AnsiString& out) {
  if (cp > kLastBmp) return false;  // CP932 holds no character beyond the BMP
  if (asName && cp >= kFirstC1 && cp <= kLastC1) return false;
  const std::uint16_t code = converter.ToSjis(cp);
  if (code == Converter::kNone) return false;
  if (code & Converter::kSingleFlag && code < 0x200) {
    const auto b = static_cast<unsigned char>(code);
    // ¥ and the like become 5C: in a name that would read as a path separator.
    if (asName && IsControlOrSeparator(b)) return false;
    out += static_cast<char>(b);
    return true;
  }
  out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
  return true;
}

void ConvertUtf8(std::string_view text, bool asName, AnsiString& out) {
  out.clear();
  out.reserve(text.size());
  Converter* converter = nullptr;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += asName && IsControlOrSeparator(b) ? kReplacementChar : static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t length = DecodeUtf8(text.substr(i), cp);
    if (length == 0) {
      out += kReplacementChar;  // one '?' for each byte that begins no valid character
      ++i;
      continue;
    }
    if (converter == nullptr) converter = &Converter::OfThisThread();
    if (!AppendSjis(*converter, cp, asName, out)) out += kReplacementChar;
    i += length;
  }
}

// The end of the run of ASCII bytes (below 80) that starts at `from`, eight bytes at a time.
std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::size_t i = from;
  while (i + sizeof(std::uint64_t) <= text.size()) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if ((word & kHighBits) != 0) break;
    i += sizeof word;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

}  // namespace

void HostNameToSjis(std::string_view hostName, AnsiString& out) {
  bool plain = true;
  for (const char c : hostName) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 || IsControlOrSeparator(b)) {
      plain = false;
      break;
    }
  }
  if (plain) {
    out.assign(hostName);
    return;
  }
  if (hostName.data() >= out.data() && hostName.data() < out.data() + out.size()) {
    const std::string name(hostName);  // a view into `out`, which is about to be rewritten
    ConvertUtf8(name, true, out);
    return;
  }
  ConvertUtf8(hostName, true, out);
}

AnsiString HostNameToSjis(std::string_view hostName) {
  AnsiString out;
  HostNameToSjis(hostName, out);
  return out;
}

AnsiString Utf8ToSjis(std::string_view utf8) {
  AnsiString out;
  ConvertUtf8(utf8, false, out);
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  Converter* converter = nullptr;
  for (std::size_t i = 0; i < sjis.size();) {
    const auto b = static_cast<unsigned char>(sjis[i]);
    if (b < 0x80) {
      const std::size_t end = AsciiRunEnd(sjis, i);  // ASCII is the same in UTF-8: in one piece
      out.append(sjis.data() + i, end - i);
      i = end;
    } else if (IsHalfWidthKana(b)) {
      AppendUtf8(kHalfWidthKanaBase + (b - kFirstHalfWidthKana), out);
      ++i;
    } else if (IsLeadByte(b) && i + 1 < sjis.size() &&
               IsTrailByte(static_cast<unsigned char>(sjis[i + 1]))) {
      if (converter == nullptr) converter = &Converter::OfThisThread();
      const char32_t cp = converter->FromSjis(b, static_cast<unsigned char>(sjis[i + 1]));
      AppendUtf8(cp == kNoChar ? kReplacementCodePoint : cp, out);
      i += 2;
    } else {
      // A byte that begins no character, or a lead byte without its trail byte: the next byte
      // is read on its own.
      AppendUtf8(kReplacementCodePoint, out);
      ++i;
    }
  }
  return out;
}

bool IsWellFormedSjis(std::string_view sjis) {
  for (std::size_t i = 0; i < sjis.size();) {
    const auto b = static_cast<unsigned char>(sjis[i]);
    if (b < 0x80) {
      i = AsciiRunEnd(sjis, i);
    } else if (IsHalfWidthKana(b)) {
      ++i;
    } else if (IsLeadByte(b) && i + 1 < sjis.size() &&
               IsTrailByte(static_cast<unsigned char>(sjis[i + 1]))) {
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

int SjisCharLength(unsigned char firstByte) { return IsLeadByte(firstByte) ? 2 : 1; }

std::size_t LastSjisSeparator(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == '\\') last = i;
    i += static_cast<std::size_t>(SjisCharLength(static_cast<unsigned char>(path[i])));
  }
  return last;
}

}  // namespace hdtree
