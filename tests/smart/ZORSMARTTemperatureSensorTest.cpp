// The disk temperature sensor over simulated disks: identity, throttled disk
// reads counted with the test clock, distrusted jumps and retries, the idle
// time read at every reading, and the diagnostics.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/smart/SMARTTestMachine.h"

namespace zor::testing {
namespace {

// An idle time as the HID system publishes it: nanoseconds.
PlistValue idleSeconds(double seconds) {
  return PlistValue::unsignedInteger(static_cast<std::uint64_t>(seconds * 1.0e9));
}

class TemperatureSensorTest : public SMARTTest {
 protected:
  // One disk (by default new-era, reading `degrees`), the given HID systems
  // (by default one whose user is active) and stored settings; the disk's sensor.
  std::shared_ptr<ZORSMARTTemperatureSensor> installDisk(
      DiskSpec disk, PlistArray hid = {hidSystemEntry(idleSeconds(0))},
      PlistDictionary userDefaults = {}) {
    hid.insert(hid.begin(), diskEntry(disk));
    PlistDictionary profile = profileWithEntries(hid);
    profile["UserDefaults"] = userDefaults;
    install(profile);
    auto sensors = ZORSMARTTemperatureSensor::allSensors();
    return sensors.size() == 1 ? std::static_pointer_cast<ZORSMARTTemperatureSensor>(sensors[0])
                               : nullptr;
  }
  // Presence counts, not the value: a stored 0 switches tracing on.
  static PlistDictionary trace() { return {{"TraceSMARTTemperatures", PlistValue::integer(0)}}; }
  void setDisk(std::uint8_t id, std::uint64_t raw) {
    iokit::ATASMARTData page{};
    PlistData bytes = dataPage({{id, 0x22, 100, 100, raw, 0}});
    std::copy(bytes.begin(), bytes.end(), page.begin());
    disk().setDataPage(page);
  }
};

// The disk is read at most once a minute, also past 2^31 seconds; a jump of
// more than 15 degrees from the last reading is distrusted and retried.
TEST_F(TemperatureSensorTest, ReadsOncePerMinuteAndJumpsAbove15DegreesAreDistrusted) {
  // {attribute, next raw value, answer, retries} after a reading of 40: 194
  // keeps its low byte, others the low 32 bits (here a signed INT32_MIN,
  // which must count as a jump, not wrap).
  const std::tuple<std::uint8_t, std::uint64_t, std::int32_t, std::uint8_t> cases[] = {
      {194, 55, 55, 0}, {194, 56, 40, 1}, {194, 24, 40, 1}, {190, 0x80000000ULL, 40, 1}};
  clock_.clock().set(2147483600.0);
  for (const auto& [id, next, answer, retries] : cases) {
    // Known-disk rows choose the attribute: 190 for "KNOWN190", 194 for "TEST".
    auto sensor = installDisk({.className = "IOATABlockStorageDevice",
                               .model = id == 190 ? "KNOWN190 DISK" : "TEST MODEL 1000",
                               .attributes = {{id, 0x22, 100, 100, 0x0037'0000'0028, 0}}});
    ASSERT_NE(sensor, nullptr);
    setDisk(id, next);
    const auto reads = disk().counters().dataReads;
    clock_.advance(59);
    EXPECT_EQ(sensor->rawValue(), 40);
    EXPECT_EQ(disk().counters().dataReads, reads);
    clock_.advance(1);
    EXPECT_EQ(sensor->rawValue(), answer) << next;
    EXPECT_EQ(sensor->numberOfRetries(), retries) << next;
  }
}

// Eleven suspicious readings keep the last good value, each reading the disk
// again at once; the twelfth is taken whatever it is.
TEST_F(TemperatureSensorTest, ElevenRetriesThenTheTwelfthReadingIsTaken) {
  auto sensor = installDisk({}, {hidSystemEntry(idleSeconds(0))}, trace());
  setDisk(194, 70);
  clock_.advance(60);
  log_.clear();
  for (int i = 1; i <= 11; ++i) {
    EXPECT_EQ((std::pair<int, int>{sensor->rawValue(), sensor->numberOfRetries()}),
              std::pair(40, i));
  }
  EXPECT_EQ(sensor->rawValue(), 70);
  EXPECT_EQ(sensor->numberOfRetries(), 0);
  ASSERT_EQ(log_.lines().size(), 24u);
  EXPECT_EQ(log_.lines()[1], "*** Reason: not trusting the value 70. Previous value was 40.\n");
  EXPECT_EQ(log_.lines()[22],
            "*** S.M.A.R.T. device problem detected when accessing temperature sensor (11 "
            "retries):\n");
}

// Every reading asks for the user's idle time: it comes from exactly one HID
// system holding a number (or its eight bytes); otherwise there is none, with
// a log line at every reading, and the disk is read all the same.
TEST_F(TemperatureSensorTest, AnUnreadableIdleTimeIsLoggedAtEveryReading) {
  const std::pair<PlistArray, const char*> cases[] = {
      {{hidSystemEntry(idleSeconds(9999)), hidSystemEntry(idleSeconds(9999))},
       "Found 2 entries for the HID subsystem, ignoring all...\n"},
      {{hidSystemEntry(PlistValue(PlistData(4)))},
       "HID subsystem entry does not contain expected class (is data).\n"}};
  for (const auto& [hid, line] : cases) {
    auto sensor = installDisk({}, hid);
    ASSERT_NE(sensor, nullptr);
    for (int reading = 0; reading < 2; ++reading) {
      log_.clear();
      EXPECT_EQ(sensor->rawValue(), 40);
      EXPECT_EQ(log_.lines(), std::vector<std::string>{line});
    }
  }
}

// The sensor is named by the disk's model and serial; a disk without a
// temperature attribute has none.
TEST_F(TemperatureSensorTest, IdentityAndDebugAndTraceLinesAtDiscovery) {
  EXPECT_EQ(installDisk({.attributes = {{1, 0x0b, 100, 100, 0, 62}}}), nullptr);
  auto sensor = installDisk({}, {hidSystemEntry(idleSeconds(0))},
                            {{"DebugSMARTAccess", PlistValue::boolean(false)},
                             {"TraceSMARTTemperatures", PlistValue::boolean(false)}});
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->locationIdentifier(), "SMART Disk TEST MODEL 1000 (disk-SN)");
  const auto& lines = log_.lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0] + lines[1],
            "Enabled debug mode for S.M.A.R.T. temperature access ---\n"
            "Enabled trace mode for S.M.A.R.T. temperature sensors ---\n");
  EXPECT_TRUE(log_.contains("Tracing access to S.M.A.R.T. temperature values of device 'TEST "
                            "MODEL 1000', serial numer 'disk-SN'.\n") &&
              log_.contains("   Sensor detected successfully: <ZORSMARTTemperatureSensor>: ID: "
                            "smart.TEST MODEL 1000.disk-SN"));
  EXPECT_EQ(lines.back(), "Analysis of S.M.A.R.T. temperature sensors completed ---\n");
}

}  // namespace
}  // namespace zor::testing
