#include <gtest/gtest.h>

#include <cmath>

#include "platform/SequentialArchiver.h"
#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

struct ConversionCase {
  const char* name;
  std::int32_t functionType;
  double linearFactor;
  std::uint16_t m;
  std::int16_t b;
  std::int32_t shift;
  std::int32_t raw;
  double expected;
};

ZORSensorValueConverter configured(const ConversionCase& c) {
  ZORSensorValueConverter converter;
  converter.setConversionFunctionType(c.functionType);
  converter.setLinearFactor(c.linearFactor);
  converter.setMScaling(c.m);
  converter.setBOffset(c.b);
  converter.setShiftValue(c.shift);
  return converter;
}

TEST(ZORSensorValueConverterTest, ConvertsByFunctionType) {
  const ConversionCase cases[] = {
      {"identity", 0, 1.0, 1, 0, 0, 42, 42.0},
      {"identity ignores factor", 0, 0.5, 3, 7, 2, 10, 10.0},
      {"16.16 fixed point", 1, 1.0 / 65536, 1, 0, 0, 2981888, 45.5},
      {"calibrated example", 2, 262144.0, 1, 0, 12, 262144, 1.0},
      {"calibrated with offset", 2, 16.0, 2, -3, 4, 10, -1.75},
      {"shift counted modulo 32", 2, 16.0, 2, -3, 36, 10, -1.75},
      {"negative shift uses low five bits", 2, 1.0, 1, 1, -1, 0, -2147483648.0},
      {"slope product wraps in 32 bits", 2, 1.0, 65535, 0, 0, 0x10001,
       static_cast<double>(static_cast<std::int32_t>(0xFFFFFFFFu))},
      {"sum wraps in 32 bits", 2, 1.0, 1, 1, 31, 0x7FFFFFFF, -1.0},
      {"100 minus linear", 3, 1.0, 1, 0, 0, 60, 40.0},
      {"negative type", -1, 1.0, 1, 0, 0, 123, 0.0},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(configured(c).valueForRawSensorValue(c.raw), c.expected);
  }
  // A zero factor gives what the floating-point division gives.
  const ZORSensorValueConverter zero = configured({"zero factor", 2, 0.0, 1, 0, 0, 0, 0.0});
  EXPECT_TRUE(std::isinf(zero.valueForRawSensorValue(5)));
  EXPECT_TRUE(std::isnan(zero.valueForRawSensorValue(0)));
}

// 0.1 is not representable as a 32-bit float, so a narrowed factor shows.
TEST(ZORSensorValueConverterTest, ArchiveAndCopyKeepAllFiveFieldsExactly) {
  const ZORSensorValueConverter converter = configured({"", 2, 0.1, 65000, -1234, -7, 0, 0.0});
  SequentialArchiver out;
  converter.encodeWithCoder(out);
  SequentialArchiver in(out.bytes());
  ZORSensorValueConverter back;
  ASSERT_TRUE(back.initWithCoder(in));
  EXPECT_TRUE(back == converter);
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(back.description(), converter.description());
  auto copied = converter.copy();
  EXPECT_TRUE(*copied == converter);
  copied->setMScaling(1);
  EXPECT_FALSE(*copied == converter) << "a copy is independent";

  SequentialArchiver wrong;
  wrong.encodeInt32(1);
  wrong.encodeFloat(1.0f);  // the factor must be a 64-bit float
  wrong.encodeUInt16(1);
  wrong.encodeInt16(0);
  wrong.encodeInt32(0);
  SequentialArchiver wrongIn(wrong.bytes());
  EXPECT_FALSE(back.initWithCoder(wrongIn));
}

}  // namespace
}  // namespace zor
