#include "hdtree/platform/dostime.h"

#include <cstdio>
#include <ctime>
#include <limits>
#include <mutex>

namespace hdtree {

namespace {

constexpr int kFirstDosYear = 1980;
constexpr int kLastDosYear = kFirstDosYear + 127;
constexpr int kLastSecond = 59;  // a leap second (60) counts as 59

// Reads the TZ setting once. localtime_r does not re-read it on every call (localtime would,
// and with TZ unset that means reading /etc/localtime for each entry); a program that changes
// TZ calls tzset() itself.
void EnsureTimeZone() {
  static std::once_flag once;
  std::call_once(once, [] { tzset(); });
}

// The local date and time of a host time; false when the C library cannot convert it.
bool LocalTime(std::int64_t unixSeconds, std::tm& out) {
  if (unixSeconds < std::numeric_limits<std::time_t>::min() ||
      unixSeconds > std::numeric_limits<std::time_t>::max()) {
    return false;
  }
  EnsureTimeZone();
  const auto t = static_cast<std::time_t>(unixSeconds);
  return localtime_r(&t, &out) != nullptr;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

char* TwoDigits(char* at, int value) {
  at[0] = static_cast<char>('0' + value / 10);
  at[1] = static_cast<char>('0' + value % 10);
  return at + 2;
}

// Appends "yyyy/MM/dd H:mm:ss", or the date alone at exactly 0:00:00. Written by hand: this runs
// once per file line, and a formatted print costs more than the rest of the line together.
void AppendDateTimeText(long long year, int month, int day, int hour, int minute, int second,
                        std::string& out) {
  constexpr long long kFourDigits = 10000;
  char text[64];
  char* at = text;
  if (year >= 0 && year < kFourDigits) {
    const int y = static_cast<int>(year);
    at = TwoDigits(TwoDigits(at, y / 100), y % 100);
  } else {
    const int n = std::snprintf(text, sizeof text, "%04lld", year);
    if (n < 0) return;
    at += n;
  }
  *at++ = '/';
  at = TwoDigits(at, month);
  *at++ = '/';
  at = TwoDigits(at, day);
  if (hour != 0 || minute != 0 || second != 0) {
    *at++ = ' ';
    if (hour >= 10) *at++ = static_cast<char>('0' + hour / 10);
    *at++ = static_cast<char>('0' + hour % 10);
    *at++ = ':';
    at = TwoDigits(at, minute);
    *at++ = ':';
    at = TwoDigits(at, second);
  }
  out.append(text, static_cast<std::size_t>(at - text));
}

}  // namespace

std::optional<std::uint32_t> PackDosTime(std::int64_t unixSeconds) {
  std::tm tm{};
  if (!LocalTime(unixSeconds, tm)) return std::nullopt;
  const long long year = static_cast<long long>(tm.tm_year) + 1900;
  if (year < kFirstDosYear || year > kLastDosYear) return std::nullopt;
  const int second = tm.tm_sec > kLastSecond ? kLastSecond : tm.tm_sec;
  const std::uint32_t date = static_cast<std::uint32_t>(year - kFirstDosYear) << 9 |
                             static_cast<std::uint32_t>(tm.tm_mon + 1) << 5 |
                             static_cast<std::uint32_t>(tm.tm_mday);
  const std::uint32_t time = static_cast<std::uint32_t>(tm.tm_hour) << 11 |
                             static_cast<std::uint32_t>(tm.tm_min) << 5 |
                             static_cast<std::uint32_t>(second / 2);
  return date << 16 | time;
}

void AppendDosDateTimeText(std::uint32_t packed, std::string& out) {
  const int year = kFirstDosYear + static_cast<int>(packed >> 25);
  const int month = static_cast<int>(packed >> 21 & 0x0F);
  const int day = static_cast<int>(packed >> 16 & 0x1F);
  const int hour = static_cast<int>(packed >> 11 & 0x1F);
  const int minute = static_cast<int>(packed >> 5 & 0x3F);
  const int second = static_cast<int>(packed & 0x1F) * 2;
  const bool valid = month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) &&
                     hour <= 23 && minute <= 59 && second <= kLastSecond;
  if (!valid) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(packed));
    throw ConvertError(std::string("'") + hex + "' is not a valid date and time");
  }
  AppendDateTimeText(year, month, day, hour, minute, second, out);
}

std::string DosDateTimeText(std::uint32_t packed) {
  std::string text;
  AppendDosDateTimeText(packed, text);
  return text;
}

void AppendHostDateTimeText(std::int64_t unixSeconds, std::string& out) {
  std::tm tm{};
  if (!LocalTime(unixSeconds, tm)) return;
  const int second = (tm.tm_sec > kLastSecond ? kLastSecond : tm.tm_sec) & ~1;
  AppendDateTimeText(static_cast<long long>(tm.tm_year) + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour, tm.tm_min, second, out);
}

std::string HostDateTimeText(std::int64_t unixSeconds) {
  std::string text;
  AppendHostDateTimeText(unixSeconds, text);
  return text;
}

}  // namespace hdtree
