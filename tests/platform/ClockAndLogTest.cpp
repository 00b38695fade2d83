#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/SystemLog.h"

namespace zor {
namespace {

// The manual clock every reading test relies on gives the system clock back; captured log
// lines nest and are never cut short.
TEST(ClockAndLogTest, ManualClockAndLogCaptureNestAndRestore) {
  ScopedLogCapture outer;
  {
    ScopedManualClock manual(100.0);
    manual.advance(0.5);
    EXPECT_EQ(Clock::current().now(), 100.5);
    ScopedLogCapture inner;
    SystemLog::writeFormat("%s: %s (error %d)\n", "AppleSMC", std::string(5000, 'x').c_str(), -5);
    EXPECT_EQ(inner.lines(),
              std::vector<std::string>{"AppleSMC: " + std::string(5000, 'x') + " (error -5)\n"});
  }
  EXPECT_GT(Clock::current().now(), 1.7e9);
  SystemLog::write("second\n");
  EXPECT_EQ(outer.lines(), std::vector<std::string>{"second\n"});
}

}  // namespace
}  // namespace zor
