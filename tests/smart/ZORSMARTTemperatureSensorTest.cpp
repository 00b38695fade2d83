// The disk temperature sensor over simulated disks: identity, throttled disk
// reads counted with the test clock, distrusted jumps and retries, the disk
// saver and the idle time it reads, diagnostics and its place among families.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "sensors/ScopedSensorClassRegistry.h"
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
  // default one whose user is active); the disk's sensor.
  std::shared_ptr<ZORSMARTTemperatureSensor> installDisk(std::uint16_t degrees,
                                                         PlistArray hid = activeUser(),
                                                         PlistDictionary userDefaults = {}) {
    hid.insert(hid.begin(), diskEntry(DiskSpec{.attributes = {temperatureRow(degrees)}}));
    PlistDictionary profile = profileWithEntries(hid);
    if (!userDefaults.empty()) profile["UserDefaults"] = PlistValue(userDefaults);
    install(profile);
    auto sensors = ZORSMARTTemperatureSensor::allSensors();
    EXPECT_EQ(sensors.size(), 1u);
    if (sensors.size() != 1) return nullptr;
    return std::static_pointer_cast<ZORSMARTTemperatureSensor>(sensors[0]);
  }
  static PlistArray activeUser() { return {hidSystemEntry(idleNanoseconds(0))}; }
  // Presence counts, not the value: a stored 0 switches tracing on.
  static PlistDictionary trace() { return {{"TraceSMARTTemperatures", PlistValue::integer(0)}}; }
  void setDataPage(const PlistData& bytes) {
    iokit::ATASMARTData page{};
    std::copy(bytes.begin(), bytes.end(), page.begin());
    disk("disk").setDataPage(page);
  }
  void setDiskTemperature(std::uint16_t degrees) {
    setDataPage(dataPage({temperatureRow(degrees)}));
  }
  void setIdleTime(const PlistValue& value) {
    machine_->registry().findEntryNamed("IOHIDSystem")->properties()["HIDIdleTime"] = value;
  }
  std::uint64_t dataReads() { return disk("disk").counters().dataReads; }
};

TEST_F(TemperatureSensorTest, IdentifiedByModelAndSerialAndNoneWithoutATemperature) {
  auto sensor = installDisk(41);
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->uniqueIdentifier(), "smart.TEST MODEL 1000.SN0001");
  EXPECT_EQ(sensor->locationIdentifier(), "SMART Disk TEST MODEL 1000 (SN0001)");
  EXPECT_EQ(sensor->value(), 41.0);
  EXPECT_TRUE(log_.lines().empty());
  installDisks({DiskSpec{.attributes = {{1, 0x0b, 100, 100, 0, 62}}}});
  EXPECT_TRUE(ZORSMARTTemperatureSensor::allSensors().empty());
}

TEST_F(TemperatureSensorTest, NoDiskReadWithinTheAccessIntervalAlsoPast2038) {
  for (double start : {1.0e9, 2147483600.0}) {  // the second crosses 2^31 seconds
    clock_.clock().set(start);
    auto sensor = installDisk(40);
    std::uint64_t reads = dataReads();
    setDiskTemperature(45);
    clock_.advance(59);
    EXPECT_EQ(sensor->rawValue(), 40);
    EXPECT_EQ(dataReads(), reads);
    clock_.advance(1);
    EXPECT_EQ(sensor->rawValue(), 45) << start;  // 60 s after creation
  }
}

TEST_F(TemperatureSensorTest, JumpsAbove15DegreesAreDistrustedEvenAtTheExtremes) {
  // {attribute, last reading, next raw value, answer, retries}
  const std::tuple<std::uint8_t, std::uint64_t, std::uint64_t, std::int32_t, std::uint8_t> cases[] =
      {{194, 40, 55, 55, 0},
       {194, 40, 56, 40, 1},
       {194, 40, 25, 25, 0},
       {194, 40, 24, 40, 1},
       // A raw counter whose low 32 bits read as INT32_MIN must count as a jump, not wrap.
       {190, 40, 0x80000000ULL, 40, 1}};
  for (const auto& [id, first, next, answer, retries] : cases) {
    // Known-disk rows choose the attribute: 190 for "KNOWN190", 194 for "TEST MODEL".
    installDisks({DiskSpec{.className = "IOATABlockStorageDevice",
                           .model = id == 190 ? "KNOWN190 DISK" : "TEST MODEL 1000",
                           .attributes = {{id, 0x22, 100, 100, first, 0}}}});
    auto sensors = ZORSMARTTemperatureSensor::allSensors();
    ASSERT_EQ(sensors.size(), 1u);
    auto& sensor = static_cast<ZORSMARTTemperatureSensor&>(*sensors[0]);
    setDataPage(dataPage({{id, 0x22, 100, 100, next, 0}}));
    clock_.advance(60);
    EXPECT_EQ(sensor.rawValue(), answer) << next;
    EXPECT_EQ(sensor.numberOfRetries(), retries) << next;
  }
}

// Eleven suspicious readings keep the last good value, each reading the disk
// again at once; the twelfth is taken whatever it is.
TEST_F(TemperatureSensorTest, ElevenRetriesThenTheTwelfthReadingIsTaken) {
  const std::tuple<bool, std::int32_t, const char*> cases[] = {
      {false, 70, "*** Reason: not trusting the value 70. Previous value was 40.\n"},
      {true, -1,
       "*** Reason: the device did not return a value. Device error or bus access blocked.\n"}};
  for (const auto& [fails, last, reason] : cases) {
    auto sensor = installDisk(40, activeUser(), trace());
    setDiskTemperature(70);
    disk("disk").setFails("ReadData", fails);
    clock_.advance(60);
    log_.clear();
    for (int i = 0; i < 11; ++i) {
      EXPECT_EQ(sensor->rawValue(), 40) << i;
      EXPECT_EQ(sensor->numberOfRetries(), i + 1);
    }
    EXPECT_EQ(sensor->rawValue(), last);
    EXPECT_EQ(sensor->numberOfRetries(), 0);
    ASSERT_EQ(log_.lines().size(), 24u);
    EXPECT_EQ(log_.lines()[1], reason);
    EXPECT_EQ(log_.lines()[22],
              "*** S.M.A.R.T. device problem detected when accessing temperature sensor (11 "
              "retries):\n");
  }
}

TEST_F(TemperatureSensorTest, TheDiskSaverLeavesTheDiskAloneWhileTheUserIsAway) {
  // {disk saver interval, idle time, refused}
  const std::tuple<std::uint32_t, PlistValue, bool> cases[] = {
      {600, idleNanoseconds(600.5), true},
      {600, idleNanoseconds(599), false},
      {600, idleBytes(600'500'000'000ULL), true},
      {0, idleNanoseconds(100000), false}};
  for (const auto& [interval, idleTime, refused] : cases) {
    auto sensor = installDisk(40, {hidSystemEntry(idleTime)}, trace());
    sensor->setDiskSaverInterval(interval);
    setDiskTemperature(44);
    clock_.advance(60);
    log_.clear();
    std::uint64_t reads = dataReads();
    EXPECT_EQ(sensor->rawValue(), refused ? -1 : 44);
    EXPECT_EQ(dataReads() == reads, refused);
    if (!refused) continue;
    EXPECT_EQ(log_.lines().at(0).rfind("*** rejecting access to S.M.A.R.T. value: disk saver is "
                                       "enabled (600.000000) and user was idle for (600.5",
                                       0),
              0u)
        << log_.lines()[0];
    // The cache is untouched: once the user is back the old value is the base.
    setIdleTime(idleNanoseconds(1));
    EXPECT_EQ(sensor->rawValue(), 44);
  }
}

TEST_F(TemperatureSensorTest, IdleTimeFromOneHIDSystemOfTheExpectedClass) {
  installDisk(40, {hidSystemEntry(idleNanoseconds(1))});
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 1'000'000'000u);
  setIdleTime(idleBytes(700'000'000'000ULL, 4));
  log_.clear();
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 0u);
  EXPECT_EQ(log_.lines(), std::vector<std::string>{
                              "HID subsystem entry does not contain expected class (is data).\n"});
  // None or two: ignored at every reading.
  for (int count : {0, 2}) {
    auto sensor = installDisk(
        40, PlistArray(static_cast<std::size_t>(count), hidSystemEntry(idleNanoseconds(5000))));
    sensor->setDiskSaverInterval(600);
    log_.clear();
    EXPECT_EQ(sensor->rawValue(), 40);
    EXPECT_EQ(sensor->rawValue(), 40);
    std::string line =
        "Found " + std::to_string(count) + " entries for the HID subsystem, ignoring all...\n";
    EXPECT_EQ(log_.lines(), (std::vector<std::string>{line, line}));
  }
  // The simulated idle counter follows the clock from the last input.
  PlistValue hid = hidSystemEntry(idleBytes(0));
  (*hid.asDictionary())["ZORSimulation"] = PlistValue(PlistDictionary{
      {"HIDIdle", PlistValue(PlistDictionary{{"InputEverySeconds", PlistValue::real(1000)}})}});
  installDisk(40, {hid});
  clock_.clock().set(5000.0 + 600.5);
  EXPECT_EQ(ZORSMARTTemperatureSensor::userIdleTime(), 600'500'000'000u);
}

TEST_F(TemperatureSensorTest, DebugAndTraceLinesAtDiscoveryAndNoPlaceAmongNonSMARTSensors) {
  installDisk(40, activeUser(),
              {{"DebugSMARTAccess", PlistValue::boolean(false)},
               {"TraceSMARTTemperatures", PlistValue::boolean(false)}});
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
  ScopedSensorClassRegistry registry;
  ZORSMARTTemperatureSensor::load();
  EXPECT_EQ(ZORSensor::allSensors().size(), 1u);
  EXPECT_TRUE(ZORSensor::allNonSMARTSensors().empty());
}

}  // namespace
}  // namespace zor::testing
