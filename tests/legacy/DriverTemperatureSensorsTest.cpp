// The temperature families that take their name and tolerances from the
// driver above the sensor (IOHWSensor temperatures and diodes, the MDD and
// Xserve driver-property sensors), the SMU calibration of diodes, and the
// graphics diodes' identifiers.

#include <gtest/gtest.h>

#include <tuple>

#include "legacy/ZORHWTempDiodeSensor.h"
#include "legacy/ZORHWTemperatureSensor.h"
#include "legacy/ZORMDDTemperatureSensor.h"
#include "legacy/ZORXserveTemperatureSensor.h"
#include "platform/StringFormat.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

using Family = std::vector<std::shared_ptr<ZORSensor>> (*)();

// An SMU whose diode calibration partition holds m = 4096, b = 0 (big-endian).
PlistValue calibratingSMU() {
  return registryEntry("IOService", "smu",
                       {{"name", "smu"},
                        {"sdb-partition-12", bytes(std::vector<std::uint8_t>(16))},
                        {"sdb-partition-21", bytes(std::vector<std::uint8_t>(24))},
                        {"sdb-partition-18", bytes({0x18, 8, 1, 0, 0x10, 0x00, 0, 0})}},
                       {driverEntry("AppleSMU", {})});
}

class DriverTemperatureSensorsTest : public LegacyMachineTest {};

TEST_F(DriverTemperatureSensorsTest, DriverTablesByTheParentDriverClass) {
  const Family hw = &ZORHWTemperatureSensor::allSensors;
  const Family diode = &ZORHWTempDiodeSensor::allSensors;
  const Family mdd = &ZORMDDTemperatureSensor::allSensors;
  const Family xserve = &ZORXserveTemperatureSensor::allSensors;
  const char* smuName = "Apple System Management Unit";
  const std::int64_t r = 2981888;  // 45.5 degrees in 16.16 fixed point
  // {family, driver, reading, name, precision, accuracy, raw value, with an SMU}
  const std::tuple<Family, const char*, std::int64_t, const char*, double, double, std::int32_t,
                   bool>
      cases[] = {
          {hw, "AppleADM103x", r, "Analog Devices ADM1030/1", 0.25, 3.0, r, false},
          {hw, "AppleADT746x", r, "Analog Devices ADT7460", 0.25, 3.0, r, false},
          {hw, "AppleAD741x", r, "Analog Devices AD7417", 0.25, 3.0, r, false},
          {hw, "IOI2CADT746x", r, "Analog Devices AD746x", 0.25, 2.0, r, false},
          {hw, "IOI2CLM7x", r, "National Semiconductor LM7x", 0.25, 2.0, r, false},
          {hw, "AppleLM7x", -4, "National Semiconductor LM7x", 0.25, 2.0, -1, false},
          {hw, "AppleMaxim6690", r, "Maxim MAX6690", 0.125, 3.5, r, false},
          {hw, "IOI2CMaxim6690", r, "Maxim MAX6690", 0.125, 3.5, r, false},
          {hw, "ApplePMU", r, "Apple Power Management Unit", 0.0, 0.0, r, false},
          {hw, "IONDRVFramebuffer", r, "Legacy support for graphics card", 0.0, 0.0, r, false},
          {hw, "appleMaxim6690", r, "Unknown Temperature Sensor", 0.0, 0.0, r, false},
          {diode, "AppleSMUMonitor", r, smuName, 0.0, 0.0, r, false},
          {diode, "AppleLM8x", r, "National Semiconductor LM8x", 1.0, 4.0, r, false},
          {diode, "IOI2CMaxim1631", r, "Maxim/Dallas DS1631", 0.0625, 1.0, r, false},
          {diode, "AppleMaxim6690", r, "Unknown Temperature Diode Sensor", 0.0, 0.0, r, false},
          // Only the SMU monitor's diodes take the SMU calibration: 2 x ((100 x 4096) >> 3);
          // a calibrated diode without a reading reports none, not a calibrated number.
          {diode, "AppleSMUMonitor", 100, smuName, 0.0, 0.0, 102400, true},
          {diode, "IOI2CSMUSat", 100, smuName, 0.0, 0.0, 100, true},
          {diode, "AppleSMUMonitor", -7, smuName, 0.0, 0.0, -1, true},
          // The driver-property twins read their driver's own property.
          {mdd, "AppleCPUThermo", -256, "Dallas DS 1775", 0.5, 2.0, -256, false},
          {xserve, "AppleLM87", 38, "National Semiconductor LM87", 1.0, 3.0, 38, false}};
  for (const auto& [family, driver, reading, name, precision, accuracy, raw, smu] : cases) {
    PlistValue value = PlistValue::integer(reading);
    std::vector<PlistValue> children = {
        family == mdd || family == xserve
            ? driverEntry(driver, {}, {{family == mdd ? "temperature" : "IntTemp", value}})
            : driverEntry(driver,
                          {hwSensor(family == hw ? "temperature" : "temp", 7, "CPU", reading)})};
    if (smu) children.push_back(calibratingSMU());
    install(children);
    auto sensors = family();
    ASSERT_EQ(sensors.size(), 1u) << driver;
    EXPECT_EQ(std::tuple(sensors[0]->sensorName(), sensors[0]->precision(), sensors[0]->accuracy(),
                         sensors[0]->rawValue()),
              std::tuple(std::string(name), precision, accuracy, raw))
        << driver << " " << reading;
  }
}

// Each twin reads only its own driver property, again at every reading:
// the other twin's property makes no sensor, and a text is no reading.
TEST_F(DriverTemperatureSensorsTest, DriverPropertyTwinsNeedANumberInTheirOwnProperty) {
  const std::tuple<Family, const char*, const char*, const char*> twins[] = {
      {&ZORMDDTemperatureSensor::allSensors, "AppleCPUThermo", "temperature", "IntTemp"},
      {&ZORXserveTemperatureSensor::allSensors, "AppleLM87", "IntTemp", "temperature"}};
  for (const auto& [family, driver, property, other] : twins) {
    install({driverEntry(driver, {}, {{other, PlistValue::integer(11520)}})});
    EXPECT_TRUE(family().empty()) << driver;
    install({driverEntry(driver, {}, {{property, PlistValue::integer(11520)}})});
    auto sensors = family();
    ASSERT_EQ(sensors.size(), 1u) << driver;
    setProperty(driver, property, "hot");
    EXPECT_EQ(sensors[0]->rawValue(), -1) << driver;
  }
}

TEST_F(DriverTemperatureSensorsTest, IOHWSensorDiscoveryTakesItsTypeInRegistryOrder) {
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

TEST_F(DriverTemperatureSensorsTest, CalibrationWrapsInThirtyTwoBits) {
  // {reading, m, b, b x 1024 + 2 x ((reading x m) >> 3) in 32 bits}
  const std::tuple<std::int32_t, std::uint32_t, std::int32_t, std::int32_t> cases[] = {
      {605, 23000, -200, 3273950},
      // r x m = 2^32 + 32768 keeps only 32768: 2 x (32768 >> 3) = 8192.
      {131073, 32768, 0, 8192},
      // r x m = 0xFFFFFFFE; shifted as unsigned, so no sign comes in from the top.
      {0x7fffffff, 2, 0, 1073741822},
      {0, 1, -32768, -33554432},
  };
  for (const auto& [reading, m, b, expected] : cases) {
    EXPECT_EQ(ZORHWTempDiodeSensor::calibratedValue(reading, m, b), expected) << reading;
  }
}

// Graphics diodes sharing a location share a substitute number; each keeps
// its own identifier across scans, whatever order they are found in.
TEST_F(DriverTemperatureSensorsTest, GraphicsDiodesStayDistinctAcrossScans) {
  const std::string location = "NVDA DIODE COLLISION TEST";
  ZORSensor probe;
  probe.setLocationIdentifier(location);
  const std::uint32_t s = probe.substituteIDForLocationIdentifier();
  for (std::int64_t first : {3, 4, 3}) {
    install({driverEntry("NVDA", {hwSensor("temp", first, location, 65536),
                                  hwSensor("temp", 7 - first, location, 65536)})});
    std::string identifiers;
    for (const auto& sensor : ZORHWTempDiodeSensor::allSensors()) {
      identifiers += sensor->uniqueIdentifier() + " ";
    }
    EXPECT_EQ(identifiers, formatString("hwsensor.NVDA.%u hwsensor.NVDA.%u ", s + (first == 4),
                                        s + (first == 3)));
  }
}

}  // namespace
}  // namespace zor::testing
