#include "smc/ZORSMCCachedValue.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST_F(ZORSMCCachedValueTest, NewEntryIsNeverValid) {
  ZORSMCCachedValue entry;
  EXPECT_FALSE(entry.isValid());
  // Even an expiry time longer than the time since 1970.
  ZORSMCCachedValue::setCacheExpireTime(1.0e12);
  EXPECT_FALSE(entry.isValid());
  EXPECT_EQ(entry.timestamp(), 0.0);
}

TEST_F(ZORSMCCachedValueTest, ValidUpToAndIncludingTheExpiryTime) {
  struct Case {
    double after;
    bool valid;
  };
  for (Case c : {Case{0.0, true}, Case{0.5, true}, Case{1.0, true}, Case{1.1, false}}) {
    ZORSMCCachedValue entry;
    _ZORSMCValue value = sampleValue(1);
    entry.setCachedValue(&value);
    clock_.advance(c.after);
    EXPECT_EQ(entry.isValid(), c.valid) << "after " << c.after << " s";
  }
}

TEST_F(ZORSMCCachedValueTest, ClockSetBackwardsKeepsTheEntryValid) {
  ZORSMCCachedValue entry;
  _ZORSMCValue value = sampleValue(1);
  entry.setCachedValue(&value);
  clock_.advance(-100.0);
  EXPECT_TRUE(entry.isValid());
}

TEST_F(ZORSMCCachedValueTest, ExpiryTimeTakesOnlyPositiveValues) {
  ZORSMCCachedValue::setCacheExpireTime(10.0);
  for (double refused : {0.0, -5.0, std::nan("")}) {
    ZORSMCCachedValue::setCacheExpireTime(refused);
    EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), 10.0) << refused;
  }
  ZORSMCCachedValue::setCacheExpireTime(0.25);
  EXPECT_EQ(ZORSMCCachedValue::cacheExpireTime(), 0.25);
}

TEST_F(ZORSMCCachedValueTest, ExpiryTimeInForceAtTheCheckCounts) {
  ZORSMCCachedValue entry;
  _ZORSMCValue value = sampleValue(1);
  entry.setCachedValue(&value);
  clock_.advance(30.0);
  EXPECT_FALSE(entry.isValid());
  ZORSMCCachedValue::setCacheExpireTime(60.0);
  EXPECT_TRUE(entry.isValid());
  ZORSMCCachedValue::setCacheExpireTime(1.0);
  EXPECT_FALSE(entry.isValid());
}

TEST_F(ZORSMCCachedValueTest, NullKeepsRecordAndTimestamp) {
  ZORSMCCachedValue entry;
  _ZORSMCValue value = sampleValue(7);
  entry.setCachedValue(&value);
  double stamped = entry.timestamp();
  clock_.advance(5.0);
  entry.setCachedValue(nullptr);
  EXPECT_EQ(entry.timestamp(), stamped);
  EXPECT_EQ(entry.cachedValue(), value);
}

TEST_F(ZORSMCCachedValueTest, KeepsAllThirtyTwoBytesAndRestamps) {
  ZORSMCCachedValue entry;
  _ZORSMCValue first = sampleValue(1);
  entry.setCachedValue(&first);
  clock_.advance(2.0);
  _ZORSMCValue second = sampleValue(100);
  entry.setCachedValue(&second);
  EXPECT_EQ(entry.timestamp(), clock_.clock().now());
  _ZORSMCValue stored = entry.cachedValue();
  // Bytes past dataSize are kept as well.
  EXPECT_EQ(stored.bytes[31], 131);
  EXPECT_EQ(stored, second);
}

}  // namespace
}  // namespace zor
