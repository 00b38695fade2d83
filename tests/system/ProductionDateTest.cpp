#include <gtest/gtest.h>

#include <tuple>

#include "platform/Clock.h"
#include "platform/GregorianCalendar.h"
#include "system/SystemTestMachine.h"
#include "system/ZORMachineInfo.h"

namespace zor::testing {
namespace {

// The estimate for `serial`, with the clock in the middle of `year`.
std::optional<double> estimateFor(const std::string& serial, std::int32_t year) {
  const auto midYear = GregorianCalendar::current().dateFromComponents(year, 6, 15, 12);
  EXPECT_TRUE(midYear);
  ScopedManualClock clock(*midYear);
  PlistDictionary expert{{"IOPlatformSerialNumber", text(serial)}};
  InstalledMachine installed(
      profileWithServices({entry("IOPlatformExpertDevice", "Expert", expert)}));
  return ZORMachineInfo::sharedMachineInfo()->estimatedProductionDate();
}

TEST(ProductionDateTest, IsTheMondayOfTheProductionWeek) {
  ScopedEnvironment environment = utcEnglish();
  using YearWeek = std::pair<std::int32_t, std::int32_t>;
  // {serial number, year the estimate is made in, year and week produced}
  const std::tuple<const char*, std::int32_t, std::optional<YearWeek>> cases[] = {
      // Eleven characters: year digit and week as digits at positions 2 to 4.
      {"W8815ABCDEF", 2026, YearWeek{2018, 15}},
      {"W8815ABCDEF", 2029, YearWeek{2028, 15}},
      // A letter where the year digit stands reads as 0.
      {"W8A15ABCDEF", 2026, YearWeek{2020, 15}},
      // Twelve characters: coded year and half year, coded week.
      {"C02GKABCDEFG", 2026, YearWeek{2021, 42}},
      {"C02CYABCDEFG", 2026, YearWeek{2020, 27}},
      // Characters outside the tables give no estimate.
      {"C02gKABCDEFG", 2026, std::nullopt},
      {"C02AKABCDEFG", 2026, std::nullopt},
      {"C02GSABCDEFG", 2026, std::nullopt},
      // Made-up serial numbers give none, whatever their length.
      {"ZZZNOSERIAL-0211223a4b5c", 2026, std::nullopt},
      {"ZZZNOSERIAL1", 2026, std::nullopt},
      // Other lengths give week 0 of the latest year ending in 0: the week
      // before the American week 1 of 2020, which starts on 29 December 2019.
      {"ABCDEFGHIJ", 2026, YearWeek{2019, 52}},
  };
  for (const auto& [serial, evaluatedIn, yearAndWeek] : cases) {
    const std::optional<double> date = estimateFor(serial, evaluatedIn);
    ASSERT_EQ(date.has_value(), yearAndWeek.has_value()) << serial;
    if (!date) continue;
    const auto parts = GregorianCalendar::current().componentsOfDate(*date);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->weekday, 2) << serial;  // Monday
    EXPECT_EQ(parts->yearForWeekOfYear, yearAndWeek->first) << serial;
    EXPECT_EQ(parts->weekOfYear, yearAndWeek->second) << serial;
  }
}

}  // namespace
}  // namespace zor::testing
