// The simulated CPU-monitoring driver: what a "ForceUpdate" write changes in
// the published status block, and the profiles it refuses.

#include <gtest/gtest.h>

#include "platform/IOKit.h"
#include "platform/simulated/CPUMonitorDriverBehaviour.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

class DriverBehaviourTest : public CPUMonitorTest {
 protected:
  void installLive(const StatusSpec& status, PlistDictionary wave = {}) {
    DriverSpec driver;
    driver.status = PlistValue(encodeStatus(status));
    driver.liveDriver = true;
    driver.wave = std::move(wave);
    install({driver});
    hold();
  }
  // A handle is live only while someone holds a reference on it.
  void hold() {
    driver_ = firstDriver();
    ASSERT_NE(driver_, nullptr);
    handle_ = driver_->ioKitHandle();
  }
  void TearDown() override {
    driver_.reset();
    CPUMonitorTest::TearDown();
  }
  iokit::kern_return_t write(const std::string& key) {
    return iokit::IORegistryEntrySetCFProperty(handle_, key, PlistValue::boolean(false));
  }
  PlistData published() {
    auto value = iokit::IORegistryEntryCreateCFProperty(handle_, "CPUStatus");
    return value && value->asData() ? *value->asData() : PlistData();
  }
  std::shared_ptr<ZORIORegistryEntry> driver_;
  iokit::io_registry_entry_t handle_ = 0;
};

TEST_F(DriverBehaviourTest, ForceUpdateStampsEveryCoreWithTheTimeOfDay) {
  StatusSpec status;
  status.cores = {{0, 40, 0x900, 1}, {7, 41, 0xA00, 1}, {9, 42, 0xB00, 1}};
  installLive(status);
  clock_.advance(12.75);
  ASSERT_EQ(write("ForceUpdate"), iokit::kIOReturnSuccess);
  PlistData after = published();
  PlistData expected = encodeStatus(status);
  for (std::size_t core = 0; core < 3; ++core) {
    putUInt32(expected, 20 + 36 * core, static_cast<std::uint32_t>(kStart) + 12);
  }
  // Only the update times change; without a curve the readings stay.
  EXPECT_EQ(after, expected);
}

TEST_F(DriverBehaviourTest, ThermalReadingsFollowTheirCurves) {
  StatusSpec status;
  status.cores = uniformCores(3, 0, 40);
  PlistDictionary wave{{"thermalReading", waveCurve(50, 0, 60)},
                       {"thermalReading.1", waveCurve(30, 10, 40)}};
  installLive(status, wave);
  clock_.clock().set(4000000010.0);  // a quarter of the 40 s period: the crest
  ASSERT_EQ(write("ForceUpdate"), iokit::kIOReturnSuccess);
  PlistData after = published();
  EXPECT_EQ(getUInt32(after, 20 + 8), 50u);
  EXPECT_EQ(getUInt32(after, 20 + 36 + 8), 40u);
  EXPECT_EQ(getUInt32(after, 20 + 72 + 8), 50u);
  EXPECT_EQ(getUInt32(after, 20 + 72), static_cast<std::uint32_t>(4000000010u));
}

TEST_F(DriverBehaviourTest, OtherWritesAreRefusedAndChangeNothing) {
  StatusSpec status;
  status.cores = uniformCores(2, 5, 40);
  installLive(status);
  EXPECT_NE(write("CPUStatus"), iokit::kIOReturnSuccess);
  EXPECT_NE(write("forceupdate"), iokit::kIOReturnSuccess);
  EXPECT_EQ(published(), encodeStatus(status));
}

TEST_F(DriverBehaviourTest, AShortBlockIsPatchedOnlyWithinItsBytes) {
  StatusSpec status;
  status.cores = uniformCores(3, 5, 40);
  status.announcedCores = 9;
  status.truncateBy = 8 + 36 + 20;  // no trailer, no third record, the second cut short
  installLive(status);
  ASSERT_EQ(write("ForceUpdate"), iokit::kIOReturnSuccess);
  PlistData after = published();
  PlistData expected = encodeStatus(status);
  ASSERT_EQ(after.size(), expected.size());
  putUInt32(expected, 20, static_cast<std::uint32_t>(kStart));
  EXPECT_EQ(after, expected);
}

TEST_F(DriverBehaviourTest, ABlockThatIsNoDataIsLeftAlone) {
  DriverSpec driver;
  driver.status = PlistValue::integer(5);
  driver.liveDriver = true;
  install({driver});
  hold();
  EXPECT_EQ(write("ForceUpdate"), iokit::kIOReturnSuccess);
  EXPECT_EQ(iokit::IORegistryEntryCreateCFProperty(handle_, "CPUStatus"), PlistValue::integer(5));
}

TEST(CPUMonitorProfileTest, ADriverWhoseSettingsAreNoDictionaryRefusesTheProfile) {
  PlistValue profile = profileWithDrivers({DriverSpec{}});
  PlistDictionary& entry = *(*profile.find("Registry")->find("IORegistryEntryChildren")->asArray())
                                .front()
                                .asDictionary();
  entry["ZORSimulation"] = PlistValue(PlistDictionary{{"CPUMonitor", PlistValue("yes")}});
  std::string error;
  EXPECT_EQ(SimulatedMachine::fromProfile(profile, "broken.plist", &error), nullptr);
  EXPECT_NE(error.find("broken.plist"), std::string::npos) << error;
  EXPECT_NE(error.find("CPUMonitor"), std::string::npos) << error;
}

}  // namespace
}  // namespace zor::testing
