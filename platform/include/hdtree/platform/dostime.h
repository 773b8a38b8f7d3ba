// MS-DOS packed date and time, and the date-time text of a listing.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace hdtree {

// Raised when a packed time does not encode a valid date and time of day.
class ConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Packs a host time (seconds since 1970-01-01 UTC) as an MS-DOS date and time in local time
// (the TZ setting): bits 25-31 year - 1980, 21-24 month, 16-20 day, 11-15 hour, 5-10 minute,
// 0-4 seconds / 2 (truncated). Returns nullopt when the local year is outside 1980 to 2107.
std::optional<std::uint32_t> PackDosTime(std::int64_t unixSeconds);

// The date-time text of a packed time: "yyyy/MM/dd H:mm:ss", or "yyyy/MM/dd" alone when the time
// of day is exactly 0:00:00. Throws ConvertError when the packed value is not a valid date and
// time (month 0 or 13, day 31 in a 30-day month, hour 24, ...).
std::string DosDateTimeText(std::uint32_t packed);

// The same text forms for a host time outside the packed range: the real local date and time,
// seconds truncated to even. Never throws; works for any 64-bit time the C library can convert
// (and an empty text for one it cannot).
std::string HostDateTimeText(std::int64_t unixSeconds);

// The same texts appended to `out`, with no text of their own to allocate. On a ConvertError
// nothing is appended.
void AppendDosDateTimeText(std::uint32_t packed, std::string& out);
void AppendHostDateTimeText(std::int64_t unixSeconds, std::string& out);

}  // namespace hdtree
