// The CPU-monitor sensor: discovery, naming, signature fields, readings,
// the staleness window, the process-wide refresh request and the frequency
// sensor's choice of record.

#include <gtest/gtest.h>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "cpu/ZORTALVEROx86MonitorCPU1776.h"
#include "platform/simulated/CPUMonitorDriverBehaviour.h"
#include "sensors/ScopedSensorClassRegistry.h"
#include "sensors/ZORSensorValueConverter.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

constexpr std::int32_t kNoReading = -1;

std::int32_t fixed(std::int32_t celsius) {
  return celsius * 65536;
}

// --- Discovery ---------------------------------------------------------------

struct DiscoveryCase {
  const char* what;
  std::uint32_t driverVersion;
  std::uint32_t statusFlags;
  std::size_t expectedSensors;
};

class DiscoveryTest : public CPUMonitorTest, public ::testing::WithParamInterface<DiscoveryCase> {};

TEST_P(DiscoveryTest, NeedsANewEnoughDriverThatCanReadTemperatures) {
  const DiscoveryCase& c = GetParam();
  StatusSpec status;
  status.driverVersion = c.driverVersion;
  status.statusFlags = c.statusFlags;
  status.cores = uniformCores(4, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status);
  EXPECT_EQ(monitors().size(), c.expectedSensors) << c.what;
  EXPECT_TRUE(log_.lines().empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(VersionsAndFlags, DiscoveryTest,
                         ::testing::Values(DiscoveryCase{"driver version 6", 6, 0x1, 0},
                                           DiscoveryCase{"driver version 7", 7, 0x1, 4},
                                           DiscoveryCase{"driver version 0", 0, 0x1, 0},
                                           DiscoveryCase{"version with the top bit set",
                                                         0x80000007u, 0x1, 4},
                                           DiscoveryCase{"bit 0 clear", 7, 0x3E, 0},
                                           DiscoveryCase{"only bit 0", 7, 0x1, 4}));

TEST_F(CPUMonitorTest, AnEntryMissingOneOfTheThreePropertiesGivesNoSensors) {
  StatusSpec status;
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), 40);
  DriverSpec noBrand, noSignature, noStatus, textStatus;
  noBrand.brand.reset();
  noBrand.status = PlistValue(encodeStatus(status));
  noSignature.signature.reset();
  noSignature.status = PlistValue(encodeStatus(status));
  textStatus.status = PlistValue("status");
  install({noBrand, noSignature, noStatus, textStatus});
  EXPECT_TRUE(monitors().empty());
  EXPECT_TRUE(log_.lines().empty());
}

struct ShortDiscoveryCase {
  const char* what;
  std::size_t cores;
  std::optional<std::uint32_t> announced;
  std::size_t truncateBy;
};

class ShortBlockDiscoveryTest : public CPUMonitorTest,
                                public ::testing::WithParamInterface<ShortDiscoveryCase> {};

TEST_P(ShortBlockDiscoveryTest, ABlockShorterThanItSaysGivesNoSensors) {
  const ShortDiscoveryCase& c = GetParam();
  StatusSpec status;
  status.cores = uniformCores(c.cores, static_cast<std::uint32_t>(kStart), 40);
  status.announcedCores = c.announced;
  status.truncateBy = c.truncateBy;
  installBlock(status);
  EXPECT_TRUE(monitors().empty()) << c.what;
  EXPECT_EQ(ZORTALVEROx86Monitor::versionCodeOfRunningDriver(), 0u) << c.what;
  EXPECT_TRUE(ZORTALVEROx86Monitor::isDriverLoaded()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Truncations, ShortBlockDiscoveryTest,
    ::testing::Values(ShortDiscoveryCase{"shorter than the header", 0, std::nullopt, 10},
                      ShortDiscoveryCase{"records announced but missing", 2, 6u, 0},
                      ShortDiscoveryCase{"last record cut", 2, std::nullopt, 9},
                      ShortDiscoveryCase{"trailer missing", 2, std::nullopt, 8},
                      ShortDiscoveryCase{"core count 2^32 - 1", 2, 0xFFFFFFFFu, 0}));

TEST_F(CPUMonitorTest, DiscoveryWalksEveryDriverAndSkipsTheUnknownProcessor) {
  StatusSpec status;
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), 40);
  DriverSpec unknown, known;
  unknown.name = "first";
  unknown.signature = 1234;
  unknown.status = PlistValue(encodeStatus(status));
  known.name = "second";
  known.status = PlistValue(encodeStatus(status));
  install({unknown, known});

  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 2u);
  EXPECT_EQ(sensors[0]->sensorClass().name, "ZORTALVEROx86MonitorCPU67184");
  ASSERT_EQ(log_.lines().size(), 1u);
  EXPECT_EQ(log_.lines()[0],
            "WARNING: The current implementation has no specific code to support CPUs with "
            "signature 1234!\n");
}

TEST_F(CPUMonitorTest, FourCoresAreNamedFromOneAndIdentifiedFromZero) {
  StatusSpec status;
  status.cores = uniformCores(4, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(sensors[i]->uniqueIdentifier(), "talvero.dts." + std::to_string(i));
    EXPECT_EQ(sensors[i]->locationIdentifier(), "CPU Core " + std::to_string(i + 1));
    EXPECT_EQ(sensors[i]->cpuIndex(), static_cast<std::int32_t>(i));
    EXPECT_EQ(sensors[i]->sensorName(), "Intel(R) Core(TM)2 Duo CPU     T7700  @ 2.40GHz");
    EXPECT_EQ(sensors[i]->sensorType(), 1);
    EXPECT_EQ(sensors[i]->quantityType(), 1);
    EXPECT_EQ(sensors[i]->precision(), 1.0);
    EXPECT_EQ(sensors[i]->accuracy(), 0.0);
    EXPECT_EQ(sensors[i]->unit(), "C");
  }
}

TEST_F(CPUMonitorTest, TwelveCoresGetTwoDigitLocationsThatSortInCoreOrder) {
  StatusSpec status;
  status.cores = uniformCores(12, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status, 67232);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 12u);
  EXPECT_EQ(sensors.front()->locationIdentifier(), "CPU Core 01");
  EXPECT_EQ(sensors[8]->locationIdentifier(), "CPU Core 09");
  EXPECT_EQ(sensors.back()->locationIdentifier(), "CPU Core 12");
  EXPECT_EQ(sensors.back()->uniqueIdentifier(), "talvero.dts.11");
  for (std::size_t i = 1; i < sensors.size(); ++i) {
    EXPECT_LT(sensors[i - 1]->compare(*sensors[i]), 0) << i;
  }
}

TEST_F(CPUMonitorTest, NineCoresKeepOneDigitAndTenGetTwo) {
  StatusSpec status;
  status.cores = uniformCores(9, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status, 67232);
  EXPECT_EQ(monitors().back()->locationIdentifier(), "CPU Core 9");
  status.cores = uniformCores(10, static_cast<std::uint32_t>(kStart), 40);
  publish(status);
  EXPECT_EQ(monitors().front()->locationIdentifier(), "CPU Core 01");
  EXPECT_EQ(monitors().back()->locationIdentifier(), "CPU Core 10");
}

TEST_F(CPUMonitorTest, TheClassRegistersItselfAndAnswersThroughTheSensorRegistry) {
  ScopedSensorClassRegistry scope;
  ZORTALVEROx86Monitor::load();
  ASSERT_EQ(ZORSensor::knownSensorClasses().size(), 1u);
  EXPECT_EQ(ZORSensor::knownSensorClasses()[0]->name, "ZORTALVEROx86Monitor");
  StatusSpec status;
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status);
  auto sensors = ZORSensor::allSensors();
  ASSERT_EQ(sensors.size(), 2u);
  EXPECT_EQ(sensors[1]->locationIdentifier(), "CPU Core 2");
}

// --- Signature ---------------------------------------------------------------

struct SignatureCase {
  std::uint32_t signature;
  std::uint8_t family, model, stepping, extendedModel, extendedFamily;
};

class SignatureTest : public CPUMonitorTest, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureTest, FieldsFollowTheFamilyRules) {
  const SignatureCase& c = GetParam();
  StatusSpec status;
  status.cores = uniformCores(1, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status, c.signature);
  auto sensor = ZORTALVEROx86Monitor::temperatureSensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                        firstDriver(), 0, 1);
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
                      SignatureCase{0x000306A9, 6, 0x3A, 9, 3, 0},
                      SignatureCase{0x00010571, 5, 7, 1, 1, 0}));  // no extended model below 6

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

// --- Display name ------------------------------------------------------------

struct DisplayNameCase {
  const char* brand;
  std::optional<std::string> displayName;
};

class DisplayNameTest : public CPUMonitorTest,
                        public ::testing::WithParamInterface<DisplayNameCase> {};

TEST_P(DisplayNameTest, IsTheWordBeforeTheAt) {
  const DisplayNameCase& c = GetParam();
  StatusSpec status;
  status.cores = uniformCores(1, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status, 67190, c.brand);
  auto sensor = ZORTALVEROx86Monitor::temperatureSensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                        firstDriver(), 0, 1);
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->cpuDisplayName(), c.displayName) << c.brand;
}

INSTANTIATE_TEST_SUITE_P(
    Brands, DisplayNameTest,
    ::testing::Values(DisplayNameCase{"Intel(R) Core(TM)2 Quad CPU    Q9550  @ 2.83GHz", "Q9550"},
                      DisplayNameCase{"Intel(R) Xeon(R) CPU\tE5450\t@ 3.00GHz", "E5450"},
                      DisplayNameCase{"Intel(R) Core(TM)2 Duo CPU T9300", std::nullopt},
                      DisplayNameCase{"Q9550 @ 2.83GHz", std::nullopt},
                      DisplayNameCase{"   Q9550 @ 2.83GHz", std::nullopt},
                      DisplayNameCase{"@ 2.83GHz", std::nullopt}, DisplayNameCase{"", std::nullopt},
                      DisplayNameCase{"A B @ x @ y", "B"}));

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
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), c.thermalReading);
  installBlock(status);
  auto sensor = ZORTALVEROx86Monitor::temperatureSensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                        firstDriver(), 1, 2);
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->rawValue(), c.expectedRaw);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, TemperatureTest,
    ::testing::Values(TemperatureCase{0x1, 42, fixed(58)},    // limit 100
                      TemperatureCase{0x9, 42, fixed(43)},    // low limit 85
                      TemperatureCase{0x1, 0, kNoReading},    // no reading
                      TemperatureCase{0x1, 100, kNoReading},  // 0 degrees counts as none
                      TemperatureCase{0x9, 85, kNoReading},
                      TemperatureCase{0x1, 101, fixed(-1)},  // below zero is a reading
                      TemperatureCase{0x1, -20, fixed(120)}));

TEST_F(CPUMonitorTest, ReadingsConvertAsSixteenDotSixteenFixedPoint) {
  StatusSpec status;
  status.cores = uniformCores(1, static_cast<std::uint32_t>(kStart), 42);
  installBlock(status);
  auto sensor = monitors().at(0);
  auto converter = sensor->valueConverter();
  EXPECT_DOUBLE_EQ(converter->valueForRawSensorValue(sensor->rawValue()), 58.0);
  EXPECT_DOUBLE_EQ(converter->valueForRawSensorValue(98304), 1.5);
  EXPECT_EQ(sensor->unifiedSensorLocation(), "T:CPU Core 1");
  EXPECT_EQ(sensor->maximumBusRatio(), 0);
}

TEST_F(CPUMonitorTest, BaseClassHasNoLimitsTurboOrFrequencyRule) {
  StatusSpec status;
  status.cores = uniformCores(1, static_cast<std::uint32_t>(kStart), 42);
  installBlock(status);
  auto sensor = ZORTALVEROx86Monitor::temperatureSensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                        firstDriver(), 0, 1);
  ASSERT_NE(sensor, nullptr);
  EXPECT_FALSE(sensor->sensorLimitsArray().has_value());
  EXPECT_FALSE(sensor->turboBoostFrequenciesArray().has_value());
  EXPECT_EQ(sensor->frequencyForStatusRecord(CPUCoreStatusRecord{1, 40, 9u << 8, 2}), 0.0);
}

TEST_F(CPUMonitorTest, TheInformationQuantityTellsWhetherTheCoreIsNearItsLimit) {
  StatusSpec status;
  status.cores = {{static_cast<std::uint32_t>(kStart), 9, 0, 0},
                  {static_cast<std::uint32_t>(kStart), 10, 0, 0},
                  {static_cast<std::uint32_t>(kStart), 0, 0, 0},
                  {static_cast<std::uint32_t>(kStart), -3, 0, 0}};
  installBlock(status);
  const std::int32_t expected[] = {65536, 0, kNoReading, 65536};
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    sensors[i]->setQuantityType(11);
    EXPECT_EQ(sensors[i]->rawValue(), expected[i]) << i;
    EXPECT_EQ(sensors[i]->unit(), "");
    EXPECT_FALSE(sensors[i]->unifiedSensorLocation().has_value());
  }
  sensors[0]->setQuantityType(2);
  EXPECT_EQ(sensors[0]->rawValue(), kNoReading);
}

// --- Staleness ---------------------------------------------------------------

TEST_F(CPUMonitorTest, ReadingsFiveSecondsApartAcceptRecordsUpTo120SecondsOld) {
  StatusSpec status;
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status);
  auto sensor = monitors().at(0);
  ASSERT_EQ(sensor->rawValue(), fixed(60));
  EXPECT_EQ(sensor->timeStampOfLastAccess(), now());

  clock_.advance(5);
  status.cores[0].updateTime = now() - 120;
  publish(status);
  EXPECT_EQ(sensor->rawValue(), fixed(60));

  clock_.advance(5);
  status.cores[0].updateTime = now() - 121;
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

TEST_F(CPUMonitorTest, TheWindowGrowsWithTheCoreCount) {
  StatusSpec status;
  status.cores = uniformCores(8, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status, 67232);
  auto sensor = monitors().at(3);
  ASSERT_NE(sensor->rawValue(), kNoReading);
  clock_.advance(2);
  status.cores[3].updateTime = now() - 2 * 8 * 12;
  publish(status);
  EXPECT_NE(sensor->rawValue(), kNoReading);
  clock_.advance(2);
  status.cores[3].updateTime = now() - 2 * 8 * 12 - 1;
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

TEST_F(CPUMonitorTest, TwoReadingsInOneSecondAcceptAnyRecord) {
  StatusSpec status;
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status);
  auto sensor = monitors().at(1);
  ASSERT_EQ(sensor->rawValue(), fixed(60));
  status.cores[1].updateTime = 0;
  publish(status);
  clock_.advance(0.9);
  EXPECT_EQ(sensor->rawValue(), fixed(60));
  // The time stamp moved on, so a second later the limit is small again.
  clock_.advance(1);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

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

TEST_F(CPUMonitorTest, ARecordFromTheFutureIsStaleUnderUnsignedArithmetic) {
  StatusSpec status;
  status.cores = uniformCores(2, static_cast<std::uint32_t>(kStart), 40);
  installBlock(status);
  auto sensor = monitors().at(0);
  ASSERT_EQ(sensor->rawValue(), fixed(60));
  clock_.advance(3);
  status.cores[0].updateTime = now() + 1;
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

TEST_F(CPUMonitorTest, ABlockThatShrinksAfterDiscoveryGivesNoReading) {
  StatusSpec status;
  status.cores = uniformCores(4, static_cast<std::uint32_t>(kStart), 40);
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

  SimulatedEntry* entry = machine_->registry().findEntryNamed("CPUMonitor");
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

TEST_F(RefreshTest, TheRequestRefreshesRecordsThatWereNeverUpdated) {
  installLive(2);
  auto sensor = monitors().at(1);
  // The block came with update times of 0; the request makes them current.
  EXPECT_EQ(sensor->rawValue(), fixed(60));
}

TEST_F(RefreshTest, NoRequestBeforeTheRefreshClockSaysSo) {
  installLive(2);
  auto sensor = monitors().at(0);
  clock_.advance(10);
  ZORTALVEROx86Monitor::startRefreshClock();
  // A clock started later than now (another sensor family's process time) holds the request back.
  clock_.advance(-3);
  sensor->rawValue();
  EXPECT_EQ(forceUpdates(), 0u);
  clock_.advance(3);
  sensor->rawValue();
  EXPECT_EQ(forceUpdates(), 1u);
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
  EXPECT_EQ(sensor->cpuIndex(), -1);
  EXPECT_EQ(sensor->uniqueIdentifier(), "talvero.ia32.frequency");
  EXPECT_EQ(sensor->locationIdentifier(), "CPU Clock Frequency");
  EXPECT_EQ(sensor->quantityType(), 13);
  EXPECT_EQ(sensor->precision(), 0.0001);
  EXPECT_EQ(sensor->accuracy(), 0.0001);
  EXPECT_EQ(sensor->unit(), "MHz");
  EXPECT_EQ(sensor->maximumBusRatio(), 12);
  // The tie at 300 goes to the lower index: ratio 10.
  EXPECT_EQ(sensor->rawValue(), static_cast<std::int32_t>(10 * 200.0 * 65536.0));
  EXPECT_EQ(sensor->timeStampOfLastAccess(), 0u);

  status.cores = uniformCores(3, 0, 40);
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

TEST_F(CPUMonitorTest, FrequencyReadingsIgnoreStaleness) {
  StatusSpec status;
  status.cores = {{1, 40, 9u << 8, 2}};
  status.platformInfo = 12u << 8;
  installBlock(status, 1776);
  auto sensor = ZORTALVEROx86Monitor::frequencySensor(
      ZORTALVEROx86MonitorCPU1776::monitorClassObject(), firstDriver());
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->rawValue(), static_cast<std::int32_t>(9 * 200.0 * 65536.0));
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
        MaximumRatioCase{"model 13 is too old", 0x6D0, 0, 0xC00, false, 0},
        MaximumRatioCase{"family 15", 0xF43, 0, 0xC00, false, 0},
        MaximumRatioCase{"family 5", 0x570, 0, 0xC00, false, 0}));

TEST_F(CPUMonitorTest, AFrequencySensorNeedsACoreZeroRecord) {
  StatusSpec status;
  status.platformInfo = 0xC00;
  installBlock(status, 1776);
  EXPECT_EQ(ZORTALVEROx86Monitor::frequencySensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                  firstDriver()),
            nullptr);
}

// --- Driver facts ------------------------------------------------------------

TEST_F(CPUMonitorTest, DriverFactsComeFromTheFirstServiceWithABlock) {
  StatusSpec older, newer;
  older.driverVersion = 9;
  older.statusFlags = CPUStatusBlock::kAffectedByErratumAE18;
  newer.driverVersion = 11;
  DriverSpec noBlock, first, second;
  noBlock.name = "a";
  first.name = "b";
  first.status = PlistValue(encodeStatus(older));
  second.name = "c";
  second.status = PlistValue(encodeStatus(newer));
  install({noBlock, first, second});
  EXPECT_TRUE(ZORTALVEROx86Monitor::isDriverLoaded());
  EXPECT_EQ(ZORTALVEROx86Monitor::versionCodeOfRunningDriver(), 9u);
  EXPECT_TRUE(ZORTALVEROx86Monitor::systemIsAffectedByErratumAE18());
}

TEST_F(CPUMonitorTest, WithoutADriverThereAreNoFactsAndNoSensors) {
  install({});
  EXPECT_FALSE(ZORTALVEROx86Monitor::isDriverLoaded());
  EXPECT_EQ(ZORTALVEROx86Monitor::versionCodeOfRunningDriver(), 0u);
  EXPECT_FALSE(ZORTALVEROx86Monitor::systemIsAffectedByErratumAE18());
  EXPECT_TRUE(monitors().empty());
  EXPECT_TRUE(ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString("Xeon"));
}

TEST_F(CPUMonitorTest, AnInitialiserRefusesAMissingEntry) {
  install({});
  auto& base = ZORTALVEROx86Monitor::monitorClassObject();
  EXPECT_EQ(ZORTALVEROx86Monitor::temperatureSensor(base, nullptr, 0, 1), nullptr);
  EXPECT_EQ(ZORTALVEROx86Monitor::frequencySensor(base, nullptr), nullptr);
  auto bare = base.make();
  EXPECT_EQ(bare->cpuIndex(), -1);
  EXPECT_EQ(bare->rawValue(), kNoReading);
  EXPECT_EQ(bare->cpuBrand(), "");
}

}  // namespace
}  // namespace zor::testing
