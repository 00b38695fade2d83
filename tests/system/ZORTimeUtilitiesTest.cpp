#include "system/ZORTimeUtilities.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/Clock.h"
#include "platform/DateFormatter.h"
#include "platform/GregorianCalendar.h"
#include "services/TestSupport.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {
namespace {

// The running program's string table, with no translations unless a test adds them.
class TimeUtilitiesTest : public ::testing::Test {
 protected:
  TimeUtilitiesTest()
      : environment_({{"TZ", std::string("UTC")},
                      {"LANGUAGE", std::nullopt},
                      {"LC_ALL", std::nullopt},
                      {"LC_MESSAGES", std::nullopt},
                      {"LANG", std::string("en_US.UTF-8")}}),
        bundle_(std::make_shared<FakeBundle>()) {
    Bundle::setMainBundle(bundle_);
  }
  ~TimeUtilitiesTest() override { Bundle::setMainBundle(nullptr); }

  void translate(const std::string& key, const std::string& translation) {
    bundle_->tables["Localizable"][key] = translation;
  }

  ScopedEnvironment environment_;
  std::shared_ptr<FakeBundle> bundle_;
};

struct IntervalCase {
  double seconds;
  const char* text;
  const char* numeric;
};

class IntervalTextTest : public TimeUtilitiesTest,
                         public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(IntervalTextTest, SplitsIntoDaysHoursMinutesAndSeconds) {
  const IntervalCase& c = GetParam();
  EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(c.seconds), c.text)
      << c.seconds;
  EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(c.seconds), c.numeric)
      << c.seconds;
}

INSTANTIATE_TEST_SUITE_P(
    Intervals, IntervalTextTest,
    ::testing::Values(
        // An hour part drops the seconds.
        IntervalCase{90061, "1 day 1 hour 1 minute ", "1 d 01:01"},
        // Days and minutes alone keep them.
        IntervalCase{86465, "1 day 1 minute 5 seconds", "1 d 00:01"},
        IntervalCase{0, "0 seconds", "00:00:00"}, IntervalCase{1, "1 second ", "00:00:01"},
        // The sign alone makes the text non-empty.
        IntervalCase{-0.5, "-", "-00:00:00"},
        IntervalCase{-3725, "-1 hour 2 minutes ", "-01:02:05"},
        IntervalCase{59.9, "59 seconds", "00:00:59"},
        IntervalCase{3 * 86400.0 + 7200, "3 days 2 hours ", "3 d 02:00"},
        IntervalCase{600, "10 minutes ", "00:10:00"},
        // Beyond the 32-bit range the interval is cut to it.
        IntervalCase{1e12, "24855 days 3 hours 14 minutes ", "24855 d 03:14"}));

TEST_F(TimeUtilitiesTest, NotANumberHasNoSign) {
  const double nan = std::nan("");
  EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(nan), "0 seconds");
  EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(nan), "00:00:00");
}

TEST_F(TimeUtilitiesTest, UnitWordsComeFromTheProgramsStringTable) {
  translate("%d days ", "%d Tage ");
  translate("1 hour ", "1 Stunde ");
  translate("%d d %02d:%02d", "%d T %02d.%02d");
  EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(2 * 86400 + 3600),
            "2 Tage 1 Stunde ");
  EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(2 * 86400 + 3660),
            "2 T 01.01");
}

TEST_F(TimeUtilitiesTest, TranslationWithForeignConversionsIsNotUsedAsAFormat) {
  translate("%d minutes ", "%s Minuten ");
  translate("%02d:%02d:%02d", "%02d:%02d:%02d:%02d");
  EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(120), "2 minutes ");
  EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(3723), "01:02:03");
}

TEST_F(TimeUtilitiesTest, DatesWithinADayShowTheTimeAlone) {
  ScopedManualClock clock(1.2e9);
  const double now = clock.clock().now();
  struct Case {
    double offset;
    DateFormatter::Style dateStyle;
  };
  const Case cases[] = {
      {86400, DateFormatter::Style::None},  {-86400, DateFormatter::Style::None},
      {86401, DateFormatter::Style::Short}, {-86401, DateFormatter::Style::Short},
      {0, DateFormatter::Style::None},
  };
  for (const Case& c : cases) {
    const double date = now + c.offset;
    EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForDate(date),
              DateFormatter::stringFromDate(date, c.dateStyle, DateFormatter::Style::Medium))
        << c.offset;
  }
  const std::string withDate = *ZORTimeUtilities::localizedTextRepresentationForDate(now + 86401);
  const std::string timeAlone = *ZORTimeUtilities::localizedTextRepresentationForDate(now + 86400);
  EXPECT_GT(withDate.size(), timeAlone.size());
  EXPECT_FALSE(ZORTimeUtilities::localizedTextRepresentationForDate(std::nullopt));
}

TEST_F(TimeUtilitiesTest, DayTextIsTheShortDate) {
  const auto date = GregorianCalendar::current().dateFromComponents(2008, 3, 3, 15, 30);
  ASSERT_TRUE(date);
  EXPECT_EQ(ZORTimeUtilities::localizedDayRepresentationForDate(*date), "3/3/08");
  EXPECT_FALSE(ZORTimeUtilities::localizedDayRepresentationForDate(std::nullopt));
}

TEST_F(TimeUtilitiesTest, DateForWeekGivesThatWeekdayOfThatWeek) {
  const auto monday = ZORTimeUtilities::dateForWeek(10, 2008, 1);
  ASSERT_TRUE(monday);
  const auto parts = GregorianCalendar::current().componentsOfDate(*monday);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->year, 2008);
  EXPECT_EQ(parts->month, 3);
  EXPECT_EQ(parts->day, 3);
  EXPECT_EQ(parts->weekday, 2);
  EXPECT_EQ(parts->weekOfYear, 10);
  EXPECT_EQ(parts->hour, 0);

  // Day 0 is the Sunday of the same week.
  const auto sunday = ZORTimeUtilities::dateForWeek(10, 2008, 0);
  ASSERT_TRUE(sunday);
  const auto sundayParts = GregorianCalendar::current().componentsOfDate(*sunday);
  EXPECT_EQ(sundayParts->weekday, 1);
  EXPECT_EQ(sundayParts->weekOfYear, 10);
}

}  // namespace
}  // namespace zor::testing
