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

}  // namespace
}  // namespace zor::testing
