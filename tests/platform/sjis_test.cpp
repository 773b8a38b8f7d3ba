#include "hdtree/platform/sjis.h"

#include <gtest/gtest.h>

#include <string>

namespace hdtree {
namespace {

struct NameCase {
  const char* what;
  std::string host;  // UTF-8 bytes as the host gives them
  std::string sjis;  // the expected Shift-JIS bytes
};

const NameCase kNames[] = {
    {"ASCII", "Program Files.txt", "Program Files.txt"},
    {"kana", "\xE3\x82\xAB\xE3\x83\x8A", "\x83\x4A\x83\x69"},           // カナ
    {"trail byte 5C", "\xE8\xA1\xA8\xE3\x82\xBD", "\x95\x5C\x83\x5C"},  // 表ソ
    {"half-width katakana", "\xEF\xBD\xB1\xEF\xBE\x9D", "\xB1\xDD"},    // ｱﾝ
    {"accented letter", "caf\xC3\xA9", "caf?"},
    {"emoji is one character",
     "a\xF0\x9F\x98\x80"
     "b",
     "a?b"},
    {"invalid byte",
     "a\xFF"
     "b",
     "a?b"},
    {"truncated sequence", "\xE8\xA1", "??"},
    {"overlong form", "\xC0\xAF", "??"},
    {"surrogate", "\xED\xA0\x80", "???"},
    {"newline", "a\nb", "a?b"},
    {"tab and delete", "\t\x7F", "??"},
    {"C1 control", "a\xC2\x85", "a?"},
    {"backslash", "a\\b", "a?b"},
    {"yen sign",
     "\xC2\xA5"
     "100",
     "?100"},
    {"mixed", "\xE8\xA1\xA8\\x\xC3\xA9", "\x95\x5C?x?"},
};

TEST(HostNameToSjis, ConvertsCharacterByCharacter) {
  for (const NameCase& c : kNames) {
    EXPECT_EQ(HostNameToSjis(c.host), c.sjis) << c.what;
  }
}

TEST(HostNameToSjis, ResultIsOneLineWithoutSeparators) {
  for (const NameCase& c : kNames) {
    const AnsiString name = HostNameToSjis(c.host);
    ASSERT_TRUE(IsWellFormedSjis(name)) << c.what;
    for (std::size_t i = 0; i < name.size(); i += SjisCharLength(name[i])) {
      const auto b = static_cast<unsigned char>(name[i]);
      EXPECT_TRUE(b >= 0x20 && b != 0x7F && b != 0x5C) << c.what << " at " << i;
    }
  }
}

TEST(Utf8ToSjis, KeepsBackslashAndControlsOfPlainText) {
  EXPECT_EQ(Utf8ToSjis("C:\\a\n"), "C:\\a\n");
  EXPECT_EQ(Utf8ToSjis("\xE8\xA1\xA8\\"), "\x95\x5C\\");
  EXPECT_EQ(Utf8ToSjis("\xC2\xA5"), "\\");  // CP932 writes the yen sign as 5C
  EXPECT_EQ(Utf8ToSjis("caf\xC3\xA9 \xFF"), "caf? ?");
}

TEST(SjisToUtf8, RoundTripsNames) {
  const std::string texts[] = {
      "plain", "\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88",  // 表示ソフト
      "\xEF\xBD\xB1\xEF\xBE\x9D", "\xE2\x94\x9C\xE2\x94\x80 a\\b",  // ｱﾝ, ├─ a\b
      "\xE7\xB7\x8F\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE6\x95\xB0\xEF\xBC\x9D"};
  for (const std::string& text : texts) {
    EXPECT_EQ(SjisToUtf8(Utf8ToSjis(text)), text);
  }
  EXPECT_EQ(SjisToUtf8("\x84\xA5\x84\x9F"), "\xE2\x94\x9C\xE2\x94\x80");  // tee glyph
}

TEST(SjisToUtf8, MarksBrokenBytesAndKeepsTheNextCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(SjisToUtf8("a\x81"), "a" + fffd);    // lead byte at the end
  EXPECT_EQ(SjisToUtf8("\x81 b"), fffd + " b");  // lead byte without trail byte
  EXPECT_EQ(SjisToUtf8("\xFF\x80\xA0"), fffd + fffd + fffd);
  EXPECT_EQ(SjisToUtf8("\x85\x40"
                       "x"),
            fffd + "x");                                  // unassigned two-byte code
  EXPECT_EQ(SjisToUtf8("\x95\x5C\\"), "\xE8\xA1\xA8\\");  // 表 then a real backslash
}

TEST(SjisStructure, FindsWholeCharacters) {
  EXPECT_TRUE(IsWellFormedSjis(""));
  EXPECT_TRUE(IsWellFormedSjis("abc\x95\x5C\xB1\x84\xA5"));
  EXPECT_FALSE(IsWellFormedSjis("abc\x95"));
  EXPECT_FALSE(IsWellFormedSjis("\x95\x20"));
  EXPECT_FALSE(IsWellFormedSjis("\x80"));
  EXPECT_FALSE(IsWellFormedSjis("\xFD"));
  EXPECT_EQ(SjisCharLength(0x95), 2);
  EXPECT_EQ(SjisCharLength(0xE0), 2);
  EXPECT_EQ(SjisCharLength(0xFC), 2);
  EXPECT_EQ(SjisCharLength(0x5C), 1);
  EXPECT_EQ(SjisCharLength(0xB1), 1);
  EXPECT_EQ(SjisCharLength(0xA0), 1);
}

}  // namespace
}  // namespace hdtree
