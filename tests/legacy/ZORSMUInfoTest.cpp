#include "legacy/ZORSMUInfo.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

// Partition 0x12: clock 2 GHz (0x77359400), tMax 90, operating points 1300, 1200, 1100.
const std::vector<std::uint8_t> kOperatingPoints = {0x12, 0x10, 0x01, 0x00, 0x77, 0x35, 0x94, 0x00,
                                                    0x00, 0x5a, 0x05, 0x14, 0x04, 0xb0, 0x04, 0x4c};
// Partition 0x21: voltage 0x0f00 / -32, current 0x1800 / 16, PSU 2^24, -2^22, 2^19.
const std::vector<std::uint8_t> kConverterConstants = {
    0x21, 0x18, 0x01, 0x00, 0x0f, 0x00, 0xff, 0xe0, 0x18, 0x00, 0x00, 0x10,
    0x01, 0x00, 0x00, 0x00, 0xff, 0xc0, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00};
// Partition 0x18: m 0x8000, b -2.
const std::vector<std::uint8_t> kDiodeCalibration = {0x18, 0x08, 0x01, 0x00,
                                                     0x80, 0x00, 0xff, 0xfe};

using Partitions = std::map<std::string, std::vector<std::uint8_t>>;

Partitions allPartitions() {
  return {{"sdb-partition-12", kOperatingPoints},
          {"sdb-partition-21", kConverterConstants},
          {"sdb-partition-18", kDiodeCalibration}};
}

// The SMU's entry ("name" smu) with its partitions, and the SMU driver below it.
PlistValue smuEntry(const Partitions& partitions, const std::string& name = "smu") {
  // The name property is zero-terminated text in a data block, as firmware publishes it.
  std::vector<std::uint8_t> nameBytes(name.begin(), name.end());
  nameBytes.push_back(0);
  Properties properties = {{"name", bytes(nameBytes)}};
  for (const auto& [key, data] : partitions) properties.emplace_back(key, bytes(data));
  return registryEntry("IOService", name, properties, {driverEntry("AppleSMU", {})});
}

PlistValue platformPlugin(const Properties& properties) {
  return driverEntry("SMU_Neo2_PlatformPlugin", {}, properties);
}

class SMUInfoTest : public LegacyMachineTest {};

TEST_F(SMUInfoTest, ReadsTheThreePartitionsFieldByField) {
  install({smuEntry(allPartitions())});
  ZORSMUInfoList smus = ZORSMUInfo::allSMUs();
  ASSERT_EQ(smus.size(), 1u);
  const ZORSMUInfo& smu = *smus[0];
  const SMU_CPUOperatingPoints& points = smu.cpuOperatingPoints();
  EXPECT_EQ(points.header.partitionID, 0x12);
  EXPECT_EQ(points.header.partitionLength, 16);
  EXPECT_EQ(points.freq, 2000000000u);
  EXPECT_EQ(points.tMax, 90);
  EXPECT_EQ(points.vCore[0], 1300);
  EXPECT_EQ(points.vCore[1], 1200);
  EXPECT_EQ(points.vCore[2], 1100);
  EXPECT_EQ(smu.adConverterConstants().psuBValue, -0x400000);
  EXPECT_EQ(smu.mDiodeCalibration(), 32768u);
  EXPECT_EQ(smu.bDiodeCalibration(), -2);

  std::uint16_t scale = 0;
  std::int16_t offset = 0;
  smu.getVoltageScale(&scale, &offset);
  EXPECT_EQ(scale, 0x0f00);
  EXPECT_EQ(offset, -32);
  smu.getCurrentScale(&scale, &offset);
  EXPECT_EQ(scale, 0x1800);
  EXPECT_EQ(offset, 16);
  // A null place is skipped, the other still filled.
  offset = 0;
  smu.getVoltageScale(nullptr, &offset);
  EXPECT_EQ(offset, -32);
  scale = 0;
  smu.getCurrentScale(&scale, nullptr);
  EXPECT_EQ(scale, 0x1800);
}

TEST_F(SMUInfoTest, DescriptionScalesTheFixedPointConstants) {
  install({smuEntry(allPartitions())});
  ZORSMUInfoList smus = ZORSMUInfo::allSMUs();
  ASSERT_EQ(smus.size(), 1u);
  EXPECT_EQ(smus[0]->description(),
            "System Management Unit: system clock 2000000000 Hz, maximum temp 90, voltages: 1300 "
            "(0) 1200 (1) 1100 (2), V ADC s 0.937500 / o -0.007812, A ADC s 1.500000 / o "
            "0.003906 PSU 0.062500 (A) -0.015625 (B) 0.001953 (C) m 32768, b -2");
}

TEST_F(SMUInfoTest, PartitionOfWrongLengthIsLoggedAndTheSMUOmitted) {
  struct Case {
    const char* partition;
    std::size_t length;
    const char* logLine;
  };
  const Case cases[] = {
      {"sdb-partition-21", 23,
       "SMU: System database partition with identifier 21 does not have expected length of 24\n"},
      {"sdb-partition-12", 17,
       "SMU: System database partition with identifier 12 does not have expected length of 16\n"},
      {"sdb-partition-18", 7,
       "SMU: System database partition with identifier 18 does not have expected length of 8\n"},
  };
  for (const Case& c : cases) {
    Partitions partitions = allPartitions();
    partitions[c.partition].resize(c.length);
    install({smuEntry(partitions)});
    ScopedLogCapture log;
    EXPECT_TRUE(ZORSMUInfo::allSMUs().empty()) << c.partition;
    EXPECT_EQ(log.lines(), std::vector<std::string>{c.logLine}) << c.partition;
  }
}

TEST_F(SMUInfoTest, MissingDiodePartitionIsLoggedAtCreation) {
  Partitions partitions = allPartitions();
  partitions.erase("sdb-partition-18");
  install({smuEntry(partitions)});
  ScopedLogCapture log;
  EXPECT_TRUE(ZORSMUInfo::allSMUs().empty());
  EXPECT_TRUE(log.contains("identifier 18 does not have expected length of 8"));
}

TEST_F(SMUInfoTest, OnlyEntriesNamedSmuWithBothMainPartitionsAreAsked) {
  Partitions withoutConstants = allPartitions();
  withoutConstants.erase("sdb-partition-21");
  install({smuEntry(allPartitions(), "pmu"), smuEntry(withoutConstants)});
  ScopedLogCapture log;
  EXPECT_TRUE(ZORSMUInfo::allSMUs().empty());
  EXPECT_TRUE(log.lines().empty()) << "neither SMU qualifies, so none is read";
}

TEST_F(SMUInfoTest, ReadingAPartitionOfANullEntryIsSilent) {
  install({});
  ScopedLogCapture log;
  ZORSMUInfo smu;
  EXPECT_FALSE(smu.dataFromEntry(nullptr, 0x12, 16).has_value());
  EXPECT_FALSE(smu.initWithIORegistryEntry(nullptr));
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(SMUInfoTest, MaximumCPUDesignTemperatureFromThePlatformPlugIn) {
  install({platformPlugin(
      {{"IOEnvironment", PlistDictionary{{"cpu-tmax", PlistValue::integer(6291456)}}}})});
  EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 96.0f);
}

TEST_F(SMUInfoTest, MaximumCPUDesignTemperatureSkipsUnusablePlugIns) {
  install({
      platformPlugin({}),
      platformPlugin({{"IOEnvironment", "not a dictionary"}}),
      platformPlugin({{"IOEnvironment", PlistDictionary{{"cpu-tmax", "90"}}}}),
      platformPlugin(
          {{"IOEnvironment", PlistDictionary{{"cpu-tmax", PlistValue::integer(5898240)}}}}),
      platformPlugin(
          {{"IOEnvironment", PlistDictionary{{"cpu-tmax", PlistValue::integer(65536)}}}}),
  });
  EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 90.0f);
}

TEST_F(SMUInfoTest, NoPlatformPlugInMeansNoMaximumTemperature) {
  install({smuEntry(allPartitions())});
  EXPECT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 0.0f);
}

}  // namespace
}  // namespace zor::testing
