#include "system/ZORTimeUtilities.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/Clock.h"
#include "platform/DateFormatter.h"
#include "platform/GregorianCalendar.h"
#include "system/SystemTestMachine.h"
#include "widget/WidgetFakes.h"

namespace zor::testing {
namespace {

// The running program's string table, with no translations unless a test adds them.
class TimeUtilitiesTest : public ::testing::Test {
 protected:
  TimeUtilitiesTest() : environment_(utcEnglish()), bundle_(std::make_shared<FakeBundle>()) {
    Bundle::setMainBundle(bundle_);
  }
  ~TimeUtilitiesTest() override { Bundle::setMainBundle(nullptr); }

  void translate(const std::string& key, const std::string& translation) {
    bundle_->tables["Localizable"][key] = translation;
  }

  ScopedEnvironment environment_;
  std::shared_ptr<FakeBundle> bundle_;
};

TEST_F(TimeUtilitiesTest, IntervalsSplitIntoDaysHoursMinutesAndSeconds) {
  struct Case {
    double seconds;
    const char* text;
    const char* numeric;
  };
  const Case cases[] = {
      // An hour part drops the seconds; days and minutes alone keep them.
      {90061, "1 day 1 hour 1 minute ", "1 d 01:01"},
      {86465, "1 day 1 minute 5 seconds", "1 d 00:01"},
      {0, "0 seconds", "00:00:00"},
      {1, "1 second ", "00:00:01"},
      // The sign alone makes the text non-empty.
      {-0.5, "-", "-00:00:00"},
      {-3725, "-1 hour 2 minutes ", "-01:02:05"},
      {59.9, "59 seconds", "00:00:59"},
      {3 * 86400.0 + 7200, "3 days 2 hours ", "3 d 02:00"},
      // Beyond the 32-bit range the interval is cut to it; NaN has no sign.
      {1e12, "24855 days 3 hours 14 minutes ", "24855 d 03:14"},
      {std::nan(""), "0 seconds", "00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(c.seconds), c.text)
        << c.seconds;
    EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(c.seconds), c.numeric)
        << c.seconds;
  }
}

// A translation is used as a format only when it has the original's conversions.
TEST_F(TimeUtilitiesTest, UnitWordsComeFromTheProgramsStringTable) {
  translate("%d days ", "%d Tage ");
  translate("1 hour ", "1 Stunde ");
  translate("%d d %02d:%02d", "%d T %02d.%02d");
  translate("%d minutes ", "%s Minuten ");
  translate("%02d:%02d:%02d", "%02d:%02d:%02d:%02d");
  EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(2 * 86400 + 3600),
            "2 Tage 1 Stunde ");
  EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(2 * 86400 + 3660),
            "2 T 01.01");
  EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(120), "2 minutes ");
  EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(3723), "01:02:03");
}

// Dates within a day either way show the time alone; the day text is the short date.
TEST_F(TimeUtilitiesTest, DateTexts) {
  ScopedManualClock clock(1.2e9);
  const double now = clock.clock().now();
  using Style = DateFormatter::Style;
  for (const auto& [offset, style] :
       {std::pair(-86400.0, Style::None), std::pair(86401.0, Style::Short),
        std::pair(-86401.0, Style::Short)}) {
    EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForDate(now + offset),
              DateFormatter::stringFromDate(now + offset, style, Style::Medium))
        << offset;
  }
  EXPECT_FALSE(ZORTimeUtilities::localizedTextRepresentationForDate(std::nullopt));
  const auto date = GregorianCalendar::current().dateFromComponents(2008, 3, 3, 15, 30);
  ASSERT_TRUE(date);
  EXPECT_EQ(ZORTimeUtilities::localizedDayRepresentationForDate(*date), "3/3/08");
  EXPECT_FALSE(ZORTimeUtilities::localizedDayRepresentationForDate(std::nullopt));
}

// Days count from 0 = Sunday; American week 10 of 2008 runs from Sunday 2 March.
TEST_F(TimeUtilitiesTest, DateForWeekGivesThatWeekdayOfThatWeek) {
  const GregorianCalendar calendar = GregorianCalendar::current();
  EXPECT_EQ(ZORTimeUtilities::dateForWeek(10, 2008, 1), calendar.dateFromComponents(2008, 3, 3, 0));
  EXPECT_EQ(ZORTimeUtilities::dateForWeek(10, 2008, 0), calendar.dateFromComponents(2008, 3, 2, 0));
}

}  // namespace
}  // namespace zor::testing
