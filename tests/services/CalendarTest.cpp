#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <ctime>

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

GregorianCalendar calendarFor(const char* locale, const char* zone = "UTC") {
  auto calendar = GregorianCalendar::create(locale, zone);
  EXPECT_TRUE(calendar.has_value()) << locale << " " << zone;
  return calendar ? *calendar : GregorianCalendar::current();
}

struct WeekRuleCase {
  const char* locale;
  int firstWeekday;
  int minimumDays;
};
class WeekRulesTest : public ::testing::TestWithParam<WeekRuleCase> {};

TEST_P(WeekRulesTest, FollowTheLocale) {
  GregorianCalendar calendar = calendarFor(GetParam().locale);
  EXPECT_EQ(calendar.firstWeekday(), GetParam().firstWeekday);
  EXPECT_EQ(calendar.minimumDaysInFirstWeek(), GetParam().minimumDays);
}

INSTANTIATE_TEST_SUITE_P(Locales, WeekRulesTest,
                         ::testing::Values(WeekRuleCase{"en_US", 1, 1}, WeekRuleCase{"de_DE", 2, 4},
                                           WeekRuleCase{"de", 2, 4}, WeekRuleCase{"en_GB", 2, 4}),
                         [](const auto& info) { return std::string(info.param.locale); });

struct WeekDateCase {
  const char* name;
  const char* locale;
  int year, week, weekday;
  int expectedYear, expectedMonth, expectedDay;
};
class DateFromWeekTest : public ::testing::TestWithParam<WeekDateCase> {};

TEST_P(DateFromWeekTest, ResolvesByTheLocalesWeekRules) {
  const WeekDateCase& c = GetParam();
  auto date = calendarFor(c.locale).dateFromWeek(c.year, c.week, c.weekday);
  ASSERT_TRUE(date.has_value());
  EXPECT_EQ(*date, utc(c.expectedYear, c.expectedMonth, c.expectedDay));
}

// 2008 begins on a Tuesday, 2010 on a Friday, 2020 on a Wednesday. US weeks
// begin on Sunday and week 1 holds 1 January; German weeks begin on Monday
// and week 1 is the first with four days in the new year.
INSTANTIATE_TEST_SUITE_P(
    Weeks, DateFromWeekTest,
    ::testing::Values(WeekDateCase{"Week10Of2008US", "en_US", 2008, 10, 2, 2008, 3, 3},
                      WeekDateCase{"Week10Of2010US", "en_US", 2010, 10, 2, 2010, 3, 1},
                      WeekDateCase{"Week10Of2010DE", "de_DE", 2010, 10, 2, 2010, 3, 8},
                      WeekDateCase{"SundayOfWeek10DE", "de_DE", 2010, 10, 1, 2010, 3, 14},
                      WeekDateCase{"Week1MondayInPreviousYearDE", "de_DE", 2020, 1, 2, 2019, 12,
                                   30},
                      WeekDateCase{"Week0DE", "de_DE", 2020, 0, 2, 2019, 12, 23},
                      WeekDateCase{"Week1StartsInOldYearUS", "en_US", 2020, 1, 2, 2019, 12, 30},
                      WeekDateCase{"Week53DE", "de_DE", 2020, 53, 2, 2020, 12, 28},
                      WeekDateCase{"Week54RunsOnDE", "de_DE", 2020, 54, 2, 2021, 1, 4},
                      WeekDateCase{"Week99RunsOnDE", "de_DE", 2018, 99, 2, 2019, 11, 18},
                      WeekDateCase{"Week42Of2021DE", "de_DE", 2021, 42, 2, 2021, 10, 18}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GregorianCalendarTest, WeekOfYearAtTheTurnOfTheYear) {
  const double newYear2010 = utc(2010, 1, 1, 12);
  auto german = calendarFor("de_DE").componentsOfDate(newYear2010);
  auto american = calendarFor("en_US").componentsOfDate(newYear2010);
  ASSERT_TRUE(german && american);
  EXPECT_EQ(german->weekday, 6);  // Friday
  EXPECT_EQ(german->weekOfYear, 53);
  EXPECT_EQ(german->yearForWeekOfYear, 2009);
  EXPECT_EQ(american->weekOfYear, 1);
  EXPECT_EQ(american->yearForWeekOfYear, 2010);
  EXPECT_EQ(american->year, 2010);
  EXPECT_EQ(american->month, 1);
  EXPECT_EQ(american->day, 1);
  EXPECT_EQ(american->hour, 12);
}

TEST(GregorianCalendarTest, RefusesUnknownZoneAndNonFiniteDates) {
  EXPECT_FALSE(GregorianCalendar::create("en_US", "Mars/Olympus_Mons").has_value());
  EXPECT_FALSE(calendarFor("en_US").componentsOfDate(std::nan("")).has_value());
}

struct FormatCase {
  const char* name;
  const char* locale;
  DateFormatter::Style date;
  DateFormatter::Style time;
  std::string expected;
};
class DateFormatterTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DateFormatterTest, FormatsInTheLocalesStyle) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(
      DateFormatter::stringFromDate(utc(2010, 3, 8, 13, 5, 9), c.date, c.time, c.locale, "UTC"),
      c.expected);
}

using Style = DateFormatter::Style;
INSTANTIATE_TEST_SUITE_P(
    Styles, DateFormatterTest,
    ::testing::Values(FormatCase{"ShortDateUS", "en_US", Style::Short, Style::None, "3/8/10"},
                      FormatCase{"ShortDateDE", "de_DE", Style::Short, Style::None, "08.03.10"},
                      FormatCase{"MediumTimeDE", "de_DE", Style::None, Style::Medium, "13:05:09"},
                      FormatCase{"ShortDateMediumTimeDE", "de_DE", Style::Short, Style::Medium,
                                 "08.03.10, 13:05:09"},
                      FormatCase{"NoStyles", "en_US", Style::None, Style::None, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DateFormatterTest, CurrentLocaleAndZoneFromEnvironment) {
  ScopedEnvironment env(localeVariables({}, {}, {}, "de_DE.UTF-8"));
  ScopedEnvironment zone("TZ", "America/New_York");
  EXPECT_EQ(DateFormatter::stringFromDate(utc(2010, 3, 8, 3, 0, 0), Style::Short, Style::None),
            "07.03.10");
}

}  // namespace
}  // namespace zor
