#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <tuple>

#include "platform/DateFormatter.h"
#include "platform/GregorianCalendar.h"
#include "services/TestSupport.h"

namespace zor {
namespace {

using testing::localeVariables;
using testing::ScopedEnvironment;

// Seconds of a UTC calendar date, worked out without ICU.
double utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  return static_cast<double>(timegm(&parts));
}

GregorianCalendar calendarFor(const char* locale) {
  auto calendar = GregorianCalendar::create(locale, "UTC");
  EXPECT_TRUE(calendar.has_value()) << locale;
  return calendar ? *calendar : GregorianCalendar::current();
}

// 2008 begins on a Tuesday, 2010 on a Friday, 2020 on a Wednesday. US weeks
// begin on Sunday and week 1 holds 1 January; German weeks begin on Monday
// and week 1 is the first with four days in the new year. Weeks are counted
// from the first day of week 1, also before it and past the last.
TEST(GregorianCalendarTest, DateFromWeekByTheLocalesWeekRules) {
  struct Case {
    const char* locale;
    int year, week, weekday;
    int expectedYear, expectedMonth, expectedDay;
  };
  const Case cases[] = {
      {"en_US", 2008, 10, 2, 2008, 3, 3},  {"en_US", 2010, 10, 2, 2010, 3, 1},
      {"de_DE", 2010, 10, 2, 2010, 3, 8},  {"de_DE", 2010, 10, 1, 2010, 3, 14},
      {"de_DE", 2020, 1, 2, 2019, 12, 30}, {"de_DE", 2020, 0, 2, 2019, 12, 23},
      {"en_US", 2020, 1, 2, 2019, 12, 30}, {"de_DE", 2020, 53, 2, 2020, 12, 28},
      {"de_DE", 2020, 54, 2, 2021, 1, 4},  {"de_DE", 2018, 99, 2, 2019, 11, 18},
      {"de", 2021, 42, 2, 2021, 10, 18},   {"en_GB", 2021, 42, 2, 2021, 10, 18},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(calendarFor(c.locale).dateFromWeek(c.year, c.week, c.weekday),
              utc(c.expectedYear, c.expectedMonth, c.expectedDay))
        << c.locale << " " << c.year << " week " << c.week << " day " << c.weekday;
  }
}

TEST(GregorianCalendarTest, WeekOfYearAtTheTurnOfTheYear) {
  const double newYear2010 = utc(2010, 1, 1, 12);
  auto german = calendarFor("de_DE").componentsOfDate(newYear2010);
  auto american = calendarFor("en_US").componentsOfDate(newYear2010);
  ASSERT_TRUE(german && american);
  EXPECT_EQ(std::tuple(german->weekday, german->weekOfYear, german->yearForWeekOfYear),
            std::tuple(6, 53, 2009));  // a Friday
  EXPECT_EQ(std::tuple(american->weekOfYear, american->yearForWeekOfYear, american->year,
                       american->month, american->day, american->hour),
            std::tuple(1, 2010, 2010, 1, 1, 12));
  EXPECT_EQ(std::tuple(calendarFor("de_DE").firstWeekday(),
                       calendarFor("en_US").minimumDaysInFirstWeek()),
            std::tuple(2, 1));
  EXPECT_FALSE(GregorianCalendar::create("en_US", "Mars/Olympus_Mons").has_value());
  EXPECT_FALSE(calendarFor("en_US").componentsOfDate(std::nan("")).has_value());
}

TEST(DateFormatterTest, FormatsInTheLocalesStyle) {
  using Style = DateFormatter::Style;
  const std::tuple<const char*, Style, Style, const char*> cases[] = {
      {"en_US", Style::Short, Style::None, "3/8/10"},
      {"de_DE", Style::Short, Style::Medium, "08.03.10, 13:05:09"},
      {"en_US", Style::None, Style::None, ""},
  };
  for (const auto& [locale, date, time, expected] : cases) {
    EXPECT_EQ(DateFormatter::stringFromDate(utc(2010, 3, 8, 13, 5, 9), date, time, locale, "UTC"),
              expected);
  }
  // The current locale and zone come from the environment.
  ScopedEnvironment env(localeVariables({}, {}, {}, "de_DE.UTF-8"));
  ScopedEnvironment zone("TZ", "America/New_York");
  EXPECT_EQ(DateFormatter::stringFromDate(utc(2010, 3, 8, 3, 0, 0), Style::Short, Style::None),
            "07.03.10");
}

}  // namespace
}  // namespace zor
