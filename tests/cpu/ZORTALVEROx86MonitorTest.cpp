// The CPU-monitor sensor: discovery, naming, signature fields, readings,
// the staleness window, the process-wide refresh request and the frequency
// sensor's choice of record.

#include <gtest/gtest.h>

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

// --- Discovery and naming ----------------------------------------------------

struct DiscoveryCase {
  const char* what;
  std::uint32_t driverVersion;
  std::uint32_t statusFlags;
  std::size_t cores;
  std::optional<std::uint32_t> announced;
  std::size_t truncateBy;
  std::size_t expectedSensors;
  std::uint32_t expectedVersion;  // 0 when the block is refused as a whole
};

class DiscoveryTest : public CPUMonitorTest, public ::testing::WithParamInterface<DiscoveryCase> {};

TEST_P(DiscoveryTest, NeedsANewEnoughDriverAndAWholeBlock) {
  const DiscoveryCase& c = GetParam();
  StatusSpec status;
  status.driverVersion = c.driverVersion;
  status.statusFlags = c.statusFlags;
  status.cores = uniformCores(c.cores);
  status.announcedCores = c.announced;
  status.truncateBy = c.truncateBy;
  installBlock(status);
  EXPECT_EQ(monitors().size(), c.expectedSensors) << c.what;
  EXPECT_EQ(ZORTALVEROx86Monitor::versionCodeOfRunningDriver(), c.expectedVersion) << c.what;
  EXPECT_TRUE(ZORTALVEROx86Monitor::isDriverLoaded()) << c.what;
  EXPECT_TRUE(log_.lines().empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    VersionsFlagsAndTruncations, DiscoveryTest,
    ::testing::Values(
        DiscoveryCase{"driver version 6", 6, 0x1, 4, std::nullopt, 0, 0, 6},
        DiscoveryCase{"driver version 7", 7, 0x1, 4, std::nullopt, 0, 4, 7},
        DiscoveryCase{"version top bit set", 0x80000007u, 0x1, 4, std::nullopt, 0, 4, 0x80000007u},
        DiscoveryCase{"bit 0 clear", 7, 0x3E, 4, std::nullopt, 0, 0, 7},
        DiscoveryCase{"empty block", 7, 0x1, 0, std::nullopt, 28, 0, 0},
        DiscoveryCase{"one byte short of the header", 7, 0x1, 0, std::nullopt, 9, 0, 0},
        DiscoveryCase{"trailer cut by one byte", 7, 0x1, 2, std::nullopt, 1, 0, 0},
        DiscoveryCase{"announces records it lacks", 7, 0x1, 2, 3u, 0, 0, 0},
        DiscoveryCase{"announces 2^32 - 1 records", 7, 0x1, 1, 0xFFFFFFFFu, 0, 0, 0},
        DiscoveryCase{"size wraps in 32 bits", 7, 0x1, 1, 119304648u, 0, 0, 0}));

struct NamingCase {
  std::size_t cores;
  const char* first;
  const char* last;
};

class NamingTest : public CPUMonitorTest, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(NamingTest, LocationsCountFromOneAndSortInCoreOrder) {
  const NamingCase& c = GetParam();
  StatusSpec status;
  status.cores = uniformCores(c.cores);
  installBlock(status, 67232);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), c.cores);
  EXPECT_EQ(sensors.front()->locationIdentifier(), c.first);
  EXPECT_EQ(sensors.back()->locationIdentifier(), c.last);
  EXPECT_EQ(sensors.back()->uniqueIdentifier(), "talvero.dts." + std::to_string(c.cores - 1));
  for (std::size_t i = 1; i < sensors.size(); ++i) {
    EXPECT_LT(sensors[i - 1]->compare(*sensors[i]), 0) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(CoreCounts, NamingTest,
                         ::testing::Values(NamingCase{4, "CPU Core 1", "CPU Core 4"},
                                           NamingCase{9, "CPU Core 1", "CPU Core 9"},
                                           NamingCase{10, "CPU Core 01", "CPU Core 10"},
                                           NamingCase{12, "CPU Core 01", "CPU Core 12"}));

// --- Signature ---------------------------------------------------------------

struct SignatureCase {
  std::uint32_t signature;
  std::uint8_t family, model, stepping, extendedModel, extendedFamily;
};

class SignatureTest : public CPUMonitorTest, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureTest, FieldsFollowTheFamilyRules) {
  const SignatureCase& c = GetParam();
  StatusSpec status;
  status.cores = uniformCores(1);
  installBlock(status, c.signature);
  auto sensor = baseSensor();
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->cpuSignature(), c.signature);
  EXPECT_EQ(sensor->cpuFamily(), c.family);
  EXPECT_EQ(sensor->cpuModel(), c.model);
  EXPECT_EQ(sensor->cpuStepping(), c.stepping);
  EXPECT_EQ(sensor->extendedModelID(), c.extendedModel);
  EXPECT_EQ(sensor->extendedFamiliyID(), c.extendedFamily);
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, SignatureTest,
    ::testing::Values(SignatureCase{67190, 6, 23, 6, 1, 0},           // 0x10676
                      SignatureCase{0xF43, 15, 4, 3, 0, 0},           // family 15 without extension
                      SignatureCase{0x00F20F41, 30, 0x24, 1, 2, 15},  // extended family and model
                      SignatureCase{0x00010571, 5, 7, 1, 1, 0}));     // no extended model below 6

struct ClassCase {
  std::uint32_t signature;
  const char* className;
};

class ClassLookupTest : public CPUMonitorTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ClassLookupTest, FindsTheVariantWithTheSteppingCleared) {
  const ClassCase& c = GetParam();
  const ZORTALVEROx86MonitorClass* found =
      ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(c.signature);
  if (c.className == nullptr) {
    EXPECT_EQ(found, nullptr);
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_EQ(log_.lines()[0],
              "WARNING: The current implementation has no specific code to support CPUs with "
              "signature " +
                  std::to_string(c.signature) + "!\n");
  } else {
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->name(), c.className);
    EXPECT_TRUE(log_.lines().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Signatures, ClassLookupTest,
                         ::testing::Values(ClassCase{67190, "ZORTALVEROx86MonitorCPU67184"},
                                           ClassCase{1760, "ZORTALVEROx86MonitorCPU1760"},
                                           ClassCase{1781, "ZORTALVEROx86MonitorCPU1776"},
                                           ClassCase{0x106A5, "ZORTALVEROx86MonitorCPU67232"},
                                           ClassCase{0x106E5, "ZORTALVEROx86MonitorCPU67296"},
                                           ClassCase{0x20652, "ZORTALVEROx86MonitorCPU132688"},
                                           ClassCase{0x206C2, "ZORTALVEROx86MonitorCPU132800"},
                                           ClassCase{0x206D7, nullptr}, ClassCase{1234, nullptr},
                                           ClassCase{0, nullptr}));

// --- Readings ----------------------------------------------------------------

struct TemperatureCase {
  std::uint32_t statusFlags;
  std::int32_t thermalReading;
  std::int32_t expectedRaw;
};

class TemperatureTest : public CPUMonitorTest,
                        public ::testing::WithParamInterface<TemperatureCase> {};

TEST_P(TemperatureTest, CountsDownFromTheJunctionLimit) {
  const TemperatureCase& c = GetParam();
  StatusSpec status;
  status.statusFlags = c.statusFlags;
  status.cores = uniformCores(2, kStartSeconds, c.thermalReading);
  installBlock(status);
  auto sensor = baseSensor(1, 2);
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->rawValue(), c.expectedRaw);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, TemperatureTest,
    ::testing::Values(TemperatureCase{0x1, 42, fixed(58)},    // limit 100
                      TemperatureCase{0x9, 42, fixed(43)},    // low limit 85
                      TemperatureCase{0x1, 0, kNoReading},    // no reading
                      TemperatureCase{0x1, 100, kNoReading},  // 0 degrees counts as none
                      TemperatureCase{0x1, 101, fixed(-1)},   // below zero is a reading
                      TemperatureCase{0x1, -20, fixed(120)}));

// --- Staleness ---------------------------------------------------------------

struct StalenessCase {
  const char* what;
  std::size_t cores;
  std::size_t core;
  double secondsSinceLastReading;
  std::int64_t recordAge;
  bool fresh;
};

class StalenessTest : public CPUMonitorTest, public ::testing::WithParamInterface<StalenessCase> {};

// The window is the time since the last reading times the core count times 12.
TEST_P(StalenessTest, AcceptsRecordsWithinTheWindow) {
  const StalenessCase& c = GetParam();
  StatusSpec status;
  status.cores = uniformCores(c.cores);
  installBlock(status);
  auto sensor = monitors().at(c.core);
  ASSERT_EQ(sensor->rawValue(), fixed(60));
  EXPECT_EQ(sensor->timeStampOfLastAccess(), now());
  clock_.advance(c.secondsSinceLastReading);
  status.cores[c.core].updateTime = now() - static_cast<std::uint32_t>(c.recordAge);
  publish(status);
  EXPECT_EQ(sensor->rawValue(), c.fresh ? fixed(60) : kNoReading) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Windows, StalenessTest,
    ::testing::Values(StalenessCase{"2 cores, 5 s: 120 s old", 2, 0, 5, 120, true},
                      StalenessCase{"2 cores, 5 s: 121 s old", 2, 0, 5, 121, false},
                      StalenessCase{"8 cores, 2 s: 192 s old", 8, 3, 2, 192, true},
                      StalenessCase{"8 cores, 2 s: 193 s old", 8, 3, 2, 193, false},
                      StalenessCase{"same second: never updated", 2, 1, 0.9, 1'700'000'000, true},
                      StalenessCase{"from the future", 2, 0, 3, -1, false}));

TEST_F(CPUMonitorTest, TheFirstReadingComputesItsWindowFromTheTimeOfDayWrapping) {
  // 1789569707 x 2 cores x 12 wraps in 32 bits to a window of only 8 seconds.
  clock_.clock().set(1789569707.0);
  StatusSpec status;
  status.cores = uniformCores(2, 1789569707u - 9, 40);
  installBlock(status);
  auto stale = monitors().at(0);
  EXPECT_EQ(stale->rawValue(), kNoReading);

  status.cores = uniformCores(2, 1789569707u - 8, 40);
  publish(status);
  auto fresh = monitors().at(0);
  EXPECT_EQ(fresh->rawValue(), fixed(60));
}

TEST_F(CPUMonitorTest, ABlockThatShrinksAfterDiscoveryGivesNoReading) {
  StatusSpec status;
  status.cores = uniformCores(4);
  installBlock(status);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 4u);

  StatusSpec shrunk = status;
  shrunk.cores.resize(2);
  publish(shrunk);  // honest about its two cores
  EXPECT_EQ(sensors[1]->rawValue(), fixed(60));
  EXPECT_EQ(sensors[3]->rawValue(), kNoReading);

  shrunk.announcedCores = 4;  // claims four but holds two
  publish(shrunk);
  for (auto& sensor : sensors) EXPECT_EQ(sensor->rawValue(), kNoReading);

  MachineEntry* entry = machine_->registry().findEntryNamed("CPUMonitor");
  entry->properties().erase("CPUStatus");
  EXPECT_EQ(sensors[0]->rawValue(), kNoReading);
}

// --- Refresh requests --------------------------------------------------------

class RefreshTest : public CPUMonitorTest {
 protected:
  void installLive(std::size_t cores) {
    StatusSpec status;
    status.cores = uniformCores(cores, 0, 40);
    installBlock(status, 67232, "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz", true);
  }
  std::uint64_t forceUpdates() {
    auto* driver = dynamic_cast<CPUMonitorDriverBehaviour*>(
        &machine_->registry().findEntryNamed("CPUMonitor")->behaviour());
    return driver ? driver->forceUpdateCount() : 0;
  }
};

TEST_F(RefreshTest, ManySensorsInOneSecondCauseOneForceUpdate) {
  installLive(8);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 8u);
  for (auto& sensor : sensors) EXPECT_NE(sensor->rawValue(), kNoReading);
  EXPECT_EQ(forceUpdates(), 1u);
  clock_.advance(0.5);
  for (auto& sensor : sensors) sensor->rawValue();
  EXPECT_EQ(forceUpdates(), 1u);
  clock_.advance(0.5);
  for (auto& sensor : sensors) sensor->rawValue();
  EXPECT_EQ(forceUpdates(), 2u);
  EXPECT_EQ(ZORTALVEROx86Monitor::nextForceUpdateTime(), static_cast<std::int32_t>(now() + 1));
}

// --- Frequency sensor --------------------------------------------------------

TEST_F(CPUMonitorTest, TheFrequencyFollowsTheMostRecentlyUpdatedCore) {
  StatusSpec status;
  // Ratios 9, 10, 11 at bus code 2 (200 MHz); core 2 is newest, core 1 ties it later.
  status.cores = {{100, 40, 9u << 8, 2}, {300, 40, 10u << 8, 2}, {300, 40, 11u << 8, 2}};
  status.platformInfo = 12u << 8;
  installBlock(status, 1776);
  auto sensor = ZORTALVEROx86Monitor::frequencySensor(
      ZORTALVEROx86MonitorCPU1776::monitorClassObject(), firstDriver());
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->uniqueIdentifier(), "talvero.ia32.frequency");
  EXPECT_EQ(sensor->locationIdentifier(), "CPU Clock Frequency");
  EXPECT_EQ(sensor->unit(), "MHz");
  EXPECT_EQ(sensor->maximumBusRatio(), 12);
  // The tie at 300 goes to the lower index: ratio 10.
  EXPECT_EQ(sensor->rawValue(), static_cast<std::int32_t>(10 * 200.0 * 65536.0));

  status.cores = uniformCores(3, 0, 40);
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

struct MaximumRatioCase {
  const char* what;
  std::uint32_t signature;
  std::uint64_t core0Performance;
  std::uint64_t platformInfo;
  bool created;
  std::uint8_t maximumBusRatio;
};

class FrequencySensorInitTest : public CPUMonitorTest,
                                public ::testing::WithParamInterface<MaximumRatioCase> {};

TEST_P(FrequencySensorInitTest, TakesTheMaximumRatioFromCoreZeroOrThePlatform) {
  const MaximumRatioCase& c = GetParam();
  StatusSpec status;
  status.cores = {{1, 40, c.core0Performance, 2}, {1, 40, 0, 2}};
  status.platformInfo = c.platformInfo;
  installBlock(status, c.signature);
  auto sensor = ZORTALVEROx86Monitor::frequencySensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                      firstDriver());
  ASSERT_EQ(sensor != nullptr, c.created) << c.what;
  if (sensor) {
    EXPECT_EQ(sensor->maximumBusRatio(), c.maximumBusRatio) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, FrequencySensorInitTest,
    ::testing::Values(
        MaximumRatioCase{"bit 31 set", 1776, (std::uint64_t{0x1B} << 40) | (1u << 31) | 0x900,
                         0xC00, true, 0x1B},
        MaximumRatioCase{"bit 31 clear", 1776, std::uint64_t{0x1B} << 40, 0x1C00, true, 0x1C},
        MaximumRatioCase{"platform bits beyond 12 ignored", 1776, 0, 0xFFFFFFFFFFFFF7FFu, true,
                         0x17},
        MaximumRatioCase{"model 14 has no maximum", 1760, (1u << 31) | (std::uint64_t{9} << 40),
                         0xC00, true, 0},
        MaximumRatioCase{"model 13 is too old", 0x6D0, 0, 0xC00, false, 0}));

}  // namespace
}  // namespace zor::testing
