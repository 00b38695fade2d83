// The status block decoder: field offsets and byte order, and refusal of
// blocks that are shorter than they say.

#include <gtest/gtest.h>

#include "cpu/CPUStatusBlock.h"
#include "tests/cpu/CPUMonitorTestSupport.h"

namespace zor::testing {
namespace {

TEST(CPUStatusBlockTest, DecodesEveryFieldAtItsOffsetLittleEndian) {
  StatusSpec spec;
  spec.driverVersion = 0x01020307;
  spec.platformInfo = 0x1122334455667788u;
  spec.statusFlags = 0x5F000031;
  spec.cores = {{0x61626364u, -42, 0x0102030405060708u, 0x1000000003u},
                {0x71727374u, 17, 0x8070605040302010u, 6}};
  spec.turboRatioLimits = 0x0807060504030201u;
  PlistData bytes = encodeStatus(spec);

  auto block = CPUStatusBlock::parse(bytes);
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(block->driverVersion(), 0x01020307u);
  EXPECT_EQ(block->coreCount(), 2u);
  EXPECT_EQ(block->platformInfo(), 0x1122334455667788u);
  EXPECT_EQ(block->statusFlags(), 0x5F000031u);
  EXPECT_EQ(block->junctionTemperatureLimit(), 0x5F);
  EXPECT_EQ(block->turboRatioLimits(), 0x0807060504030201u);
  for (std::size_t n = 0; n < 2; ++n) {
    auto record = block->record(static_cast<std::int64_t>(n));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->updateTime, spec.cores[n].updateTime);
    EXPECT_EQ(record->thermalReading, spec.cores[n].thermalReading);
    EXPECT_EQ(record->performanceStatus, spec.cores[n].performanceStatus);
    EXPECT_EQ(record->busSpeedCode, spec.cores[n].busSpeedCode);
  }
  EXPECT_FALSE(block->record(2).has_value());
  EXPECT_FALSE(block->record(-1).has_value());
}

struct ShortBlockCase {
  const char* what;
  std::size_t cores;
  std::optional<std::uint32_t> announced;
  std::size_t truncateBy;
};

class CPUStatusBlockShortTest : public ::testing::TestWithParam<ShortBlockCase> {};

TEST_P(CPUStatusBlockShortTest, IsRefusedAsAWhole) {
  const ShortBlockCase& c = GetParam();
  StatusSpec spec;
  spec.cores = uniformCores(c.cores, 1, 40);
  spec.announcedCores = c.announced;
  spec.truncateBy = c.truncateBy;
  EXPECT_FALSE(CPUStatusBlock::parse(encodeStatus(spec)).has_value()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Truncations, CPUStatusBlockShortTest,
    ::testing::Values(ShortBlockCase{"empty", 0, std::nullopt, 28},
                      ShortBlockCase{"one byte short of the header", 0, std::nullopt, 9},
                      ShortBlockCase{"header without the trailer", 0, std::nullopt, 8},
                      ShortBlockCase{"trailer cut by one byte", 2, std::nullopt, 1},
                      ShortBlockCase{"announces more records than it has", 2, 3u, 0},
                      ShortBlockCase{"announces 2^32 - 1 records", 1, 0xFFFFFFFFu, 0},
                      ShortBlockCase{"count whose size wraps in 32 bits", 1, 119304648u, 0}));

}  // namespace
}  // namespace zor::testing
