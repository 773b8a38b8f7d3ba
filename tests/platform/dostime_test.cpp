#include "hdtree/platform/dostime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "platform_support.h"

namespace hdtree {
namespace {

struct Zone {
  const char* name;
  int offsetSeconds;  // east of UTC, constant over the years below
};

const Zone kZones[] = {{"UTC", 0}, {"Asia/Tokyo", 9 * 3600}};

struct TimeCase {
  int year, month, day, hour, minute, second;
  bool packs;        // inside the range of the packed form
  const char* text;  // the listing's date-time text
};

const TimeCase kTimes[] = {
    {1979, 12, 31, 23, 59, 59, false, "1979/12/31 23:59:58"},
    {1980, 1, 1, 0, 0, 0, true, "1980/01/01"},
    {1997, 6, 1, 0, 0, 0, true, "1997/06/01"},
    {1997, 6, 1, 0, 0, 1, true, "1997/06/01"},  // seconds go to even: midnight again
    {1997, 6, 1, 0, 0, 2, true, "1997/06/01 0:00:02"},
    {1997, 5, 12, 9, 30, 25, true, "1997/05/12 9:30:24"},
    {1996, 8, 24, 11, 11, 10, true, "1996/08/24 11:11:10"},
    {2000, 2, 29, 18, 0, 0, true, "2000/02/29 18:00:00"},
    {2107, 12, 31, 23, 59, 59, true, "2107/12/31 23:59:58"},
    {2108, 1, 1, 0, 0, 0, false, "2108/01/01"},
    {1969, 7, 20, 20, 17, 41, false, "1969/07/20 20:17:40"},
};

// The host time of a local date and time in a zone of fixed offset.
std::int64_t HostTime(const TimeCase& c, const Zone& zone) {
  std::tm tm{};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  return static_cast<std::int64_t>(timegm(&tm)) - zone.offsetSeconds;
}

TEST(DateTimeText, PackedAndHostTimesInEachZone) {
  for (const Zone& zone : kZones) {
    testing::ZoneSetting setting(zone.name);
    for (const TimeCase& c : kTimes) {
      const std::int64_t t = HostTime(c, zone);
      const std::optional<std::uint32_t> packed = PackDosTime(t);
      SCOPED_TRACE(std::string(zone.name) + " " + c.text);
      ASSERT_EQ(packed.has_value(), c.packs);
      EXPECT_EQ(packed ? DosDateTimeText(*packed) : HostDateTimeText(t), c.text);
      // The host form gives the same text wherever the packed form exists.
      EXPECT_EQ(HostDateTimeText(t), c.text);
    }
  }
}

TEST(PackDosTime, FieldLayout) {
  testing::ZoneSetting setting("UTC");
  // 1997-05-12 9:30:24: year 17, month 5, day 12, hour 9, minute 30, 12 two-second steps.
  EXPECT_EQ(PackDosTime(863429424), (17u << 25 | 5u << 21 | 12u << 16 | 9u << 11 | 30u << 5 | 12u));
  EXPECT_EQ(PackDosTime(315532800), 0x00210000u);  // 1980-01-01 0:00:00
}

TEST(DosDateTimeText, RejectsInvalidPackedValues) {
  const auto pack = [](unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                       unsigned twoSeconds) {
    return (year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 | twoSeconds;
  };
  const std::uint32_t invalid[] = {
      0,                           // month 0, day 0
      pack(1997, 13, 1, 0, 0, 0),  // month 13
      pack(1997, 4, 31, 0, 0, 0),  // 31 days in a 30-day month
      pack(1997, 2, 29, 0, 0, 0),  // February 29 outside a leap year
      pack(2100, 2, 29, 0, 0, 0),  // 2100 is no leap year
      pack(1997, 1, 1, 24, 0, 0),  // hour 24
      pack(1997, 1, 1, 0, 60, 0),  // minute 60
      pack(1997, 1, 1, 0, 0, 30),  // 60 seconds
  };
  for (const std::uint32_t value : invalid) {
    EXPECT_THROW(DosDateTimeText(value), ConvertError) << std::hex << value;
  }
  EXPECT_EQ(DosDateTimeText(pack(1996, 2, 29, 23, 59, 29)), "1996/02/29 23:59:58");
  try {
    DosDateTimeText(pack(1997, 13, 1, 0, 0, 0));
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'23A10000' is not a valid date and time");
  }
}

TEST(HostDateTimeText, NeverThrowsForExtremeTimes) {
  EXPECT_EQ(HostDateTimeText(std::numeric_limits<std::int64_t>::max()), "");
  EXPECT_EQ(HostDateTimeText(std::numeric_limits<std::int64_t>::min()), "");
  EXPECT_FALSE(PackDosTime(std::numeric_limits<std::int64_t>::max()).has_value());
}

}  // namespace
}  // namespace hdtree
