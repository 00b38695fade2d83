// The processor-family variants: frequency rules and bus clocks, junction
// limits, the user-default keys of the 67184 family, the temperature target
// and turbo frequencies of the 67232 family and its descendants.

#include <gtest/gtest.h>

#include "cpu/ZORTALVEROx86MonitorCPU132688.h"
#include "cpu/ZORTALVEROx86MonitorCPU132800.h"
#include "cpu/ZORTALVEROx86MonitorCPU1760.h"
#include "cpu/ZORTALVEROx86MonitorCPU1776.h"
#include "cpu/ZORTALVEROx86MonitorCPU67184.h"
#include "cpu/ZORTALVEROx86MonitorCPU67232.h"
#include "cpu/ZORTALVEROx86MonitorCPU67296.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

constexpr std::int32_t kNoReading = -1;

std::int32_t fixed(double megahertz) {
  return static_cast<std::int32_t>(megahertz * 65536.0);
}

// --- Frequencies -------------------------------------------------------------

struct FrequencyCase {
  const char* what;
  std::uint32_t signature;
  std::uint64_t performanceStatus;
  std::uint64_t busSpeedCode;
  std::uint64_t platformInfo;  // bits 8..12: the maximum ratio
  std::int32_t expectedRaw;
};

class FrequencyTest : public CPUMonitorTest, public ::testing::WithParamInterface<FrequencyCase> {};

TEST_P(FrequencyTest, FollowsTheFamilyRule) {
  const FrequencyCase& c = GetParam();
  StatusSpec status;
  status.platformInfo = c.platformInfo;
  status.cores = {{10, 40, c.performanceStatus, c.busSpeedCode}};
  installBlock(status, c.signature);
  // Installing a machine replaces the standard defaults, so the key goes in afterwards.
  UserDefaults::standard().setObject(PlistValue::boolean(false), kFrequencyKey);
  auto variant = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(c.signature);
  ASSERT_NE(variant, nullptr);
  auto sensor = ZORTALVEROx86Monitor::frequencySensor(*variant, firstDriver());
  ASSERT_NE(sensor, nullptr) << c.what;
  EXPECT_EQ(sensor->rawValue(), c.expectedRaw) << c.what;
}

constexpr std::uint64_t kHalf = 1u << 14;
constexpr std::uint64_t kHigh = std::uint64_t{1} << 32;

INSTANTIATE_TEST_SUITE_P(
    Families, FrequencyTest,
    ::testing::Values(
        FrequencyCase{"1776 ratio 9 code 2", 1776, 9u << 8, 2, 11u << 8, fixed(1800.0)},
        FrequencyCase{"1776 ratio above the maximum", 1776, 12u << 8, 2, 11u << 8, kNoReading},
        FrequencyCase{"1776 code 6 is unknown", 1776, 6u << 8, 6, 11u << 8, kNoReading},
        FrequencyCase{"1776 upper code bits ignored", 1776, 6u << 8, kHigh | 4, 11u << 8,
                      fixed(6 * 333.33)},
        FrequencyCase{"1760 code 3", 1760, 7u << 8, 3, 0, fixed(7 * 166.67)},
        FrequencyCase{"1760 code 2 is unknown", 1760, 7u << 8, 2, 0, kNoReading},
        FrequencyCase{"1760 code with upper bits", 1760, 7u << 8, kHigh | 3, 0, kNoReading},
        FrequencyCase{"67184 half ratio code 1", 67184, (8u << 8) | kHalf, 1, 0,
                      fixed(8.5 * 133.33)},
        FrequencyCase{"67184 whole ratio code 6", 67184, 8u << 8, 6, 0, fixed(3200.0)},
        FrequencyCase{"67184 upper code bits ignored", 67184, 8u << 8, kHigh | 3, 0,
                      fixed(8 * 166.67)},
        FrequencyCase{"67184 not capped by the maximum", 67184, 31u << 8, 0, 6u << 8,
                      fixed(31 * 266.67)},
        FrequencyCase{"67232 has no rule", 67232, 20u << 8, 1, 0, kNoReading}));

TEST_F(CPUMonitorTest, The67184FrequencySensorNeedsItsKey) {
  StatusSpec status;
  status.cores = {{10, 40, 8u << 8, 1}};
  installBlock(status, 67184);
  auto& variant = ZORTALVEROx86MonitorCPU67184::monitorClassObject();
  EXPECT_EQ(ZORTALVEROx86Monitor::frequencySensor(variant, firstDriver()), nullptr);
  // Other families make theirs without it.
  EXPECT_NE(ZORTALVEROx86Monitor::frequencySensor(
                ZORTALVEROx86MonitorCPU67232::monitorClassObject(), firstDriver()),
            nullptr);
  UserDefaults::standard().setObject(PlistValue::integer(0), kFrequencyKey);
  EXPECT_NE(ZORTALVEROx86Monitor::frequencySensor(variant, firstDriver()), nullptr);
  EXPECT_TRUE(log_.lines().empty());
}

// --- Junction limits of the 67184 family -------------------------------------

struct JunctionCase {
  const char* brand;
  std::int32_t limit;
};

class JunctionTest : public CPUMonitorTest, public ::testing::WithParamInterface<JunctionCase> {};

TEST_P(JunctionTest, FollowsTheDisplayName) {
  const JunctionCase& c = GetParam();
  StatusSpec status;
  // The low-limit flag is set but plays no part for this family.
  status.statusFlags = 0x9;
  status.cores = uniformCores(2);
  installBlock(status, 67190, c.brand);
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 2u) << c.brand;
  EXPECT_EQ(sensors[0]->maximumJunctionTemperature(), c.limit) << c.brand;
  EXPECT_EQ(sensors[1]->rawValue(), (c.limit - 40) * 65536) << c.brand;
  EXPECT_EQ(sensors[0]->sensorLimitsArray(), (std::vector<std::int32_t>{c.limit, 0})) << c.brand;
}

INSTANTIATE_TEST_SUITE_P(
    DisplayNames, JunctionTest,
    ::testing::Values(JunctionCase{"Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", 100},
                      JunctionCase{"Intel(R) Core(TM)2 Quad CPU    Q9550  @ 2.83GHz", 100},
                      JunctionCase{"Intel(R) Core(TM)2 Extreme CPU X9650  @ 3.00GHz", 105},
                      JunctionCase{"Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz", 95},
                      JunctionCase{"Intel(R) Core(TM)2 Extreme CPU QX9770  @ 3.20GHz", 85},
                      JunctionCase{"Intel(R) Core(TM)2 Extreme CPU\tQX9770\t@ 3.20GHz", 85},
                      JunctionCase{"QX9770 @ 3.20GHz", 105},  // no word before the name
                      JunctionCase{"Intel(R) Core(TM)2 Duo CPU     T9300  @ 2.50GHz", 105},
                      JunctionCase{"Genuine Intel(R) CPU @ 2.00GHz", 105}));

// --- Xeon brands ---------------------------------------------------------------

TEST_F(CPUMonitorTest, XeonBrandsOfThe67184FamilyNeedTheirKey) {
  StatusSpec status;
  status.cores = uniformCores(4);
  installBlock(status, 67190, "Intel(R) Xeon(R) CPU           E5450  @ 3.00GHz");
  EXPECT_TRUE(monitors().empty());
  EXPECT_TRUE(log_.lines().empty());
  // Presence is all that counts: the value false still enables them.
  UserDefaults::standard().setObject(PlistValue::boolean(false), kXeonKey);
  EXPECT_EQ(monitors().size(), 4u);
}

// --- The 67232 family ----------------------------------------------------------

struct TargetCase {
  std::uint32_t signature;
  const char* className;
};

class TemperatureTargetTest : public CPUMonitorTest,
                              public ::testing::WithParamInterface<TargetCase> {};

TEST_P(TemperatureTargetTest, ComesFromTheFlagsOrFallsBackTo100WithAWarningPerCore) {
  const TargetCase& c = GetParam();
  StatusSpec status;
  status.statusFlags = 0x5F000031;
  status.cores = uniformCores(3);
  installBlock(status, c.signature, "Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz");
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 3u);
  EXPECT_EQ(sensors[0]->sensorClass().name, c.className);
  EXPECT_EQ(sensors[1]->rawValue(), 55 * 65536);
  EXPECT_EQ(sensors[1]->sensorLimitsArray(), (std::vector<std::int32_t>{95, 0}));
  EXPECT_TRUE(log_.lines().empty());

  status.statusFlags = 0x5F000021;  // bit 4 clear: the limit bits mean nothing
  publish(status);
  sensors = monitors();
  ASSERT_EQ(sensors.size(), 3u);
  EXPECT_EQ(sensors[2]->maximumJunctionTemperature(), 100);
  EXPECT_EQ(sensors[2]->rawValue(), 60 * 65536);
  ASSERT_EQ(log_.lines().size(), 3u);
  for (int core = 0; core < 3; ++core) {
    EXPECT_EQ(log_.lines()[core], std::string(c.className) +
                                      ": WARNING: could not determine temperature target "
                                      "(processor core " +
                                      std::to_string(core) + ")!\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Families, TemperatureTargetTest,
                         ::testing::Values(TargetCase{0x106A5, "ZORTALVEROx86MonitorCPU67232"},
                                           TargetCase{0x106E5, "ZORTALVEROx86MonitorCPU67296"},
                                           TargetCase{0x20652, "ZORTALVEROx86MonitorCPU132688"},
                                           TargetCase{0x206C2, "ZORTALVEROx86MonitorCPU132800"}));

struct TurboCase {
  const char* what;
  std::uint32_t signature;
  std::uint32_t statusFlags;
  std::uint64_t turboRatioLimits;
  std::optional<std::vector<std::uint64_t>> expected;
};

class TurboTest : public CPUMonitorTest, public ::testing::WithParamInterface<TurboCase> {};

TEST_P(TurboTest, ReadsOneRatioPerActiveCoreCount) {
  const TurboCase& c = GetParam();
  StatusSpec status;
  status.statusFlags = c.statusFlags;
  status.cores = uniformCores(6);
  status.turboRatioLimits = c.turboRatioLimits;
  installBlock(status, c.signature);
  auto variant = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(c.signature);
  ASSERT_NE(variant, nullptr);
  auto sensor = ZORTALVEROx86Monitor::temperatureSensor(*variant, firstDriver(), 0, 6);
  ASSERT_NE(sensor, nullptr);
  EXPECT_EQ(sensor->turboBoostFrequenciesArray(), c.expected) << c.what;
}

constexpr std::uint64_t kTurbo = 0x0000'1718'1A1A'1B1Cu;

INSTANTIATE_TEST_SUITE_P(
    Families, TurboTest,
    ::testing::Values(
        TurboCase{"67232 uses four bytes", 67232, 0x64000031, kTurbo,
                  std::vector<std::uint64_t>{3733333324u, 3599999991u, 3466666658u, 3466666658u}},
        TurboCase{"132800 uses six", 132800, 0x64000031, kTurbo,
                  std::vector<std::uint64_t>{3733333324u, 3599999991u, 3466666658u, 3466666658u,
                                             24u * 133333333u, 23u * 133333333u}},
        TurboCase{"zero bytes are skipped", 67232, 0x64000031, 0x1A00'001Cu,
                  std::vector<std::uint64_t>{28u * 133333333u, 26u * 133333333u}},
        TurboCase{"bit 5 clear", 67232, 0x64000011, kTurbo, std::nullopt},
        TurboCase{"67184 has none", 67184, 0x64000031, kTurbo, std::nullopt}));

TEST_F(CPUMonitorTest, TurboFrequenciesNeedTheBlockStillThere) {
  StatusSpec status;
  status.statusFlags = 0x64000031;
  status.cores = uniformCores(2);
  status.turboRatioLimits = kTurbo;
  installBlock(status, 67232);
  auto sensor = monitors().at(0);
  ASSERT_TRUE(sensor->turboBoostFrequenciesArray().has_value());
  status.truncateBy = 1;
  publish(status);
  EXPECT_FALSE(sensor->turboBoostFrequenciesArray().has_value());
}

}  // namespace
}  // namespace zor::testing
