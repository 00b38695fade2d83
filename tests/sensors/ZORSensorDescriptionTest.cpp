#include <gtest/gtest.h>

#include <bit>

#include "platform/DistantObject.h"
#include "platform/PortCoder.h"
#include "platform/PortConnection.h"
#include "platform/SequentialArchiver.h"
#include "sensors/TestSensorFamily.h"
#include "sensors/ZORSensorDescription.h"

namespace zor {
namespace {

using testing::TestSensor;

TEST(ZORSensorDescriptionTest, TakesEveryFieldFromTheSensor) {
  auto sensor = TestSensor::make("smart.disk.1", "abc", 1, 40, "C", 0.1);
  auto description = sensor->configurationDescription();
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->localIdentifier(), "smart.disk.1");
  EXPECT_EQ(description->locationIdentifier(), "abc");
  EXPECT_EQ(description->sensorName(), "test smart.disk.1");
  EXPECT_EQ(description->unit(), "C");
  EXPECT_EQ(description->sensorType(), 1);
  EXPECT_EQ(description->quantityType(), 1);
  EXPECT_EQ(description->precision(), 0.1);
  EXPECT_EQ(description->accuracy(), 0.5);
  EXPECT_EQ(description->substituteIdentification(), 0xCADBBE3Du);
  EXPECT_EQ(sensor->reads, 0) << "a description reads no hardware";
  EXPECT_EQ(description->description(),
            "local identifier: 'smart.disk.1' location identifier: 'abc' sensor name: 'test "
            "smart.disk.1' "
            "unit: 'C' type: 1 quantity: 1 precision: 0.1 accuracy: 0.5 substitute ID: 3403398717");
}

TEST(ZORSensorDescriptionTest, NoSensorGivesNoDescription) {
  EXPECT_EQ(ZORSensorDescription::descriptionForSensor(nullptr), nullptr);
}

TEST(ZORSensorDescriptionTest, EmptyDescriptionPrintsAbsentStrings) {
  EXPECT_EQ(ZORSensorDescription().description(),
            "local identifier: '(null)' location identifier: '(null)' sensor name: '(null)' unit: "
            "'(null)' "
            "type: 0 quantity: 0 precision: 0 accuracy: 0 substitute ID: 0");
}

TEST(ZORSensorDescriptionTest, ArchiveKeepsPrecisionBitForBit) {
  auto sensor = TestSensor::make("id", "loc", 2, 0, "V", 0.1);
  sensor->setPrecision(0.1, 1.0 / 3.0);
  auto description = sensor->configurationDescription();
  SequentialArchiver out;
  out.encodeObject(description.get());
  SequentialArchiver in(out.bytes());
  ZORSensorDescription back;
  ASSERT_TRUE(in.decodeObject(back));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(back.precision()), std::bit_cast<std::uint64_t>(0.1));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(back.accuracy()), std::bit_cast<std::uint64_t>(1.0 / 3.0));
  EXPECT_EQ(back.description(), description->description());
}

TEST(ZORSensorDescriptionTest, AbsentStringsSurviveTheArchive) {
  ZORSensorDescription empty;
  SequentialArchiver out;
  empty.encodeWithCoder(out);
  SequentialArchiver in(out.bytes());
  ZORSensorDescription back;
  ASSERT_TRUE(back.initWithCoder(in));
  EXPECT_FALSE(back.localIdentifier().has_value());
  EXPECT_FALSE(back.unit().has_value());
}

TEST(ZORSensorDescriptionTest, CopyIsEqualAndIndependent) {
  auto sensor = TestSensor::make("id", "loc", 1);
  auto description = sensor->configurationDescription();
  auto copied = description->copy();
  EXPECT_EQ(copied->description(), description->description());
  // The description does not follow later changes of the sensor.
  sensor->setLocationIdentifier("moved");
  EXPECT_EQ(description->locationIdentifier(), "loc");
}

TEST(ZORSensorDescriptionTest, TravelsByCopyUnlessAskedByReference) {
  auto description = TestSensor::make("id", "loc", 1)->configurationDescription();
  auto connection = std::make_shared<PortConnection>();
  PortCoder byCopy(connection, false);
  EXPECT_EQ(description->replacementObjectForPortCoder(byCopy), description);
  PortCoder byReference(connection, true);
  auto proxy = std::dynamic_pointer_cast<DistantObject>(
      description->replacementObjectForPortCoder(byReference));
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(proxy->local(), description);
}

}  // namespace
}  // namespace zor
