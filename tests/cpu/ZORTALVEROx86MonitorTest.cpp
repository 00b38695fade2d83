// The CPU-monitor sensor: discovery, naming, signature fields and variants, readings,
// the staleness window, the process-wide refresh request and the frequency
// sensor's choice of record.

#include <gtest/gtest.h>

#include <tuple>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "cpu/ZORTALVEROx86MonitorCPU1776.h"
#include "platform/simulated/CPUMonitorDriverBehaviour.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

constexpr std::int32_t kNoReading = -1;

std::int32_t fixed(std::int32_t celsius) {
  return celsius * 65536;
}

TEST_F(CPUMonitorTest, DiscoveryNeedsANewEnoughDriverAndAWholeBlock) {
  struct Case {
    const char* what;
    std::uint32_t driverVersion, statusFlags;
    std::size_t cores;
    std::optional<std::uint32_t> announced;
    std::size_t truncateBy, expectedSensors;
    std::uint32_t expectedVersion;  // 0 when the block is refused as a whole
  };
  const Case cases[] = {
      {"driver version 6", 6, 0x1, 4, std::nullopt, 0, 0, 6},
      {"driver version 7", 7, 0x1, 4, std::nullopt, 0, 4, 7},
      {"version top bit set", 0x80000007u, 0x1, 4, std::nullopt, 0, 4, 0x80000007u},
      {"bit 0 clear", 7, 0x3E, 4, std::nullopt, 0, 0, 7},
      {"empty block", 7, 0x1, 0, std::nullopt, 28, 0, 0},
      {"one byte short of the header", 7, 0x1, 0, std::nullopt, 9, 0, 0},
      {"trailer cut by one byte", 7, 0x1, 2, std::nullopt, 1, 0, 0},
      {"announces records it lacks", 7, 0x1, 2, 3u, 0, 0, 0},
      {"announces 2^32 - 1 records", 7, 0x1, 1, 0xFFFFFFFFu, 0, 0, 0},
      {"size wraps in 32 bits", 7, 0x1, 1, 119304648u, 0, 0, 0},
  };
  for (const Case& c : cases) {
    StatusSpec status{c.driverVersion, 0,           c.statusFlags, uniformCores(c.cores), 0,
                      c.announced,     c.truncateBy};
    installBlock(status);
    EXPECT_EQ(monitors().size(), c.expectedSensors) << c.what;
    EXPECT_EQ(ZORTALVEROx86Monitor::versionCodeOfRunningDriver(), c.expectedVersion) << c.what;
    EXPECT_TRUE(ZORTALVEROx86Monitor::isDriverLoaded()) << c.what;
  }
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(CPUMonitorTest, LocationsCountFromOneAndSortInCoreOrder) {
  // {cores, first, last}: from ten cores on the numbers take two digits.
  const std::tuple<std::size_t, const char*, const char*> cases[] = {
      {9, "CPU Core 1", "CPU Core 9"},
      {10, "CPU Core 01", "CPU Core 10"},
      {12, "CPU Core 01", "CPU Core 12"}};
  for (const auto& [cores, first, last] : cases) {
    installBlock(StatusSpec{.cores = uniformCores(cores)}, 67232);
    auto sensors = monitors();
    ASSERT_EQ(sensors.size(), cores);
    EXPECT_EQ(sensors.front()->locationIdentifier(), first);
    EXPECT_EQ(sensors.back()->locationIdentifier(), last);
    EXPECT_EQ(sensors.back()->uniqueIdentifier(), "talvero.dts." + std::to_string(cores - 1));
    for (std::size_t i = 1; i < sensors.size(); ++i) {
      EXPECT_LT(sensors[i - 1]->compare(*sensors[i]), 0) << cores << " cores, " << i;
    }
  }
}

TEST_F(CPUMonitorTest, SignatureFieldsFollowTheFamilyRules) {
  // {signature, family, model, stepping}
  const std::tuple<std::uint32_t, int, int, int> cases[] = {
      {67190, 6, 23, 6},          // 0x10676: extended model for family 6
      {0x00F20F41, 30, 0x24, 1},  // extended family and model for family 15
      {0x00010571, 5, 7, 1}};     // no extended model below 6
  for (const auto& [signature, family, model, stepping] : cases) {
    installBlock(StatusSpec{.cores = uniformCores(1)}, signature);
    auto sensor = baseSensor();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->cpuFamily(), family) << signature;
    EXPECT_EQ(sensor->cpuModel(), model) << signature;
    EXPECT_EQ(sensor->cpuStepping(), stepping) << signature;
  }
}

TEST_F(CPUMonitorTest, VariantFoundBySignatureWithTheSteppingCleared) {
  const std::pair<std::uint32_t, const char*> cases[] = {{67190, "ZORTALVEROx86MonitorCPU67184"},
                                                         {1760, "ZORTALVEROx86MonitorCPU1760"},
                                                         {1781, "ZORTALVEROx86MonitorCPU1776"},
                                                         {0x106A5, "ZORTALVEROx86MonitorCPU67232"},
                                                         {0x106E5, "ZORTALVEROx86MonitorCPU67296"},
                                                         {0x20652, "ZORTALVEROx86MonitorCPU132688"},
                                                         {0x206C2, "ZORTALVEROx86MonitorCPU132800"},
                                                         {0x206D7, nullptr},
                                                         {0, nullptr}};
  for (const auto& [signature, className] : cases) {
    log_.clear();
    auto found = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(signature);
    if (className == nullptr) {
      EXPECT_EQ(found, nullptr);
      EXPECT_EQ(log_.lines(), std::vector<std::string>{
                                  "WARNING: The current implementation has no specific code to "
                                  "support CPUs with signature " +
                                  std::to_string(signature) + "!\n"});
    } else {
      ASSERT_NE(found, nullptr) << className;
      EXPECT_EQ(found->name(), className);
      EXPECT_TRUE(log_.lines().empty());
    }
  }
}

TEST_F(CPUMonitorTest, TemperatureCountsDownFromTheJunctionLimit) {
  // {status flags, thermal reading, raw value}
  const std::tuple<std::uint32_t, std::int32_t, std::int32_t> cases[] = {
      {0x1, 42, fixed(58)},    // limit 100
      {0x9, 42, fixed(43)},    // low limit 85
      {0x1, 0, kNoReading},    // no reading
      {0x1, 100, kNoReading},  // 0 degrees counts as none
      {0x1, 101, fixed(-1)},   // below zero is a reading
      {0x1, -20, fixed(120)}};
  for (const auto& [flags, reading, raw] : cases) {
    installBlock(
        StatusSpec{.statusFlags = flags, .cores = uniformCores(2, kStartSeconds, reading)});
    auto sensor = baseSensor(1, 2);
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->rawValue(), raw) << flags << " " << reading;
  }
}

// The window is the time since the last reading times the core count times 12.
TEST_F(CPUMonitorTest, RecordsAreAcceptedWithinTheStalenessWindow) {
  // {cores, core, seconds since the last reading, record age, fresh}
  const std::tuple<std::size_t, std::size_t, double, std::int64_t, bool> cases[] = {
      {2, 0, 5, 120, true},
      {2, 0, 5, 121, false},
      {8, 3, 2, 192, true},
      {8, 3, 2, 193, false},
      {2, 1, 0.9, 1'700'000'000, true},  // same second: never updated
      {2, 0, 3, -1, false}};             // from the future
  for (const auto& [cores, core, since, age, fresh] : cases) {
    clock_.clock().set(kStart);
    StatusSpec status{.cores = uniformCores(cores)};
    installBlock(status);
    auto sensor = monitors().at(core);
    ASSERT_EQ(sensor->rawValue(), fixed(60));
    clock_.advance(since);
    status.cores[core].updateTime = now() - static_cast<std::uint32_t>(age);
    publish(status);
    EXPECT_EQ(sensor->rawValue(), fresh ? fixed(60) : kNoReading) << cores << " " << age;
  }
}

TEST_F(CPUMonitorTest, TheFirstReadingComputesItsWindowFromTheTimeOfDayWrapping) {
  // 1789569707 x 2 cores x 12 wraps in 32 bits to a window of only 8 seconds.
  clock_.clock().set(1789569707.0);
  StatusSpec status{.cores = uniformCores(2, 1789569707u - 9, 40)};
  installBlock(status);
  EXPECT_EQ(monitors().at(0)->rawValue(), kNoReading);
  status.cores = uniformCores(2, 1789569707u - 8, 40);
  publish(status);
  EXPECT_EQ(monitors().at(0)->rawValue(), fixed(60));
}

TEST_F(CPUMonitorTest, ABlockThatShrinksAfterDiscoveryGivesNoReading) {
  StatusSpec status{.cores = uniformCores(4)};
  installBlock(status);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 4u);
  status.cores.resize(2);
  publish(status);  // honest about its two cores
  EXPECT_EQ(sensors[1]->rawValue(), fixed(60));
  EXPECT_EQ(sensors[3]->rawValue(), kNoReading);
  status.announcedCores = 4;  // claims four but holds two
  publish(status);
  for (auto& sensor : sensors) EXPECT_EQ(sensor->rawValue(), kNoReading);
  machine_->registry().findEntryNamed("CPUMonitor")->properties().erase("CPUStatus");
  EXPECT_EQ(sensors[0]->rawValue(), kNoReading);
}

TEST_F(CPUMonitorTest, ManySensorsInOneSecondCauseOneForceUpdate) {
  installBlock(StatusSpec{.cores = uniformCores(8, 0, 40)}, 67232,
               "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz", true);
  auto& driver = dynamic_cast<CPUMonitorDriverBehaviour&>(
      machine_->registry().findEntryNamed("CPUMonitor")->behaviour());
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 8u);
  for (auto& sensor : sensors) EXPECT_NE(sensor->rawValue(), kNoReading);
  EXPECT_EQ(driver.forceUpdateCount(), 1u);
  clock_.advance(0.5);
  for (auto& sensor : sensors) sensor->rawValue();
  EXPECT_EQ(driver.forceUpdateCount(), 1u);
  clock_.advance(0.5);
  for (auto& sensor : sensors) sensor->rawValue();
  EXPECT_EQ(driver.forceUpdateCount(), 2u);
}

TEST_F(CPUMonitorTest, TheFrequencyFollowsTheMostRecentlyUpdatedCore) {
  // Ratios 9, 10, 11 at bus code 2 (200 MHz); core 2 is newest, core 1 ties it later.
  StatusSpec status{
      .platformInfo = 12u << 8,
      .cores = {{100, 40, 9u << 8, 2}, {300, 40, 10u << 8, 2}, {300, 40, 11u << 8, 2}}};
  installBlock(status, 1776);
  auto sensor = ZORTALVEROx86Monitor::frequencySensor(
      ZORTALVEROx86MonitorCPU1776::monitorClassObject(), firstDriver());
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->maximumBusRatio(), 12);
  // The tie at 300 goes to the lower index: ratio 10.
  EXPECT_EQ(sensor->rawValue(), static_cast<std::int32_t>(10 * 200.0 * 65536.0));
  status.cores = uniformCores(3, 0, 40);
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

TEST_F(CPUMonitorTest, FrequencySensorTakesTheMaximumRatioFromCoreZeroOrThePlatform) {
  struct Case {
    const char* what;
    std::uint32_t signature;
    std::uint64_t core0Performance, platformInfo;
    bool created;
    std::uint8_t maximumBusRatio;
  };
  const Case cases[] = {
      {"bit 31 set", 1776, (std::uint64_t{0x1B} << 40) | (1u << 31) | 0x900, 0xC00, true, 0x1B},
      {"bit 31 clear", 1776, std::uint64_t{0x1B} << 40, 0x1C00, true, 0x1C},
      {"platform bits beyond 12 ignored", 1776, 0, 0xFFFFFFFFFFFFF7FFu, true, 0x17},
      {"model 14 has no maximum", 1760, (1u << 31) | (std::uint64_t{9} << 40), 0xC00, true, 0},
      {"model 13 is too old", 0x6D0, 0, 0xC00, false, 0}};
  for (const Case& c : cases) {
    installBlock(StatusSpec{.platformInfo = c.platformInfo,
                            .cores = {{1, 40, c.core0Performance, 2}, {1, 40, 0, 2}}},
                 c.signature);
    auto sensor = ZORTALVEROx86Monitor::frequencySensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                        firstDriver());
    ASSERT_EQ(sensor != nullptr, c.created) << c.what;
    if (sensor) {
      EXPECT_EQ(sensor->maximumBusRatio(), c.maximumBusRatio) << c.what;
    }
  }
}

}  // namespace
}  // namespace zor::testing
