#include "legacy/ZORDriverPropertyTemperatureSensor.h"

#include <gtest/gtest.h>

#include "legacy/ZORMDDTemperatureSensor.h"
#include "legacy/ZORXserveTemperatureSensor.h"
#include "sensors/ZORSensorValueConverter.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

// The twins side by side: what each reads and how each describes itself.
struct Twin {
  const char* className;
  const char* driver;
  const char* property;
  std::vector<std::shared_ptr<ZORSensor>> (*allSensors)();
  std::int64_t reading;
  double degrees;
  const char* uniqueIdentifier;
  const char* location;
  const char* name;
  double precision;
  double accuracy;
};

const Twin kTwins[] = {
    {"ZORMDDTemperatureSensor", "AppleCPUThermo", "temperature",
     &ZORMDDTemperatureSensor::allSensors, 11520, 45.0, "apple.mdd.0", "CPU BOARD",
     "Dallas DS 1775", 0.5, 2.0},
    {"ZORXserveTemperatureSensor", "AppleLM87", "IntTemp", &ZORXserveTemperatureSensor::allSensors,
     38, 38.0, "apple.lm87temp.0", "Internal Ambient", "National Semiconductor LM87", 1.0, 3.0},
};

class DriverPropertyTemperatureSensorTest : public LegacyMachineTest {};

TEST_F(DriverPropertyTemperatureSensorTest, EachTwinReadsItsDriversProperty) {
  for (const Twin& twin : kTwins) {
    install({driverEntry(twin.driver, {}, {{twin.property, PlistValue::integer(twin.reading)}})});
    auto sensors = twin.allSensors();
    ASSERT_EQ(sensors.size(), 1u) << twin.className;
    ZORSensor& sensor = *sensors[0];
    EXPECT_EQ(sensor.sensorClass().name, twin.className);
    EXPECT_EQ(sensor.uniqueIdentifier(), twin.uniqueIdentifier);
    EXPECT_EQ(sensor.locationIdentifier(), twin.location);
    EXPECT_EQ(sensor.sensorName(), twin.name);
    EXPECT_EQ(sensor.sensorType(), 1);
    EXPECT_EQ(sensor.quantityType(), 1);
    EXPECT_EQ(sensor.precision(), twin.precision);
    EXPECT_EQ(sensor.accuracy(), twin.accuracy);
    EXPECT_EQ(sensor.unit(), "C");
    EXPECT_EQ(sensor.rawValue(), twin.reading);
    EXPECT_DOUBLE_EQ(sensor.value(), twin.degrees) << twin.className;
  }
}

TEST_F(DriverPropertyTemperatureSensorTest, ReadingFollowsTheDriverAndMissesAsMinusOne) {
  for (const Twin& twin : kTwins) {
    install({driverEntry(twin.driver, {}, {{twin.property, PlistValue::integer(twin.reading)}})});
    auto sensors = twin.allSensors();
    ASSERT_EQ(sensors.size(), 1u);
    setProperty(twin.driver, twin.property, PlistValue::integer(512));
    EXPECT_EQ(sensors[0]->rawValue(), 512) << twin.className;
    setProperty(twin.driver, twin.property, "hot");
    EXPECT_EQ(sensors[0]->rawValue(), -1) << twin.className;
    registry().findEntryNamed(twin.driver)->properties().erase(twin.property);
    EXPECT_EQ(sensors[0]->rawValue(), -1) << twin.className;
  }
}

TEST_F(DriverPropertyTemperatureSensorTest, ServiceWithoutThePropertyYieldsNoSensor) {
  for (const Twin& twin : kTwins) {
    // Each driver publishes the other's property name, never its own.
    const char* other = std::string(twin.property) == "IntTemp" ? "temperature" : "IntTemp";
    install({driverEntry(twin.driver, {}, {{other, PlistValue::integer(1)}})});
    EXPECT_TRUE(twin.allSensors().empty()) << twin.className;
  }
  install({});
  EXPECT_EQ(ZORMDDTemperatureSensor::sensorWithIORegistryEntry(nullptr), nullptr);
  EXPECT_EQ(ZORXserveTemperatureSensor::sensorWithIORegistryEntry(nullptr), nullptr);
}

TEST_F(DriverPropertyTemperatureSensorTest, TwoServicesGiveTwoEqualSensors) {
  for (const Twin& twin : kTwins) {
    install({driverEntry(twin.driver, {}, {{twin.property, PlistValue::integer(10)}}),
             registryEntry(
                 "IOService", "second", {},
                 {driverEntry(twin.driver, {}, {{twin.property, PlistValue::integer(20)}})})});
    auto sensors = twin.allSensors();
    ASSERT_EQ(sensors.size(), 2u) << twin.className;
    EXPECT_TRUE(sensors[0]->isEqual(*sensors[1]));
    EXPECT_EQ(sensors[0]->hash(), sensors[1]->hash());
    EXPECT_EQ(sensors[0]->rawValue(), 10);
    EXPECT_EQ(sensors[1]->rawValue(), 20);
  }
}

TEST_F(DriverPropertyTemperatureSensorTest, ConvertersAreFreshAndScaleAsTheirDriverCounts) {
  install({driverEntry("AppleCPUThermo", {}, {{"temperature", PlistValue::integer(-256)}}),
           driverEntry("AppleLM87", {}, {{"IntTemp", PlistValue::integer(-5)}})});
  auto mdd = ZORMDDTemperatureSensor::allSensors();
  auto xserve = ZORXserveTemperatureSensor::allSensors();
  ASSERT_EQ(mdd.size(), 1u);
  ASSERT_EQ(xserve.size(), 1u);
  EXPECT_NE(mdd[0]->valueConverter(), mdd[0]->valueConverter());
  EXPECT_DOUBLE_EQ(mdd[0]->value(), -1.0);     // 1/256 degree
  EXPECT_DOUBLE_EQ(xserve[0]->value(), -5.0);  // whole degrees
}

}  // namespace
}  // namespace zor::testing
