// The simulated CPU-monitoring driver: what a "ForceUpdate" write changes in
// the published status block.

#include <gtest/gtest.h>

#include "platform/IOKit.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

class DriverBehaviourTest : public CPUMonitorTest {
 protected:
  // Writes "ForceUpdate" (or `key`) and returns what the driver publishes then.
  PlistData forceUpdate(const std::string& key = "ForceUpdate") {
    auto driver = firstDriver();  // a handle is live only while someone holds it
    EXPECT_EQ(
        iokit::IORegistryEntrySetCFProperty(driver->ioKitHandle(), key,
                                            PlistValue::boolean(false)) == iokit::kIOReturnSuccess,
        key == "ForceUpdate");
    auto value = iokit::IORegistryEntryCreateCFProperty(driver->ioKitHandle(), "CPUStatus");
    return value && value->asData() ? *value->asData() : PlistData();
  }
};

TEST_F(DriverBehaviourTest, ForceUpdateStampsEveryCoreAndFollowsTheCurves) {
  StatusSpec status{.cores = {{0, 40, 0x900, 1}, {7, 41, 0xA00, 1}, {9, 42, 0xB00, 1}}};
  installBlock(
      status, 1776, "", true,
      {{"thermalReading", waveCurve(50, 0, 60)}, {"thermalReading.1", waveCurve(30, 10, 40)}});
  EXPECT_EQ(forceUpdate("forceupdate"), encodeStatus(status));
  clock_.clock().set(4000000010.0);  // a quarter of the 40 s period: the crest
  StatusSpec expected = status;
  expected.cores = {
      {4000000010u, 50, 0x900, 1}, {4000000010u, 40, 0xA00, 1}, {4000000010u, 50, 0xB00, 1}};
  // Only update times and readings change.
  EXPECT_EQ(forceUpdate(), encodeStatus(expected));
}

TEST_F(DriverBehaviourTest, AShortBlockIsPatchedOnlyWithinItsBytes) {
  StatusSpec status{.cores = uniformCores(3, 5, 40), .announcedCores = 9};
  status.truncateBy = 8 + 36 + 20;  // no trailer, no third record, the second cut short
  installBlock(status, 1776, "", true);
  PlistData expected = encodeStatus(status);
  put(expected, 20, static_cast<std::uint32_t>(kStart), 4);
  EXPECT_EQ(forceUpdate(), expected);
}

}  // namespace
}  // namespace zor::testing
