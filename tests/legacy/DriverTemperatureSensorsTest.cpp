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

using DriverTemperatureSensorsTest = LegacyMachineTest;

TEST_F(DriverTemperatureSensorsTest, DriverTablesByTheParentDriverClass) {
  const Family hw = &ZORHWTemperatureSensor::allSensors;
  const Family diode = &ZORHWTempDiodeSensor::allSensors;
  const Family mdd = &ZORMDDTemperatureSensor::allSensors;
  const Family xserve = &ZORXserveTemperatureSensor::allSensors;
  const char* smuName = "Apple System Management Unit";
  const std::int64_t r = 2981888;  // 45.5 degrees in 16.16 fixed point
  // {family, driver, reading, name, precision, accuracy, raw value, with an SMU}; one row per
  // kind of driver (the table's other rows take the same lookup).
  const std::tuple<Family, const char*, std::int64_t, const char*, double, double, std::int32_t,
                   bool>
      cases[] = {
          {hw, "AppleAD741x", r, "Analog Devices AD7417", 0.25, 3.0, r, false},
          {hw, "AppleLM7x", -4, "National Semiconductor LM7x", 0.25, 2.0, -1, false},
          {hw, "AppleMaxim6690", r, "Maxim MAX6690", 0.125, 3.5, r, false},
          {hw, "ApplePMU", r, "Apple Power Management Unit", 0.0, 0.0, r, false},
          {hw, "appleMaxim6690", r, "Unknown Temperature Sensor", 0.0, 0.0, r, false},
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
    const char* property = family == mdd ? "temperature" : "IntTemp";
    std::vector<PlistValue> children = {
        family == mdd || family == xserve
            ? driverEntry(driver, {}, {{property, PlistValue::integer(reading)}})
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
    // The twins read their driver's property again at every reading; a text is no reading.
    if (family != mdd && family != xserve) continue;
    machine_->registry().findEntryNamed(driver)->properties()[property] = "hot";
    EXPECT_EQ(sensors[0]->rawValue(), -1) << driver;
  }
}

TEST_F(DriverTemperatureSensorsTest, CalibrationWrapsInThirtyTwoBits) {
  // {reading, m, b, b x 1024 + 2 x ((reading x m) >> 3) in 32 bits}: r x m =
  // 2^32 + 32768 keeps only 32768, so 2 x (32768 >> 3) = 8192; r x m =
  // 0xFFFFFFFE is shifted as unsigned, so no sign comes in from the top.
  const std::tuple<std::int32_t, std::uint32_t, std::int32_t, std::int32_t> cases[] = {
      {605, 23000, -200, 3273950},
      {131073, 32768, 0, 8192},
      {0x7fffffff, 2, 0, 1073741822},
      {0, 1, -32768, -33554432}};
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
