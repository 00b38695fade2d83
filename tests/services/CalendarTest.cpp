#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#include "platform/DateFormatter.h"
#include "platform/GregorianCalendar.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

using testing::ScopedEnvironment;

// Seconds of a UTC calendar date, worked out without ICU.
double utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm parts{};
  std::tie(parts.tm_year, parts.tm_mon, parts.tm_mday) = std::tuple(year - 1900, month - 1, day);
  std::tie(parts.tm_hour, parts.tm_min, parts.tm_sec) = std::tuple(hour, minute, second);
  return static_cast<double>(timegm(&parts));
}

// The current locale and time zone for one scope.
ScopedEnvironment::Settings localeAndZone(const std::string& locale, const std::string& zone) {
  return {{"LANGUAGE", {}},
          {"LC_ALL", {}},
          {"LC_MESSAGES", {}},
          {"LANG", locale + ".UTF-8"},
          {"TZ", zone}};
}

// A machine's production date is a week of a year in the current locale.
// 2010 begins on a Friday, 2020 on a Wednesday. US weeks begin on Sunday and
// week 1 holds 1 January; German weeks begin on Monday and week 1 is the first
// with four days in the new year. Weeks are counted from the first day of
// week 1, also before it and past the last; the year is the current year's.
TEST(GregorianCalendarTest, DatesFromWeeksAndYearsFromDates) {
  const std::tuple<const char*, int, int, int, double> cases[] = {
      {"en_US", 2010, 10, 2, utc(2010, 3, 1)},  {"de_DE", 2010, 10, 2, utc(2010, 3, 8)},
      {"de_DE", 2010, 10, 1, utc(2010, 3, 14)}, {"de_DE", 2020, 1, 2, utc(2019, 12, 30)},
      {"de_DE", 2020, 0, 2, utc(2019, 12, 23)}, {"de_DE", 2020, 54, 2, utc(2021, 1, 4)},
  };
  for (const auto& [locale, year, week, weekday, expected] : cases) {
    ScopedEnvironment env(localeAndZone(locale, "UTC"));
    const GregorianCalendar calendar = GregorianCalendar::current();
    EXPECT_EQ(calendar.dateFromWeek(year, week, weekday), expected)
        << locale << " " << year << " week " << week << " day " << weekday;
    auto parts = calendar.componentsOfDate(utc(2010, 1, 1, 12));
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(std::tuple(parts->year, parts->month, parts->day, parts->hour),
              std::tuple(2010, 1, 1, 12));
  }
  ScopedEnvironment mars(localeAndZone("en_US", "Mars/Olympus_Mons"));
  EXPECT_EQ(GregorianCalendar::current().dateFromWeek(2010, 10, 2), utc(2010, 3, 1)) << "US, UTC";
}

// Dates in the current locale and zone, as the widget's disk dates show them.
TEST(DateFormatterTest, FormatsInTheLocalesStyle) {
  using Style = DateFormatter::Style;
  const std::tuple<const char*, const char*, Style, Style, const char*> cases[] = {
      {"de_DE", "UTC", Style::Short, Style::Medium, "08.03.10, 03:05:09"},
      {"de_DE", "America/New_York", Style::Short, Style::None, "07.03.10"},
  };
  for (const auto& [locale, zone, date, time, expected] : cases) {
    ScopedEnvironment env(localeAndZone(locale, zone));
    EXPECT_EQ(DateFormatter::stringFromDate(utc(2010, 3, 8, 3, 5, 9), date, time), expected);
  }
}

}  // namespace
}  // namespace zor
