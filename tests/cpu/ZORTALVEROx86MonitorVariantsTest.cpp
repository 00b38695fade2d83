// The processor-family variants: frequency rules and bus clocks, junction
// limits, the user-default keys of the 67184 family, the temperature target
// and turbo frequencies of the 67232 family and its descendants.

#include <gtest/gtest.h>

#include "cpu/ZORTALVEROx86MonitorCPU67184.h"
#include "cpu/ZORTALVEROx86MonitorCPU67232.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

constexpr std::int32_t kNoReading = -1;

std::int32_t fixed(double megahertz) {
  return static_cast<std::int32_t>(megahertz * 65536.0);
}

constexpr std::uint64_t kHalf = 1u << 14;
constexpr std::uint64_t kHigh = std::uint64_t{1} << 32;

TEST_F(CPUMonitorTest, FrequencyFollowsTheFamilyRule) {
  struct Case {
    const char* what;
    std::uint32_t signature;
    std::uint64_t performanceStatus, busSpeedCode;
    std::uint64_t platformInfo;  // bits 8..12: the maximum ratio
    std::int32_t expectedRaw;
  };
  const Case cases[] = {
      {"1776 ratio 9 code 2", 1776, 9u << 8, 2, 11u << 8, fixed(1800.0)},
      {"1776 ratio above the maximum", 1776, 12u << 8, 2, 11u << 8, kNoReading},
      {"1776 code 6 is unknown", 1776, 6u << 8, 6, 11u << 8, kNoReading},
      {"1776 upper code bits ignored", 1776, 6u << 8, kHigh | 4, 11u << 8, fixed(6 * 333.33)},
      {"1760 code 3", 1760, 7u << 8, 3, 0, fixed(7 * 166.67)},
      {"1760 code 5", 1760, 7u << 8, 5, 0, fixed(7 * 100.0)},
      {"1760 code 2 is unknown", 1760, 7u << 8, 2, 0, kNoReading},
      {"1760 code with upper bits", 1760, 7u << 8, kHigh | 3, 0, kNoReading},
      {"67184 half ratio code 1", 67184, (8u << 8) | kHalf, 1, 0, fixed(8.5 * 133.33)},
      {"67184 whole ratio code 6", 67184, 8u << 8, 6, 0, fixed(3200.0)},
      {"67184 upper code bits ignored", 67184, 8u << 8, kHigh | 3, 0, fixed(8 * 166.67)},
      {"67184 not capped by the maximum", 67184, 31u << 8, 0, 6u << 8, fixed(31 * 266.67)},
      {"67232 has no rule", 67232, 20u << 8, 1, 0, kNoReading}};
  for (const Case& c : cases) {
    installBlock(StatusSpec{.platformInfo = c.platformInfo,
                            .cores = {{10, 40, c.performanceStatus, c.busSpeedCode}}},
                 c.signature);
    // Installing a machine replaces the standard defaults, so the key goes in afterwards.
    UserDefaults::standard().setObject(PlistValue::boolean(false), kFrequencyKey);
    auto variant = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(c.signature);
    ASSERT_NE(variant, nullptr);
    auto sensor = ZORTALVEROx86Monitor::frequencySensor(*variant, firstDriver());
    ASSERT_NE(sensor, nullptr) << c.what;
    EXPECT_EQ(sensor->rawValue(), c.expectedRaw) << c.what;
  }
}

TEST_F(CPUMonitorTest, The67184FamilyNeedsItsKeysForFrequencyAndXeonBrands) {
  installBlock(StatusSpec{.cores = {{10, 40, 8u << 8, 1}}}, 67184);
  auto& variant = ZORTALVEROx86MonitorCPU67184::monitorClassObject();
  EXPECT_EQ(ZORTALVEROx86Monitor::frequencySensor(variant, firstDriver()), nullptr);
  // Other families make theirs without it.
  EXPECT_NE(ZORTALVEROx86Monitor::frequencySensor(
                ZORTALVEROx86MonitorCPU67232::monitorClassObject(), firstDriver()),
            nullptr);
  UserDefaults::standard().setObject(PlistValue::integer(0), kFrequencyKey);
  EXPECT_NE(ZORTALVEROx86Monitor::frequencySensor(variant, firstDriver()), nullptr);

  installBlock(StatusSpec{.cores = uniformCores(4)}, 67190,
               "Intel(R) Xeon(R) CPU           E5450  @ 3.00GHz");
  EXPECT_TRUE(monitors().empty());
  // Presence is all that counts: the value false still enables them.
  UserDefaults::standard().setObject(PlistValue::boolean(false), kXeonKey);
  EXPECT_EQ(monitors().size(), 4u);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(CPUMonitorTest, The67184JunctionLimitFollowsTheDisplayName) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", 100},
      {"Intel(R) Core(TM)2 Quad CPU    Q9550  @ 2.83GHz", 100},
      {"Intel(R) Core(TM)2 Extreme CPU X9650  @ 3.00GHz", 105},
      {"Intel(R) Core(TM)2 Extreme CPU QX9650  @ 3.00GHz", 95},
      {"Intel(R) Core(TM)2 Extreme CPU QX9770  @ 3.20GHz", 85},
      {"Intel(R) Core(TM)2 Extreme CPU\tQX9770\t@ 3.20GHz", 85},
      {"QX9770 @ 3.20GHz", 105},  // no word before the name
      {"Intel(R) Core(TM)2 Duo CPU     T9300  @ 2.50GHz", 105},
      {"Genuine Intel(R) CPU @ 2.00GHz", 105}};
  for (const auto& [brand, limit] : cases) {
    // The low-limit flag is set but plays no part for this family.
    installBlock(StatusSpec{.statusFlags = 0x9, .cores = uniformCores(2)}, 67190, brand);
    auto sensors = monitors();
    ASSERT_EQ(sensors.size(), 2u) << brand;
    EXPECT_EQ(sensors[1]->rawValue(), (limit - 40) * 65536) << brand;
    EXPECT_EQ(sensors[0]->sensorLimitsArray(), (std::vector<std::int32_t>{limit, 0})) << brand;
  }
}

// The 67232 family's descendants inherit its temperature target unchanged.
TEST_F(CPUMonitorTest, TemperatureTargetComesFromTheFlagsOrFallsBackTo100WithAWarningPerCore) {
  StatusSpec status{.statusFlags = 0x5F000031, .cores = uniformCores(3)};
  installBlock(status, 0x106A5, "Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz");
  auto sensors = monitors();
  ASSERT_EQ(sensors.size(), 3u);
  EXPECT_EQ(sensors[1]->rawValue(), 55 * 65536);
  EXPECT_EQ(sensors[1]->sensorLimitsArray(), (std::vector<std::int32_t>{95, 0}));
  EXPECT_TRUE(log_.lines().empty());

  status.statusFlags = 0x5F000021;  // bit 4 clear: the limit bits mean nothing
  publish(status);
  sensors = monitors();
  EXPECT_EQ(sensors[2]->rawValue(), 60 * 65536);
  ASSERT_EQ(log_.lines().size(), 3u);
  EXPECT_EQ(log_.lines()[2],
            "ZORTALVEROx86MonitorCPU67232: WARNING: could not determine temperature target "
            "(processor core 2)!\n");
}

TEST_F(CPUMonitorTest, TurboFrequenciesOnePerActiveCoreCount) {
  constexpr std::uint64_t kTurbo = 0x0000'1718'1A1A'1B1Cu;
  struct Case {
    const char* what;
    std::uint32_t signature, statusFlags;
    std::uint64_t turboRatioLimits;
    std::optional<std::vector<std::uint64_t>> expected;
  };
  const Case cases[] = {
      {"67232 uses four bytes", 67232, 0x64000031, kTurbo,
       std::vector<std::uint64_t>{3733333324u, 3599999991u, 3466666658u, 3466666658u}},
      {"132800 uses six", 132800, 0x64000031, kTurbo,
       std::vector<std::uint64_t>{3733333324u, 3599999991u, 3466666658u, 3466666658u,
                                  24u * 133333333u, 23u * 133333333u}},
      {"zero bytes are skipped", 67232, 0x64000031, 0x1A00'001Cu,
       std::vector<std::uint64_t>{28u * 133333333u, 26u * 133333333u}},
      {"bit 5 clear", 67232, 0x64000011, kTurbo, std::nullopt},
      {"67184 has none", 67184, 0x64000031, kTurbo, std::nullopt}};
  for (const Case& c : cases) {
    StatusSpec status{.statusFlags = c.statusFlags,
                      .cores = uniformCores(6),
                      .turboRatioLimits = c.turboRatioLimits};
    installBlock(status, c.signature);
    auto variant = ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(c.signature);
    ASSERT_NE(variant, nullptr);
    auto sensor = ZORTALVEROx86Monitor::temperatureSensor(*variant, firstDriver(), 0, 6);
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->turboBoostFrequenciesArray(), c.expected) << c.what;
    if (!c.expected) continue;
    // Without its trailer the block is not read for them.
    status.truncateBy = 1;
    publish(status);
    EXPECT_FALSE(sensor->turboBoostFrequenciesArray().has_value()) << c.what;
  }
}

}  // namespace
}  // namespace zor::testing
