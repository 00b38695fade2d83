#include "legacy/ZORHWTemperatureSensor.h"

#include <gtest/gtest.h>

#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

class HWTemperatureSensorTest : public LegacyMachineTest {
 protected:
  std::vector<std::shared_ptr<ZORSensor>> sensorsUnder(const std::string& driverClass) {
    install({driverEntry(driverClass, {hwSensor("temperature", 7, "BACKSIDE", 2981888)})});
    return ZORHWTemperatureSensor::allSensors();
  }
};

TEST_F(HWTemperatureSensorTest, DriverClassOfTheParentDecidesNameAndTolerances) {
  struct Case {
    const char* driver;
    const char* name;
    double precision;
    double accuracy;
  };
  const Case cases[] = {
      {"AppleADM103x", "Analog Devices ADM1030/1", 0.25, 3.0},
      {"AppleADT746x", "Analog Devices ADT7460", 0.25, 3.0},
      {"AppleAD741x", "Analog Devices AD7417", 0.25, 3.0},
      {"IOI2CADT746x", "Analog Devices AD746x", 0.25, 2.0},
      {"IOI2CLM7x", "National Semiconductor LM7x", 0.25, 2.0},
      {"AppleLM7x", "National Semiconductor LM7x", 0.25, 2.0},
      {"AppleMaxim6690", "Maxim MAX6690", 0.125, 3.5},
      {"IOI2CMaxim6690", "Maxim MAX6690", 0.125, 3.5},
      {"ApplePMU", "Apple Power Management Unit", 0.0, 0.0},
      {"IONDRVFramebuffer", "Legacy support for graphics card", 0.0, 0.0},
      {"AppleLM8x", "Unknown Temperature Sensor", 0.0, 0.0},
      {"appleMaxim6690", "Unknown Temperature Sensor", 0.0, 0.0},
  };
  for (const Case& c : cases) {
    auto sensors = sensorsUnder(c.driver);
    ASSERT_EQ(sensors.size(), 1u) << c.driver;
    ZORSensor& sensor = *sensors[0];
    EXPECT_EQ(sensor.sensorName(), c.name) << c.driver;
    EXPECT_EQ(sensor.precision(), c.precision) << c.driver;
    EXPECT_EQ(sensor.accuracy(), c.accuracy) << c.driver;
    EXPECT_EQ(sensor.uniqueIdentifier(), std::string("hwsensor.") + c.driver + ".7");
    EXPECT_DOUBLE_EQ(sensor.value(), 45.5) << c.driver;  // 16.16 fixed point
  }
}

TEST_F(HWTemperatureSensorTest, EveryReadingAsksTheRegistryAgain) {
  auto sensors = sensorsUnder("AppleLM7x");
  ASSERT_EQ(sensors.size(), 1u);
  setProperty("BACKSIDE", "current-value", PlistValue::integer(3 * 65536));
  EXPECT_DOUBLE_EQ(sensors[0]->value(), 3.0);
  setProperty("BACKSIDE", "current-value", PlistValue::integer(-4));
  EXPECT_EQ(sensors[0]->rawValue(), -1);
}

TEST_F(HWTemperatureSensorTest, DiscoveryTakesOnlyTemperatureServicesInRegistryOrder) {
  install(
      {driverEntry("AppleMaxim6690",
                   {hwSensor("temperature", 2, "U3 HEATSINK", 1), hwSensor("temp", 3, "DIODE", 1),
                    hwSensor("adc", 4, "AD7417 AD3", 1), hwSensor("Temperature", 5, "CASE", 1),
                    hwSensor("temperature", 1, "BACKSIDE", 1)}),
       hwSensor("temperature", 3, "ORPHAN", 65536)});
  std::vector<std::string> found;
  for (const auto& sensor : ZORHWTemperatureSensor::allSensors()) {
    found.push_back(sensor->locationIdentifier() + " " + sensor->uniqueIdentifier());
  }
  // A service without a driver above it is still listed, with no driver name.
  EXPECT_EQ(found, (std::vector<std::string>{"U3 HEATSINK hwsensor.AppleMaxim6690.2",
                                             "BACKSIDE hwsensor.AppleMaxim6690.1",
                                             "ORPHAN hwsensor.(null).3"}));
}

}  // namespace
}  // namespace zor::testing
