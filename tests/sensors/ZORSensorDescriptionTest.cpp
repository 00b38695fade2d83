#include <gtest/gtest.h>

#include <bit>

#include "platform/SequentialArchiver.h"
#include "sensors/TestSensorFamily.h"
#include "sensors/ZORSensorDescription.h"

namespace zor {
namespace {

using testing::TestSensor;

// The text carries every field, so a field taken from the wrong place shows in it.
TEST(ZORSensorDescriptionTest, TakesEveryFieldFromTheSensorWithoutReadingIt) {
  auto sensor = TestSensor::make("smart.disk.1", "abc", 1, 40, "C", 0.1);
  auto description = sensor->configurationDescription();
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->substituteIdentification(), 0xCADBBE3Du);
  EXPECT_EQ(sensor->reads, 0) << "a description reads no hardware";
  EXPECT_EQ(description->description(),
            "local identifier: 'smart.disk.1' location identifier: 'abc' sensor name: 'test "
            "smart.disk.1' unit: 'C' type: 1 quantity: 1 precision: 0.1 accuracy: 0.5 "
            "substitute ID: 3403398717");
  EXPECT_EQ(description->copy()->description(), description->description());
  EXPECT_EQ(ZORSensorDescription::descriptionForSensor(nullptr), nullptr);
}

// Descriptions keep their doubles exactly, and absent strings stay absent.
TEST(ZORSensorDescriptionTest, ArchiveKeepsEveryFieldExactly) {
  auto sensor = TestSensor::make("id", "loc", 2, 0, "V", 0.1);
  sensor->setPrecision(0.1, 1.0 / 3.0);
  for (const auto& original :
       {sensor->configurationDescription(), std::make_shared<ZORSensorDescription>()}) {
    SequentialArchiver out;
    out.encodeObject(original.get());
    SequentialArchiver in(out.bytes());
    ZORSensorDescription back;
    ASSERT_TRUE(in.decodeObject(back));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back.precision()),
              std::bit_cast<std::uint64_t>(original->precision()));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back.accuracy()),
              std::bit_cast<std::uint64_t>(original->accuracy()));
    EXPECT_EQ(back.localIdentifier(), original->localIdentifier());
    EXPECT_EQ(back.description(), original->description());
  }
}

}  // namespace
}  // namespace zor
