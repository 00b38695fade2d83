#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/UserDefaults.h"
#include "registry/ZORIORegistryEntry.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/ZORSensorValueConverter.h"
#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

PlistValue idleNanoseconds(double seconds) {
  return PlistValue::unsignedInteger(static_cast<std::uint64_t>(seconds * 1.0e9));
}

PlistValue idleBytes(std::uint64_t nanoseconds, std::size_t size = 8) {
  PlistData bytes(size, 0);
  std::memcpy(bytes.data(), &nanoseconds, std::min(size, sizeof nanoseconds));
  return PlistValue(bytes);
}

class TemperatureSensorTest : public SMARTTest {
 protected:
  // One new-era SATA disk reading `degrees` and the given HID systems (by
  // default one whose user is active).
  void installDisk(std::uint16_t degrees, PlistArray hid = activeUser(),
                   PlistDictionary userDefaults = {}) {
    DiskSpec spec;
    spec.attributes = {{1, 0x0b, 100, 100, 0, 62}, temperatureRow(degrees)};
    hid.insert(hid.begin(), diskEntry(spec));
    PlistDictionary profile = profileWithEntries(hid);
    if (!userDefaults.empty()) profile["UserDefaults"] = PlistValue(userDefaults);
    install(profile);
  }
  static PlistArray activeUser() { return {hidSystemEntry(idleNanoseconds(0))}; }
  void setDiskTemperature(std::uint16_t degrees) {
    disk("disk").setDataPage(
        toPage(dataPage({{1, 0x0b, 100, 100, 0, 62}, temperatureRow(degrees)})));
  }
  static iokit::ATASMARTData toPage(const PlistData& bytes) {
    iokit::ATASMARTData page{};
    std::copy(bytes.begin(), bytes.end(), page.begin());
    return page;
  }
  void setIdleTime(const PlistValue& value) {
    machine_->registry().findEntryNamed("IOHIDSystem")->properties()["HIDIdleTime"] = value;
  }
  std::shared_ptr<ZORSMARTTemperatureSensor> onlySensor() {
    auto sensors = ZORSMARTTemperatureSensor::allSensors();
    EXPECT_EQ(sensors.size(), 1u);
    if (sensors.size() != 1) return nullptr;
    return std::static_pointer_cast<ZORSMARTTemperatureSensor>(sensors[0]);
  }
  std::uint64_t dataReads() { return disk("disk").counters().dataReads; }
};

TEST_F(TemperatureSensorTest, SettingsFromTheDisk) {
  installDisk(41);
  auto sensor = onlySensor();
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->uniqueIdentifier(), "smart.TEST MODEL 1000.SN0001");
  EXPECT_EQ(sensor->locationIdentifier(), "SMART Disk TEST MODEL 1000 (SN0001)");
  EXPECT_EQ(sensor->sensorName(), "S.M.A.R.T. Hard Disk Sensor");
  EXPECT_EQ(sensor->unit(), "C");
  EXPECT_EQ(sensor->value(), 41.0);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(TemperatureSensorTest, ADiskWithoutReadableTemperatureGetsNoSensor) {
  DiskSpec spec;
  spec.attributes = {{1, 0x0b, 100, 100, 0, 62}};
  installDisks({spec});
  EXPECT_TRUE(ZORSMARTTemperatureSensor::allSensors().empty());
  EXPECT_EQ(outstanding(), 0);
}

TEST_F(TemperatureSensorTest, NoDiskReadWithinTheAccessInterval) {
  installDisk(40);
  auto sensor = onlySensor();
  std::uint64_t reads = dataReads();
  setDiskTemperature(45);
  EXPECT_EQ(sensor->rawValue(), 40);
  clock_.advance(59);
  EXPECT_EQ(sensor->rawValue(), 40);
  EXPECT_EQ(dataReads(), reads);
  clock_.advance(1);
  EXPECT_EQ(sensor->rawValue(), 45);  // 60 s after creation
  EXPECT_GT(dataReads(), reads);
}

struct StepCase {
  std::uint16_t next;
  std::int32_t answer;
  std::uint8_t retries;
};

class TemperatureStepTest : public TemperatureSensorTest,
                            public ::testing::WithParamInterface<StepCase> {};

TEST_P(TemperatureStepTest, DistrustsJumpsAbove15Degrees) {
  installDisk(40);
  auto sensor = onlySensor();
  setDiskTemperature(GetParam().next);
  clock_.advance(60);
  EXPECT_EQ(sensor->rawValue(), GetParam().answer);
  EXPECT_EQ(sensor->numberOfRetries(), GetParam().retries);
}

INSTANTIATE_TEST_SUITE_P(Cases, TemperatureStepTest,
                         ::testing::Values(StepCase{55, 55, 0}, StepCase{56, 40, 1},
                                           StepCase{25, 25, 0}, StepCase{24, 40, 1}));

TEST_F(TemperatureSensorTest, ElevenRefusalsThenTheTwelfthReadingIsAccepted) {
  installDisk(40, activeUser(), {{"TraceSMARTTemperatures", PlistValue::boolean(true)}});
  auto sensor = onlySensor();
  setDiskTemperature(70);
  clock_.advance(60);
  std::uint64_t reads = dataReads();
  log_.clear();
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(sensor->rawValue(), 40) << i;
    // A refusal reads the disk again on the next call, even in the same second.
    EXPECT_EQ(sensor->numberOfRetries(), i + 1);
  }
  EXPECT_EQ(sensor->rawValue(), 70);
  EXPECT_EQ(sensor->numberOfRetries(), 0);
  // Each reading costs the probe and the attribute read: two data reads.
  EXPECT_EQ(dataReads() - reads, 12u * 2u);
  ASSERT_EQ(log_.lines().size(), 24u);
  EXPECT_EQ(log_.lines()[1], "*** Reason: not trusting the value 70. Previous value was 40.\n");
  EXPECT_EQ(log_.lines()[22],
            "*** S.M.A.R.T. device problem detected when accessing temperature sensor (11 "
            "retries):\n");
}

TEST_F(TemperatureSensorTest, FailedReadingsAreRetriedAndTheTwelfthReportsNoReading) {
  installDisk(40, activeUser(), {{"TraceSMARTTemperatures", PlistValue::integer(0)}});
  auto sensor = onlySensor();
  clock_.advance(60);
  disk("disk").setFails("ReadData", true);
  log_.clear();
  for (int i = 0; i < 11; ++i) EXPECT_EQ(sensor->rawValue(), 40) << i;
  EXPECT_EQ(log_.lines()[1],
            "*** Reason: the device did not return a value. Device error or bus access "
            "blocked.\n");
  EXPECT_EQ(sensor->rawValue(), -1);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

TEST_F(TemperatureSensorTest, ExtremeReadingsAreComparedWithoutOverflow) {
  DiskSpec spec;
  spec.attributes = {{190, 0x22, 100, 100, 40, 0}};
  spec.className = "IOATABlockStorageDevice";
  spec.model = "KNOWN190 DISK";
  installDisks({spec});
  auto sensor = onlySensor();
  ASSERT_NE(sensor, nullptr);
  // A raw counter whose low 32 bits read as INT32_MIN must count as a jump, not wrap.
  disk("disk").setDataPage(toPage(dataPage({{190, 0x22, 100, 100, 0x80000000ULL, 0}})));
  clock_.advance(60);
  EXPECT_EQ(sensor->rawValue(), 40);
  EXPECT_EQ(sensor->numberOfRetries(), 1);
}

struct SaverCase {
  std::uint32_t saverInterval;
  PlistValue idleTime;
  bool refused;
};

class DiskSaverTest : public TemperatureSensorTest,
                      public ::testing::WithParamInterface<SaverCase> {};

TEST_P(DiskSaverTest, LeavesTheDiskAloneWhileTheUserIsAway) {
  installDisk(40, {hidSystemEntry(GetParam().idleTime)},
              {{"TraceSMARTTemperatures", PlistValue::boolean(true)}});
  auto sensor = onlySensor();
  sensor->setDiskSaverInterval(GetParam().saverInterval);
  setDiskTemperature(44);
  clock_.advance(60);
  log_.clear();
  std::uint64_t reads = dataReads();
  if (GetParam().refused) {
    EXPECT_EQ(sensor->rawValue(), -1);
    EXPECT_EQ(dataReads(), reads);
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_EQ(log_.lines()[0].rfind("*** rejecting access to S.M.A.R.T. value: disk saver is "
                                    "enabled (600.000000) and user was idle for (600.5",
                                    0),
              0u)
        << log_.lines()[0];
    // The cache is untouched: once the user is back the old value is the base.
    setIdleTime(idleNanoseconds(1));
    EXPECT_EQ(sensor->rawValue(), 44);
  } else {
    EXPECT_EQ(sensor->rawValue(), 44);
    EXPECT_GT(dataReads(), reads);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DiskSaverTest,
                         ::testing::Values(SaverCase{600, idleNanoseconds(600.5), true},
                                           SaverCase{600, idleNanoseconds(599), false},
                                           SaverCase{600, idleBytes(600'500'000'000ULL), true},
                                           SaverCase{0, idleNanoseconds(100000), false}));

TEST_F(TemperatureSensorTest, IdleCounterOfFourBytesLogsItsClassAndCountsAsZero) {
  installDisk(40, {hidSystemEntry(idleNanoseconds(1))});
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 1'000'000'000u);
  setIdleTime(idleBytes(700'000'000'000ULL, 4));
  log_.clear();
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 0u);
  EXPECT_EQ(log_.lines(), std::vector<std::string>{
                              "HID subsystem entry does not contain expected class (is data).\n"});
}

TEST_F(TemperatureSensorTest, NoneOrTwoHIDSystemsAreIgnoredAtEveryReading) {
  for (int count : {0, 2}) {
    installDisk(40,
                PlistArray(static_cast<std::size_t>(count), hidSystemEntry(idleNanoseconds(5000))));
    auto sensor = onlySensor();
    sensor->setDiskSaverInterval(600);
    log_.clear();
    EXPECT_EQ(sensor->rawValue(), 40);
    EXPECT_EQ(sensor->rawValue(), 40);
    std::string line =
        "Found " + std::to_string(count) + " entries for the HID subsystem, ignoring all...\n";
    EXPECT_EQ(log_.lines(), (std::vector<std::string>{line, line}));
  }
}

TEST_F(TemperatureSensorTest, TheSimulatedIdleCounterFollowsTheClock) {
  PlistValue hid = hidSystemEntry(idleBytes(0));
  (*hid.asDictionary())["ZORSimulation"] = PlistValue(PlistDictionary{
      {"HIDIdle", PlistValue(PlistDictionary{{"InputEverySeconds", PlistValue::real(1000)}})}});
  installDisk(40, {hid});
  clock_.clock().set(5000.0 + 600.5);
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 600'500'000'000u);
  clock_.clock().set(6000.0 + 10);
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 10'000'000'000u);
}

TEST_F(TemperatureSensorTest, DebugAndTraceLinesAtDiscovery) {
  installDisk(40, activeUser(),
              {{"DebugSMARTAccess", PlistValue::boolean(false)},
               {"TraceSMARTTemperatures", PlistValue::boolean(false)}});
  auto sensors = ZORSMARTTemperatureSensor::allSensors();
  ASSERT_EQ(sensors.size(), 1u);
  const auto& lines = log_.lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines.front(), "Enabled debug mode for S.M.A.R.T. temperature access ---\n");
  EXPECT_EQ(lines[1], "Enabled trace mode for S.M.A.R.T. temperature sensors ---\n");
  EXPECT_TRUE(log_.contains(
      "Tracing access to S.M.A.R.T. temperature values of device 'TEST MODEL 1000', serial numer "
      "'SN0001'.\n"));
  EXPECT_TRUE(
      log_.contains("   Sensor detected successfully: <ZORSMARTTemperatureSensor>: ID: "
                    "smart.TEST MODEL 1000.SN0001"));
  EXPECT_EQ(lines.back(), "Analysis of S.M.A.R.T. temperature sensors completed ---\n");
}

TEST_F(TemperatureSensorTest, RegisteredFamilyIsLeftOutOfTheNonSMARTSensors) {
  installDisk(40);
  ScopedSensorClassRegistry registry;
  ZORSMARTTemperatureSensor::load();
  EXPECT_EQ(ZORSensor::allSensors().size(), 1u);
  EXPECT_TRUE(ZORSensor::allNonSMARTSensors().empty());
}

TEST_F(TemperatureSensorTest, SensorsGiveBackEveryReference) {
  installDisk(40, {hidSystemEntry(idleNanoseconds(3))});
  {
    auto sensor = onlySensor();
    sensor->setDiskSaverInterval(600);
    clock_.advance(60);
    sensor->rawValue();
  }
  ZORSMARTTemperatureSensor::forgetHIDSystemEntry();
  EXPECT_EQ(outstanding(), 0);
  EXPECT_EQ(disk("disk").counters().opens, disk("disk").counters().closes);
}

}  // namespace
}  // namespace zor::testing
