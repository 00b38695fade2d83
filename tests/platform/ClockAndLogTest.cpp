#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"

namespace zor {
namespace {

TEST(ClockTest, ManualClockReplacesAndRestoresTheSystemClock) {
  {
    ScopedManualClock manual(100.0);
    EXPECT_EQ(Clock::current().now(), 100.0);
    manual.advance(0.5);
    EXPECT_EQ(Clock::current().now(), 100.5);
  }
  EXPECT_GT(Clock::current().now(), 1.7e9);
}

TEST(SystemLogTest, CaptureCollectsLinesInOrderAndNests) {
  ScopedLogCapture outer;
  SystemLog::write("first\n");
  {
    ScopedLogCapture inner;
    SystemLog::writeFormat("%s: could not open service connection (error %d)\n", "AppleSMC", -5);
    ASSERT_EQ(inner.lines().size(), 1u);
    EXPECT_EQ(inner.lines()[0], "AppleSMC: could not open service connection (error -5)\n");
  }
  SystemLog::write("second\n");
  EXPECT_EQ(outer.lines(), (std::vector<std::string>{"first\n", "second\n"}));
  EXPECT_TRUE(outer.contains("sec"));
}

TEST(StringFormatTest, FormatsLongTexts) {
  std::string longText(5000, 'x');
  EXPECT_EQ(formatString("%s!", longText.c_str()).size(), 5001u);
  EXPECT_EQ(formatString("%7.1f", 74.3), "   74.3");
}

}  // namespace
}  // namespace zor
