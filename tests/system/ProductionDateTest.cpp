#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/GregorianCalendar.h"
#include "services/TestSupport.h"
#include "system/SystemTestMachine.h"
#include "system/ZORMachineInfo.h"

namespace zor::testing {
namespace {

struct ProductionCase {
  const char* serial;
  std::int32_t evaluatedIn;
  std::optional<std::pair<std::int32_t, std::int32_t>> yearAndWeek;
};

class ProductionDateTest : public ::testing::TestWithParam<ProductionCase> {
 protected:
  ProductionDateTest()
      : environment_({{"TZ", std::string("UTC")},
                      {"LANGUAGE", std::nullopt},
                      {"LC_ALL", std::nullopt},
                      {"LC_MESSAGES", std::nullopt},
                      {"LANG", std::string("en_US.UTF-8")}}) {}
  ScopedEnvironment environment_;
};

std::optional<double> estimateFor(const std::string& serial, std::int32_t year) {
  const auto midYear = GregorianCalendar::current().dateFromComponents(year, 6, 15, 12);
  EXPECT_TRUE(midYear);
  ScopedManualClock clock(*midYear);
  PlistDictionary expert{{"IOPlatformSerialNumber", text(serial)}};
  InstalledMachine installed(
      profileWithServices({entry("IOPlatformExpertDevice", "Expert", expert)}));
  return ZORMachineInfo::sharedMachineInfo()->estimatedProductionDate();
}

TEST_P(ProductionDateTest, IsTheMondayOfTheProductionWeek) {
  const ProductionCase& c = GetParam();
  const std::optional<double> date = estimateFor(c.serial, c.evaluatedIn);
  ASSERT_EQ(date.has_value(), c.yearAndWeek.has_value()) << c.serial;
  if (!date) return;
  const auto parts = GregorianCalendar::current().componentsOfDate(*date);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->weekday, 2) << c.serial;  // Monday
  EXPECT_EQ(parts->yearForWeekOfYear, c.yearAndWeek->first) << c.serial;
  EXPECT_EQ(parts->weekOfYear, c.yearAndWeek->second) << c.serial;
}

using YearWeek = std::pair<std::int32_t, std::int32_t>;

INSTANTIATE_TEST_SUITE_P(
    Serials, ProductionDateTest,
    ::testing::Values(
        // Eleven characters: year digit and week as digits at positions 2 to 4.
        ProductionCase{"W8815ABCDEF", 2026, YearWeek{2018, 15}},
        ProductionCase{"W8815ABCDEF", 2029, YearWeek{2028, 15}},
        ProductionCase{"W8615ABCDEF", 2026, YearWeek{2026, 15}},
        // A letter where the year digit stands reads as 0.
        ProductionCase{"W8A15ABCDEF", 2026, YearWeek{2020, 15}},
        // Twelve characters: coded year and half year, coded week.
        ProductionCase{"C02GKABCDEFG", 2026, YearWeek{2021, 42}},
        ProductionCase{"C02CYABCDEFG", 2026, YearWeek{2020, 27}},
        ProductionCase{"C02F1ABCDEFG", 2026, YearWeek{2021, 1}},
        ProductionCase{"C02ZXABCDEFG", 2026, YearWeek{2019, 52}},
        // Characters outside the tables give no estimate.
        ProductionCase{"C02gKABCDEFG", 2026, std::nullopt},
        ProductionCase{"C02GkABCDEFG", 2026, std::nullopt},
        ProductionCase{"C02AKABCDEFG", 2026, std::nullopt},
        ProductionCase{"C021KABCDEFG", 2026, std::nullopt},
        ProductionCase{"C02GSABCDEFG", 2026, std::nullopt},
        ProductionCase{"C02GZABCDEFG", 2026, std::nullopt},
        // Made-up serial numbers give none, whatever their length.
        ProductionCase{"ZZZNOSERIAL", 2026, std::nullopt},
        ProductionCase{"ZZZNOSERIAL-0211223a4b5c", 2026, std::nullopt},
        ProductionCase{"ZZZNOSERIAL1", 2026, std::nullopt}));

TEST_F(ProductionDateTest, OtherLengthsGiveWeekZeroOfTheLatestYearEndingInZero) {
  const std::optional<double> date = estimateFor("ABCDEFGHIJ", 2026);
  ASSERT_TRUE(date);
  // Week 0 is the week before week 1 of 2020.
  const auto nextWeek = GregorianCalendar::current().componentsOfDate(*date + 7 * 86400.0);
  ASSERT_TRUE(nextWeek);
  EXPECT_EQ(nextWeek->yearForWeekOfYear, 2020);
  EXPECT_EQ(nextWeek->weekOfYear, 1);
  EXPECT_EQ(nextWeek->weekday, 2);
}

TEST_F(ProductionDateTest, EstimateFollowsTheCurrentDecade) {
  const auto in2029 = estimateFor("W8815ABCDEF", 2029);
  const auto in2031 = estimateFor("W8815ABCDEF", 2031);
  ASSERT_TRUE(in2029 && in2031);
  EXPECT_EQ(*in2029, *in2031);
  const auto in2039 = estimateFor("W8815ABCDEF", 2039);
  ASSERT_TRUE(in2039);
  EXPECT_GT(*in2039, *in2031);
}

}  // namespace
}  // namespace zor::testing
