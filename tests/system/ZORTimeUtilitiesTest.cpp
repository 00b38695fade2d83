#include "system/ZORTimeUtilities.h"

#include <gtest/gtest.h>

#include <utility>

namespace zor::testing {
namespace {

// An hour part drops the seconds; days and minutes alone keep them.
TEST(ZORTimeUtilitiesTest, TextIntervalSpellsSecondsOnlyWithoutHours) {
  const std::pair<double, const char*> cases[] = {
      {90061, "1 day 1 hour 1 minute "},
      {86465, "1 day 1 minute 5 seconds"},
      {-3725, "-1 hour 2 minutes "},
      {0, "0 seconds"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(ZORTimeUtilities::localizedTextRepresentationForTimeInterval(seconds), text);
  }
}

// Under a day: hours, minutes and seconds; from a day on: days, hours and minutes.
TEST(ZORTimeUtilitiesTest, NumericIntervalDropsSecondsFromADayOn) {
  const std::pair<double, const char*> cases[] = {
      {86399.9, "23:59:59"},
      {-3725, "-01:02:05"},
      {90061, "1 d 01:01"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(ZORTimeUtilities::localizedNumericRepresentationForTimeInterval(seconds), text);
  }
  EXPECT_FALSE(ZORTimeUtilities::localizedTextRepresentationForDate(std::nullopt) ||
               ZORTimeUtilities::localizedDayRepresentationForDate(std::nullopt));
}

}  // namespace
}  // namespace zor::testing
