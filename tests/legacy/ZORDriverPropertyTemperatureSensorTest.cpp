#include "legacy/ZORDriverPropertyTemperatureSensor.h"

#include <gtest/gtest.h>

#include "legacy/ZORMDDTemperatureSensor.h"
#include "legacy/ZORXserveTemperatureSensor.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

// The twins side by side: what each reads and how each describes itself.
struct Twin {
  const char* className;
  const char* driver;
  const char* property;
  const char* otherProperty;
  std::vector<std::shared_ptr<ZORSensor>> (*allSensors)();
  std::int64_t reading;
  double degrees;
  double negativeDegrees;  // of a reading of -256
  const char* uniqueIdentifier;
  const char* location;
  const char* name;
  double precision;
  double accuracy;
};

const Twin kTwins[] = {
    {"ZORMDDTemperatureSensor", "AppleCPUThermo", "temperature", "IntTemp",
     &ZORMDDTemperatureSensor::allSensors, 11520, 45.0, -1.0, "apple.mdd.0", "CPU BOARD",
     "Dallas DS 1775", 0.5, 2.0},
    {"ZORXserveTemperatureSensor", "AppleLM87", "IntTemp", "temperature",
     &ZORXserveTemperatureSensor::allSensors, 38, 38.0, -256.0, "apple.lm87temp.0",
     "Internal Ambient", "National Semiconductor LM87", 1.0, 3.0},
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
    EXPECT_EQ(sensor.precision(), twin.precision);
    EXPECT_EQ(sensor.accuracy(), twin.accuracy);
    EXPECT_DOUBLE_EQ(sensor.value(), twin.degrees) << twin.className;

    // Every reading asks the driver again; anything but a number is no reading.
    setProperty(twin.driver, twin.property, PlistValue::integer(-256));
    EXPECT_DOUBLE_EQ(sensor.value(), twin.negativeDegrees) << twin.className;
    setProperty(twin.driver, twin.property, "hot");
    EXPECT_EQ(sensor.rawValue(), -1) << twin.className;
    registry().findEntryNamed(twin.driver)->properties().erase(twin.property);
    EXPECT_EQ(sensor.rawValue(), -1) << twin.className;
  }
}

TEST_F(DriverPropertyTemperatureSensorTest, ServiceWithoutThePropertyYieldsNoSensor) {
  for (const Twin& twin : kTwins) {
    install({driverEntry(twin.driver, {}, {{twin.otherProperty, PlistValue::integer(1)}})});
    EXPECT_TRUE(twin.allSensors().empty()) << twin.className;
  }
}

}  // namespace
}  // namespace zor::testing
