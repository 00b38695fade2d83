#include "smc/ZORSMCCachedValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "platform/Clock.h"

namespace zor {
namespace {

// Puts the process-wide expiry time back after each test.
class ZORSMCCachedValueTest : public ::testing::Test {
 protected:
  void TearDown() override { ZORSMCCachedValue::setCacheExpireTime(1.0); }
  ScopedManualClock clock_;
};

_ZORSMCValue sampleValue(std::uint8_t fill) {
  _ZORSMCValue value;
  value.key = 0x54433044;  // "TC0D"
  value.dataSize = 2;
  value.dataType = 0x73703738;  // "sp78"
  for (std::size_t i = 0; i < value.bytes.size(); ++i) {
    value.bytes[i] = static_cast<std::uint8_t>(fill + i);
  }
  return value;
}

// Valid up to and including the expiry time in force at the check; a clock
// set backwards keeps the entry valid; a never-set entry is never valid.
TEST_F(ZORSMCCachedValueTest, ValidUpToAndIncludingTheExpiryTime) {
  ZORSMCCachedValue fresh;
  ZORSMCCachedValue::setCacheExpireTime(1.0e12);
  EXPECT_FALSE(fresh.isValid());
  const std::tuple<double, double, bool> cases[] = {{1.0, 0.0, true},   {1.0, 1.0, true},
                                                    {1.0, 1.1, false},  {1.0, -100.0, true},
                                                    {1.0, 30.0, false}, {60.0, 30.0, true}};
  for (const auto& [expiry, after, valid] : cases) {
    ZORSMCCachedValue entry;
    _ZORSMCValue value = sampleValue(1);
    entry.setCachedValue(&value);
    ZORSMCCachedValue::setCacheExpireTime(expiry);
    clock_.advance(after);
    EXPECT_EQ(entry.isValid(), valid) << expiry << " s expiry, " << after << " s later";
  }
  for (double refused : {0.0, -5.0, std::nan("")}) {
    ZORSMCCachedValue::setCacheExpireTime(refused);
    EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), 60.0) << refused;
  }
}

TEST_F(ZORSMCCachedValueTest, KeepsAllThirtyTwoBytesAndNullChangesNothing) {
  ZORSMCCachedValue entry;
  _ZORSMCValue first = sampleValue(1);
  entry.setCachedValue(&first);
  clock_.advance(2.0);
  _ZORSMCValue second = sampleValue(100);
  entry.setCachedValue(&second);
  const double stamped = clock_.clock().now();
  EXPECT_EQ(entry.timestamp(), stamped);
  EXPECT_EQ(entry.cachedValue().bytes[31], 131);  // bytes past dataSize are kept as well
  clock_.advance(5.0);
  entry.setCachedValue(nullptr);
  EXPECT_EQ(entry.timestamp(), stamped);
  EXPECT_EQ(entry.cachedValue(), second);
}

}  // namespace
}  // namespace zor
