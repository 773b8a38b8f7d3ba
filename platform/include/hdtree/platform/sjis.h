// Conversion between host names (UTF-8 bytes) and Shift-JIS text (Windows code page 932).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hdtree {

// Shift-JIS text held as bytes.
using AnsiString = std::string;

// The character that stands for anything a name cannot show.
inline constexpr char kReplacementChar = '?';

// Converts a host file name (UTF-8 bytes, possibly invalid) to Shift-JIS, character by character.
// '?' stands for every character CP932 cannot hold, every byte that is not valid UTF-8, every
// control character (below 0x20, and 0x7F) and every character that would become the single byte
// 0x5C (the backslash and the yen sign). The result is therefore always one line and never holds
// a path separator. Pure ASCII names take a fast path.
AnsiString HostNameToSjis(std::string_view hostName);
// The same into `out`, whose storage is reused: no allocation per name once it is large enough.
void HostNameToSjis(std::string_view hostName, AnsiString& out);

// Converts Shift-JIS text to UTF-8 for display. Bytes that do not form a CP932 character become
// U+FFFD. Never throws.
std::string SjisToUtf8(std::string_view sjis);

// Converts UTF-8 text to Shift-JIS; characters CP932 cannot hold become '?'. Unlike
// HostNameToSjis it keeps the backslash and control characters: it is meant for texts that are
// not file names (paths typed by the user, labels).
AnsiString Utf8ToSjis(std::string_view utf8);

// True when the bytes are a sequence of whole CP932 characters (single bytes, or a lead byte
// followed by a valid trail byte).
bool IsWellFormedSjis(std::string_view sjis);

// Byte length of the Shift-JIS character that begins with the given byte: 2 for a lead byte,
// 1 otherwise.
int SjisCharLength(unsigned char firstByte);

// The position of the last backslash of a Shift-JIS path that is a separator (trail bytes may be
// 0x5C too), or npos when there is none.
std::size_t LastSjisSeparator(std::string_view path);

}  // namespace hdtree
