// The CPU-monitor sensor: discovery, naming, variants, readings, the
// staleness window, the process-wide refresh request, the frequency sensor's
// choice of record, and the processor families' frequency rules, junction
// limits, user-default keys and temperature target.

#include <gtest/gtest.h>

#include <tuple>

#include "cpu/ZORTALVEROx86Monitor.h"
#include "cpu/ZORTALVEROx86MonitorCPU1776.h"
#include "cpu/ZORTALVEROx86MonitorCPU67184.h"
#include "cpu/ZORTALVEROx86MonitorCPU67232.h"
#include "platform/simulated/CPUMonitorDriverBehaviour.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

constexpr std::int32_t kNoReading = -1;

// A reading in the 16.16 fixed-point form the sensors return.
std::int32_t fixed(double value) {
  return static_cast<std::int32_t>(value * 65536.0);
}

constexpr std::uint64_t kHalf = 1u << 14;
constexpr std::uint64_t kHigh = std::uint64_t{1} << 32;

// {driver version, status flags, cores, announced cores, bytes cut, sensors}: a
// version from 7 on (top bit set or not) with bit 0 of the flags; the header,
// every announced record and the trailer present, the size counted beyond 32 bits.
TEST_F(CPUMonitorTest, DiscoveryNeedsANewEnoughDriverAndAWholeBlock) {
  using Case = std::tuple<std::uint32_t, std::uint32_t, std::size_t, std::optional<std::uint32_t>,
                          std::size_t, std::size_t>;
  const Case cases[] = {{6, 0x1, 4, std::nullopt, 0, 0},
                        {7, 0x1, 4, std::nullopt, 0, 4},
                        {0x80000007u, 0x1, 4, std::nullopt, 0, 4},
                        {7, 0x3E, 4, std::nullopt, 0, 0},
                        {7, 0x1, 0, std::nullopt, 9, 0},
                        {7, 0x1, 2, std::nullopt, 1, 0},
                        {7, 0x1, 2, 3u, 0, 0},
                        {7, 0x1, 1, 119304648u, 0, 0}};
  for (const auto& [version, flags, cores, announced, cut, sensors] : cases) {
    installBlock(StatusSpec{version, 0, flags, uniformCores(cores), announced, cut});
    EXPECT_EQ(monitors().size(), sensors) << version << " " << flags << " " << cores << " " << cut;
  }
}

TEST_F(CPUMonitorTest, LocationsCountFromOneAndSortInCoreOrder) {
  // {cores, first, last}: from ten cores on the numbers take two digits.
  const std::tuple<std::size_t, const char*, const char*> cases[] = {
      {9, "CPU Core 1", "CPU Core 9"}, {10, "CPU Core 01", "CPU Core 10"}};
  for (const auto& [cores, first, last] : cases) {
    installBlock(StatusSpec{.cores = uniformCores(cores)}, 67232);
    auto sensors = monitors();
    EXPECT_EQ(sensors.at(0)->locationIdentifier(), first);
    EXPECT_EQ(sensors.at(cores - 1)->locationIdentifier(), last);
    EXPECT_EQ(sensors.at(cores - 1)->uniqueIdentifier(),
              "talvero.dts." + std::to_string(cores - 1));
  }
}

TEST_F(CPUMonitorTest, VariantFoundBySignatureWithTheSteppingCleared) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {67190, "67184"},   {1760, "1760"},      {1781, "1776"},      {0x106A5, "67232"},
      {0x106E5, "67296"}, {0x20652, "132688"}, {0x206C2, "132800"}, {0x206D7, nullptr}};
  for (const auto& [signature, className] : cases) {
    log_.clear();
    auto found = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(signature);
    EXPECT_EQ(found ? found->name() : "",
              className ? "ZORTALVEROx86MonitorCPU" + std::string(className) : "");
    EXPECT_EQ(log_.lines().size(), className ? 0u : 1u) << signature;
  }
  EXPECT_EQ(log_.lines().at(0),
            "WARNING: The current implementation has no specific code to support CPUs with "
            "signature 132823!\n");
}

TEST_F(CPUMonitorTest, TemperatureCountsDownFromTheJunctionLimit) {
  // {status flags, thermal reading, raw value}
  const std::tuple<std::uint32_t, std::int32_t, std::int32_t> cases[] = {
      {0x1, 42, fixed(58)},    // limit 100
      {0x9, 42, fixed(43)},    // low limit 85
      {0x1, 0, kNoReading},    // no reading
      {0x1, 100, kNoReading},  // 0 degrees counts as none
      {0x1, 101, fixed(-1)}};  // below zero is a reading
  for (const auto& [flags, reading, raw] : cases) {
    installBlock(
        StatusSpec{.statusFlags = flags, .cores = uniformCores(2, kStartSeconds, reading)});
    EXPECT_EQ(monitors().at(1)->rawValue(), raw) << flags << " " << reading;
  }
}

// The window is the time since the last reading times the core count times 12.
TEST_F(CPUMonitorTest, RecordsAreAcceptedWithinTheStalenessWindow) {
  // {cores, core, seconds since the last reading, record age, fresh}
  const std::tuple<std::size_t, std::size_t, double, std::int64_t, bool> cases[] = {
      {2, 0, 5, 120, true},
      {2, 0, 5, 121, false},
      {8, 3, 2, 193, false},
      {2, 1, 0.9, 1'700'000'000, true},  // same second: never updated
      {2, 0, 3, -1, false}};             // from the future
  for (const auto& [cores, core, since, age, fresh] : cases) {
    clock_.clock().set(kStartSeconds);
    StatusSpec status{.cores = uniformCores(cores)};
    installBlock(status);
    auto sensor = monitors().at(core);
    ASSERT_EQ(sensor->rawValue(), fixed(60));
    clock_.advance(since);
    status.cores[core].updateTime =
        static_cast<std::uint32_t>(clock_.clock().now()) - static_cast<std::uint32_t>(age);
    publish(status);
    EXPECT_EQ(sensor->rawValue(), fresh ? fixed(60) : kNoReading) << cores << " " << age;
  }
}

TEST_F(CPUMonitorTest, TheFirstReadingComputesItsWindowFromTheTimeOfDayWrapping) {
  // 1789569707 x 2 cores x 12 wraps in 32 bits to a window of only 8 seconds.
  clock_.clock().set(1789569707.0);
  for (const auto& [age, raw] : {std::pair{9u, kNoReading}, {8u, fixed(60)}}) {
    installBlock(StatusSpec{.cores = uniformCores(2, 1789569707u - age, 40)});
    EXPECT_EQ(monitors().at(0)->rawValue(), raw) << age;
  }
}

TEST_F(CPUMonitorTest, ABlockThatShrinksAfterDiscoveryGivesNoReading) {
  StatusSpec status{.cores = uniformCores(4)};
  installBlock(status);
  auto sensors = monitors();
  const auto readings = [&] {
    std::vector<std::int32_t> values;
    for (auto& sensor : sensors) values.push_back(sensor->rawValue());
    return values;
  };
  status.cores.resize(2);
  publish(status);  // honest about its two cores
  EXPECT_EQ(readings(), (std::vector{fixed(60), fixed(60), kNoReading, kNoReading}));
  status.announcedCores = 4;  // claims four but holds two
  publish(status);
  EXPECT_EQ(readings(), std::vector(4, kNoReading));
}

TEST_F(CPUMonitorTest, ManySensorsInOneSecondCauseOneForceUpdate) {
  installBlock(StatusSpec{.cores = uniformCores(8, 0, 40)}, 67232,
               "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz", true);
  auto& driver = dynamic_cast<CPUMonitorDriverBehaviour&>(
      machine_->registry().findEntryNamed("CPUMonitor")->behaviour());
  auto sensors = monitors();
  for (const auto& [advance, updates] : {std::pair{0.0, 1u}, {0.5, 1u}, {0.5, 2u}}) {
    clock_.advance(advance);
    for (auto& sensor : sensors) EXPECT_NE(sensor->rawValue(), kNoReading);
    EXPECT_EQ(driver.forceUpdateCount(), updates) << advance;
  }
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
  // The tie at 300 goes to the lower index: ratio 10.
  EXPECT_EQ(sensor->rawValue(), fixed(10 * 200.0));
  status.cores = uniformCores(3, 0, 40);
  publish(status);
  EXPECT_EQ(sensor->rawValue(), kNoReading);
}

// {signature, core 0's performance status, platform info, maximum ratio; -1: no sensor}
TEST_F(CPUMonitorTest, FrequencySensorTakesTheMaximumRatioFromCoreZeroOrThePlatform) {
  const std::tuple<std::uint32_t, std::uint64_t, std::uint64_t, int> cases[] = {
      {1776, (std::uint64_t{0x1B} << 40) | (1u << 31) | 0x900, 0xC00, 0x1B},  // bit 31 set
      {1776, std::uint64_t{0x1B} << 40, 0x1C00, 0x1C},                        // bit 31 clear
      {1776, 0, 0xFFFFFFFFFFFFF7FFu, 0x17},                     // platform bits beyond 12 ignored
      {1760, (1u << 31) | (std::uint64_t{9} << 40), 0xC00, 0},  // model 14 has no maximum
      {0x6D0, 0, 0xC00, -1}};                                   // model 13 is too old
  for (const auto& [signature, performance, platform, maximum] : cases) {
    installBlock(
        StatusSpec{.platformInfo = platform, .cores = {{1, 40, performance, 2}, {1, 40, 0, 2}}},
        signature);
    auto sensor = ZORTALVEROx86Monitor::frequencySensor(ZORTALVEROx86Monitor::monitorClassObject(),
                                                        firstDriver());
    EXPECT_EQ(sensor ? sensor->maximumBusRatio() : -1, maximum) << signature << " " << platform;
  }
}

// {signature, performance status, bus speed code, platform info (bits 8..12:
// the maximum ratio), raw reading}
TEST_F(CPUMonitorTest, FrequencyFollowsTheFamilyRule) {
  const std::tuple<std::uint32_t, std::uint64_t, std::uint64_t, std::uint64_t, std::int32_t>
      cases[] = {{1776, 9u << 8, 2, 11u << 8, fixed(1800.0)},
                 {1776, 12u << 8, 2, 11u << 8, kNoReading},  // ratio above the maximum
                 {1776, 6u << 8, 6, 11u << 8, kNoReading},   // code 6 is unknown
                 {1776, 6u << 8, kHigh | 4, 11u << 8, fixed(6 * 333.33)},
                 {1760, 7u << 8, 3, 0, fixed(7 * 166.67)},
                 {1760, 7u << 8, 5, 0, fixed(7 * 100.0)},
                 {1760, 7u << 8, 2, 0, kNoReading},
                 {1760, 7u << 8, kHigh | 3, 0, kNoReading},  // upper code bits count here
                 {67184, (8u << 8) | kHalf, 1, 0, fixed(8.5 * 133.33)},
                 {67184, 8u << 8, kHigh | 3, 0, fixed(8 * 166.67)},
                 {67184, 31u << 8, 0, 6u << 8, fixed(31 * 266.67)},  // not capped by the maximum
                 {67232, 20u << 8, 1, 0, kNoReading}};               // no rule
  for (const auto& [signature, performance, code, platform, raw] : cases) {
    installBlock(StatusSpec{.platformInfo = platform, .cores = {{10, 40, performance, code}}},
                 signature);
    // Installing a machine replaces the standard defaults, so the key goes in afterwards.
    UserDefaults::standard().setObject(PlistValue::boolean(false), kFrequencyKey);
    auto variant = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(signature);
    ASSERT_NE(variant, nullptr);
    auto sensor = ZORTALVEROx86Monitor::frequencySensor(*variant, firstDriver());
    ASSERT_NE(sensor, nullptr) << signature;
    EXPECT_EQ(sensor->rawValue(), raw) << signature << " " << performance << " " << code;
  }
}

TEST_F(CPUMonitorTest, The67184FamilyNeedsItsKeysForFrequencyAndXeonBrands) {
  installBlock(StatusSpec{.cores = {{10, 40, 8u << 8, 1}}}, 67184);
  auto& variant = ZORTALVEROx86MonitorCPU67184::monitorClassObject();
  EXPECT_EQ(ZORTALVEROx86Monitor::frequencySensor(variant, firstDriver()), nullptr);
  UserDefaults::standard().setObject(PlistValue::integer(0), kFrequencyKey);
  EXPECT_NE(ZORTALVEROx86Monitor::frequencySensor(variant, firstDriver()), nullptr);

  installBlock(StatusSpec{.cores = uniformCores(4)}, 67190,
               "Intel(R) Xeon(R) CPU           E5450  @ 3.00GHz");
  EXPECT_TRUE(monitors().empty());
  // Presence is all that counts: the value false still enables them.
  UserDefaults::standard().setObject(PlistValue::boolean(false), kXeonKey);
  EXPECT_EQ(monitors().size(), 4u);
}

TEST_F(CPUMonitorTest, The67184JunctionLimitFollowsTheDisplayName) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", 100},
      {"Intel(R) Core(TM)2 Extreme CPU X9650  @ 3.00GHz", 105},
      {"Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz", 95},
      {"Intel(R) Core(TM)2 Extreme CPU QX9770  @ 3.20GHz", 85},
      {"Intel(R) Core(TM)2 Extreme CPU\tQX9770\t@ 3.20GHz", 85},
      {"QX9770 @ 3.20GHz", 105},  // no word before the name
      {"Genuine Intel(R) CPU @ 2.00GHz", 105}};
  for (const auto& [brand, limit] : cases) {
    // The low-limit flag is set but plays no part for this family.
    installBlock(StatusSpec{.statusFlags = 0x9, .cores = uniformCores(2)}, 67190, brand);
    EXPECT_EQ(monitors().at(1)->value(), limit - 40) << brand;
    // The junction limit is the core's upper and critical limit.
    EXPECT_EQ(monitors().at(0)->hardwareLimits(), (SensorLimits{limit, limit})) << brand;
  }
}

// The 67232 family's descendants inherit its temperature target unchanged.
TEST_F(CPUMonitorTest, TemperatureTargetComesFromTheFlagsOrFallsBackTo100WithAWarningPerCore) {
  StatusSpec status{.statusFlags = 0x5F000031, .cores = uniformCores(3)};
  installBlock(status, 0x106A5, "Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz");
  EXPECT_EQ(monitors().at(1)->rawValue(), fixed(55));
  EXPECT_EQ(monitors().at(1)->hardwareLimits(), (SensorLimits{95, 95}));

  status.statusFlags = 0x5F000021;  // bit 4 clear: the limit bits mean nothing
  publish(status);
  EXPECT_EQ(monitors().at(2)->rawValue(), fixed(60));
  ASSERT_EQ(log_.lines().size(), 3u);
  EXPECT_EQ(log_.lines()[2],
            "ZORTALVEROx86MonitorCPU67232: WARNING: could not determine temperature target "
            "(processor core 2)!\n");
}

// The driver's own block tells its version and the erratum; turbo frequencies
// are the 133.33 MHz bus times each nonzero ratio of the trailer for as many
// cores as the family boosts (4 for 67232), and only when the flags vouch for them.
TEST_F(CPUMonitorTest, DriverBlockTellsVersionErratumAndTurboFrequencies) {
  using Frequencies = std::vector<std::uint64_t>;
  const std::tuple<std::uint32_t, std::int64_t, bool, std::optional<Frequencies>> cases[] = {
      {0x25, 0x106A5, true, Frequencies{133333333ull * 28, 133333333ull * 26, 133333333ull * 24}},
      {0x11, 0x106A5, false, std::nullopt},
      {0x21, 1776, false, std::nullopt},
  };
  for (const auto& [flags, signature, erratum, turbo] : cases) {
    installBlock(StatusSpec{.driverVersion = 9,
                            .statusFlags = flags,
                            .cores = uniformCores(1),
                            .turboRatios = 0x09'18'1A'00'1C},
                 signature);
    auto monitor = std::dynamic_pointer_cast<ZORTALVEROx86Monitor>(monitors().at(0));
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->turboBoostFrequenciesArray(), turbo) << flags;
    EXPECT_TRUE(ZORTALVEROx86Monitor::isDriverLoaded());
    EXPECT_EQ(ZORTALVEROx86Monitor::versionCodeOfRunningDriver(), 9u);
    EXPECT_EQ(ZORTALVEROx86Monitor::systemIsAffectedByErratumAE18(), erratum) << flags;
  }
  Machine::install(nullptr);
  EXPECT_FALSE(ZORTALVEROx86Monitor::isDriverLoaded() ||
               ZORTALVEROx86Monitor::versionCodeOfRunningDriver() != 0);
}

}  // namespace
}  // namespace zor::testing
