#include "legacy/ZORHWTempDiodeSensor.h"

#include <gtest/gtest.h>

#include "legacy/ZORSMUInfo.h"
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
  std::shared_ptr<ZORHWTempDiodeSensor> onlyDiode() {
    auto sensors = ZORHWTempDiodeSensor::allSensors();
    EXPECT_EQ(sensors.size(), 1u);
    if (sensors.size() != 1) return nullptr;
    return std::static_pointer_cast<ZORHWTempDiodeSensor>(sensors[0]);
  }
  // The unique identifiers of all diodes, in discovery order.
  std::vector<std::string> identifiers() {
    std::vector<std::string> result;
    for (const auto& sensor : ZORHWTempDiodeSensor::allSensors()) {
      result.push_back(sensor->uniqueIdentifier());
    }
    return result;
  }
};

TEST_F(HWTempDiodeSensorTest, DriverClassOfTheParentDecidesNameAndTolerances) {
  struct Case {
    const char* driver;
    const char* name;
    double precision;
    double accuracy;
  };
  const Case cases[] = {
      {"AppleSMUMonitor", "Apple System Management Unit", 0.0, 0.0},
      {"AppleLM8x", "National Semiconductor LM8x", 1.0, 4.0},
      {"IOI2CMaxim1631", "Maxim/Dallas DS1631", 0.0625, 1.0},
      {"IOI2CSMUSat", "Apple System Management Unit", 0.0, 0.0},
      {"AppleMaxim6690", "Unknown Temperature Diode Sensor", 0.0, 0.0},
  };
  for (const Case& c : cases) {
    install({driverEntry(c.driver, {hwSensor("temp", 12, "CPU A DIODE", 2981888)})});
    auto diode = onlyDiode();
    ASSERT_NE(diode, nullptr) << c.driver;
    EXPECT_EQ(diode->sensorName(), c.name) << c.driver;
    EXPECT_EQ(diode->precision(), c.precision) << c.driver;
    EXPECT_EQ(diode->accuracy(), c.accuracy) << c.driver;
    EXPECT_EQ(diode->uniqueIdentifier(), std::string("hwsensor.") + c.driver + ".12");
    EXPECT_EQ(diode->quantityType(), 1);
    EXPECT_EQ(diode->unit(), "C");
    // No SMU on this machine: every diode reads uncalibrated.
    EXPECT_FALSE(diode->useSMU()) << c.driver;
    EXPECT_DOUBLE_EQ(diode->value(), 45.5) << c.driver;
  }
}

TEST_F(HWTempDiodeSensorTest, SMUMonitorDiodeIsCalibratedWithTheSMUValues) {
  install({smuWithCalibration(4096, 0),
           driverEntry("AppleSMUMonitor", {hwSensor("temp", 1, "CPU A DIODE", 100)})});
  auto diode = onlyDiode();
  ASSERT_NE(diode, nullptr);
  EXPECT_TRUE(diode->useSMU());
  EXPECT_EQ(diode->mScaling(), 4096u);
  EXPECT_EQ(diode->bOffset(), 0);
  EXPECT_EQ(diode->rawValue(), 102400);  // 2 x ((100 x 4096) >> 3)
  EXPECT_DOUBLE_EQ(diode->value(), 1.5625);
}

TEST_F(HWTempDiodeSensorTest, CalibrationWrapsInThirtyTwoBits) {
  struct Case {
    std::int32_t reading;
    std::uint32_t m;
    std::int32_t b;
    std::int32_t expected;
  };
  const Case cases[] = {
      {100, 4096, 0, 102400},
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

TEST_F(HWTempDiodeSensorTest, CalibratedDiodeWithoutReadingReportsNoReading) {
  install({smuWithCalibration(4096, 16),
           driverEntry("AppleSMUMonitor", {hwSensor("temp", 1, "CPU A DIODE", -7)})});
  auto diode = onlyDiode();
  ASSERT_NE(diode, nullptr);
  ASSERT_TRUE(diode->useSMU());
  EXPECT_EQ(diode->rawValue(), -1);
  setProperty("CPU A DIODE", "current-value", PlistValue::integer(0));
  EXPECT_EQ(diode->rawValue(), 16 * 1024);
}

TEST_F(HWTempDiodeSensorTest, OnlyTheSMUMonitorRowCalibrates) {
  install({smuWithCalibration(4096, 0),
           driverEntry("IOI2CSMUSat", {hwSensor("temp", 1, "CPU B DIODE", 100)})});
  auto diode = onlyDiode();
  ASSERT_NE(diode, nullptr);
  EXPECT_FALSE(diode->useSMU());
  EXPECT_EQ(diode->rawValue(), 100);
}

TEST_F(HWTempDiodeSensorTest, GraphicsDiodesSharingASubstituteNumberStayDistinctAcrossScans) {
  // Two diodes at one location share the substitute number s.
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
  auto& claimed = ZORHWTempDiodeSensor::disambiguatedSensorIdentifiers();
  EXPECT_EQ(claimed.at(expected[0]), 3);
  EXPECT_EQ(claimed.at(expected[1]), 4);

  // Discovered in the other order, each diode still gets back its own identifier.
  install({driverEntry(
      "NVDA", {hwSensor("temp", 4, location, 65536), hwSensor("temp", 3, location, 65536)})});
  EXPECT_EQ(identifiers(), (std::vector<std::string>{expected[1], expected[0]}));
}

TEST_F(HWTempDiodeSensorTest, GraphicsDiodeNumbersWrapAtTheTop) {
  // Claim the identifier at 0xFFFFFFFF for another sensor-id, so the next
  // diode there must wrap to 0.
  install({driverEntry("NVDA", {hwSensor("temp", 9, "", 65536)})});
  auto& claimed = ZORHWTempDiodeSensor::disambiguatedSensorIdentifiers();
  claimed["hwsensor.NVDA.4294967295"] = 8;
  claimed.erase("hwsensor.NVDA.0");
  EXPECT_EQ(identifiers(), std::vector<std::string>{"hwsensor.NVDA.0"});
  claimed.erase("hwsensor.NVDA.4294967295");
  claimed.erase("hwsensor.NVDA.0");
}

TEST_F(HWTempDiodeSensorTest, NullEntryMakesNoSensor) {
  install({});
  EXPECT_EQ(ZORHWTempDiodeSensor::sensorWithIORegistrySensorEntry(nullptr), nullptr);
}

}  // namespace
}  // namespace zor::testing
