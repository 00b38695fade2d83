#include "sensors/ZORSensorValueConverter.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/SequentialArchiver.h"

namespace zor {
namespace {

// Type 0 is the identity, 1 linear, 2 calibrated ((raw * m + (b << shift)) in
// 32 bits, shift modulo 32, over the factor), 3 is 100 minus linear, others 0.
// {type, factor, m, b, shift, raw, value}
TEST(ZORSensorValueConverterTest, ConvertsByFunctionType) {
  const std::tuple<std::int32_t, double, std::uint16_t, std::int16_t, std::int32_t, std::int32_t,
                   double>
      cases[] = {
          {0, 0.5, 3, 7, 2, 10, 10.0},
          {1, 1.0 / 65536, 1, 0, 0, 2981888, 45.5},
          {2, 16.0, 2, -3, 4, 10, -1.75},
          {2, 16.0, 2, -3, 36, 10, -1.75},       // shift counted modulo 32
          {2, 1.0, 65535, 0, 0, 0x10001, -1.0},  // the product wraps in 32 bits
          {2, 1.0, 1, 1, 31, 0x7FFFFFFF, -1.0},  // the sum wraps in 32 bits
          {3, 1.0, 1, 0, 0, 60, 40.0},
          {-1, 1.0, 1, 0, 0, 123, 0.0},
      };
  for (const auto& [type, factor, m, b, shift, raw, value] : cases) {
    ZORSensorValueConverter converter;
    converter.setConversionFunctionType(type);
    converter.setLinearFactor(factor);
    converter.setMScaling(m);
    converter.setBOffset(b);
    converter.setShiftValue(shift);
    EXPECT_EQ(converter.valueForRawSensorValue(raw), value) << type << " " << shift << " " << raw;
    EXPECT_EQ(converter.copy()->valueForRawSensorValue(raw), value) << type;
  }
}

// The archive and the text form carry all five settings, each in its own slot.
TEST(ZORSensorValueConverterTest, ArchiveAndDescriptionKeepEverySetting) {
  ZORSensorValueConverter converter;
  converter.setConversionFunctionType(2);
  converter.setLinearFactor(0.25);
  converter.setMScaling(40000);
  converter.setBOffset(-3);
  converter.setShiftValue(4);
  SequentialArchiver out;
  converter.encodeWithCoder(out);
  SequentialArchiver in(out.bytes());
  ZORSensorValueConverter decoded;
  ASSERT_TRUE(decoded.initWithCoder(in));
  EXPECT_TRUE(decoded == converter && !(decoded == ZORSensorValueConverter()));
  EXPECT_EQ(decoded.description(), "f: 2 l: 0.250000 m: 40000 b: -3 s: 4\n");
}

}  // namespace
}  // namespace zor
