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
    install(driver);
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

TEST_F(DriverBehaviourTest, ForceUpdateStampsEveryCoreAndFollowsTheCurves) {
  StatusSpec status;
  status.cores = {{0, 40, 0x900, 1}, {7, 41, 0xA00, 1}, {9, 42, 0xB00, 1}};
  installLive(status, {{"thermalReading", waveCurve(50, 0, 60)},
                       {"thermalReading.1", waveCurve(30, 10, 40)}});
  clock_.clock().set(4000000010.0);  // a quarter of the 40 s period: the crest
  ASSERT_EQ(write("ForceUpdate"), iokit::kIOReturnSuccess);
  StatusSpec expected = status;
  expected.cores = {
      {4000000010u, 50, 0x900, 1}, {4000000010u, 40, 0xA00, 1}, {4000000010u, 50, 0xB00, 1}};
  // Only update times and readings change.
  EXPECT_EQ(published(), encodeStatus(expected));
  EXPECT_NE(write("forceupdate"), iokit::kIOReturnSuccess);
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
  put(expected, 20, static_cast<std::uint32_t>(kStart), 4);
  EXPECT_EQ(after, expected);
}

}  // namespace
}  // namespace zor::testing
