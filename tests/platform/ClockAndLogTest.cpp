#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"

namespace zor {
namespace {

TEST(ClockTest, ManualClockReplacesAndRestoresTheSystemClock) {
  {
    ScopedManualClock manual(100.0);
    manual.advance(0.5);
    EXPECT_EQ(Clock::current().now(), 100.5);
  }
  EXPECT_GT(Clock::current().now(), 1.7e9);
}

TEST(SystemLogTest, CaptureCollectsFormattedLinesInOrderAndNests) {
  ScopedLogCapture outer;
  SystemLog::write("first\n");
  {
    ScopedLogCapture inner;
    SystemLog::writeFormat("%s: %s (error %d)\n", "AppleSMC", std::string(5000, 'x').c_str(), -5);
    ASSERT_EQ(inner.lines().size(), 1u);
    EXPECT_EQ(inner.lines()[0], "AppleSMC: " + std::string(5000, 'x') + " (error -5)\n");
  }
  SystemLog::write("second\n");
  EXPECT_EQ(outer.lines(), (std::vector<std::string>{"first\n", "second\n"}));
  EXPECT_EQ(formatString("%7.1f", 74.3), "   74.3");
}

}  // namespace
}  // namespace zor
