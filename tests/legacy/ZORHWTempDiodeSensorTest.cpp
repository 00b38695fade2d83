#include "legacy/ZORHWTempDiodeSensor.h"

#include <gtest/gtest.h>

#include "platform/StringFormat.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

// An SMU whose diode calibration partition holds m and b (big-endian).
PlistValue smuWithCalibration(std::uint16_t m, std::int16_t b) {
  auto ub = static_cast<std::uint16_t>(b);
  return registryEntry(
      "IOService", "smu",
      {{"name", "smu"},
       {"sdb-partition-12", bytes(std::vector<std::uint8_t>(16, 0))},
       {"sdb-partition-21", bytes(std::vector<std::uint8_t>(24, 0))},
       {"sdb-partition-18",
        bytes({0x18, 8, 1, 0, static_cast<std::uint8_t>(m >> 8), static_cast<std::uint8_t>(m),
               static_cast<std::uint8_t>(ub >> 8), static_cast<std::uint8_t>(ub)})}},
      {driverEntry("AppleSMU", {})});
}

class HWTempDiodeSensorTest : public LegacyMachineTest {
 protected:
  std::vector<std::string> identifiers() {
    std::vector<std::string> result;
    for (const auto& sensor : ZORHWTempDiodeSensor::allSensors()) {
      result.push_back(sensor->uniqueIdentifier());
    }
    return result;
  }
};

TEST_F(HWTempDiodeSensorTest, DriverTableAndSMUCalibration) {
  struct Case {
    bool smu;
    const char* driver;
    std::int64_t reading;
    const char* name;
    double precision;
    double accuracy;
    std::int32_t raw;
  };
  const Case cases[] = {
      {false, "AppleSMUMonitor", 2981888, "Apple System Management Unit", 0.0, 0.0, 2981888},
      {false, "AppleLM8x", 2981888, "National Semiconductor LM8x", 1.0, 4.0, 2981888},
      {false, "IOI2CMaxim1631", 2981888, "Maxim/Dallas DS1631", 0.0625, 1.0, 2981888},
      {false, "AppleMaxim6690", 2981888, "Unknown Temperature Diode Sensor", 0.0, 0.0, 2981888},
      // Only the SMU monitor's diodes take the SMU calibration: 2 x ((100 x 4096) >> 3).
      {true, "AppleSMUMonitor", 100, "Apple System Management Unit", 0.0, 0.0, 102400},
      {true, "IOI2CSMUSat", 100, "Apple System Management Unit", 0.0, 0.0, 100},
      // A calibrated diode without a reading reports none, not a calibrated number.
      {true, "AppleSMUMonitor", -7, "Apple System Management Unit", 0.0, 0.0, -1},
  };
  for (const Case& c : cases) {
    std::vector<PlistValue> children = {
        driverEntry(c.driver, {hwSensor("temp", 12, "CPU A DIODE", c.reading)})};
    if (c.smu) children.push_back(smuWithCalibration(4096, 0));
    install(children);
    auto sensors = ZORHWTempDiodeSensor::allSensors();
    ASSERT_EQ(sensors.size(), 1u) << c.driver;
    auto& diode = static_cast<ZORHWTempDiodeSensor&>(*sensors[0]);
    EXPECT_EQ(diode.sensorName(), c.name) << c.driver;
    EXPECT_EQ(diode.precision(), c.precision) << c.driver;
    EXPECT_EQ(diode.accuracy(), c.accuracy) << c.driver;
    EXPECT_EQ(diode.uniqueIdentifier(), std::string("hwsensor.") + c.driver + ".12");
    EXPECT_EQ(diode.rawValue(), c.raw) << c.driver << " " << c.reading;
    if (c.raw != -1) {
      EXPECT_DOUBLE_EQ(diode.value(), c.raw / 65536.0) << c.driver;
    }
  }
}

TEST_F(HWTempDiodeSensorTest, CalibrationWrapsInThirtyTwoBits) {
  struct Case {
    std::int32_t reading;
    std::uint32_t m;
    std::int32_t b;
    std::int32_t expected;
  };
  const Case cases[] = {
      {605, 23000, -200, 3273950},
      {0, 65535, -2, -2048},
      // r x m = 2^32 + 32768 keeps only 32768: 2 x (32768 >> 3) = 8192.
      {131073, 32768, 0, 8192},
      // r x m = 0xFFFFFFFE; shifted as unsigned, so no sign comes in from the top.
      {0x7fffffff, 2, 0, 1073741822},
      {0, 1, 32767, 33553408},
      {0, 1, -32768, -33554432},
      {1, 8, -1, -1022},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZORHWTempDiodeSensor::calibratedValue(c.reading, c.m, c.b), c.expected)
        << c.reading << " m " << c.m << " b " << c.b;
  }
}

TEST_F(HWTempDiodeSensorTest, GraphicsDiodesSharingASubstituteNumberStayDistinctAcrossScans) {
  const std::string location = "NVDA DIODE COLLISION TEST";
  install({driverEntry(
      "NVDA", {hwSensor("temp", 3, location, 65536), hwSensor("temp", 4, location, 65536)})});
  ZORSensor probe;
  probe.setLocationIdentifier(location);
  const std::uint32_t s = probe.substituteIDForLocationIdentifier();
  const std::vector<std::string> expected = {formatString("hwsensor.NVDA.%u", s),
                                             formatString("hwsensor.NVDA.%u", s + 1)};
  EXPECT_EQ(identifiers(), expected);
  EXPECT_EQ(identifiers(), expected) << "a second scan hands out the same identifiers";

  // Discovered in the other order, each diode still gets back its own identifier.
  install({driverEntry(
      "NVDA", {hwSensor("temp", 4, location, 65536), hwSensor("temp", 3, location, 65536)})});
  EXPECT_EQ(identifiers(), (std::vector<std::string>{expected[1], expected[0]}));
}

TEST_F(HWTempDiodeSensorTest, GraphicsDiodeNumbersWrapAtTheTop) {
  // The identifier at 0xFFFFFFFF belongs to another sensor-id, so the next
  // diode there must wrap to 0.
  install({driverEntry("NVDA", {hwSensor("temp", 9, "", 65536)})});
  auto& claimed = ZORHWTempDiodeSensor::disambiguatedSensorIdentifiers();
  claimed["hwsensor.NVDA.4294967295"] = 8;
  claimed.erase("hwsensor.NVDA.0");
  EXPECT_EQ(identifiers(), std::vector<std::string>{"hwsensor.NVDA.0"});
  claimed.erase("hwsensor.NVDA.4294967295");
  claimed.erase("hwsensor.NVDA.0");
}

}  // namespace
}  // namespace zor::testing
