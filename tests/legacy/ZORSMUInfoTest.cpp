#include "legacy/ZORSMUInfo.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/SystemLog.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

using Partitions = std::map<std::string, std::vector<std::uint8_t>>;

// 0x12: clock 2 GHz, tMax 90, operating points 1300, 1200, 1100.
// 0x21: voltage 0x0f00 / -32, current 0x1800 / 16, PSU 2^24, -2^22, 2^19.
// 0x18: m 0x8000, b -2.
Partitions allPartitions() {
  return {{"sdb-partition-12",
           {0x12, 0x10, 0x01, 0x00, 0x77, 0x35, 0x94, 0x00, 0x00, 0x5a, 0x05, 0x14, 0x04, 0xb0,
            0x04, 0x4c}},
          {"sdb-partition-21",
           {0x21, 0x18, 0x01, 0x00, 0x0f, 0x00, 0xff, 0xe0, 0x18, 0x00, 0x00, 0x10,
            0x01, 0x00, 0x00, 0x00, 0xff, 0xc0, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00}},
          {"sdb-partition-18", {0x18, 0x08, 0x01, 0x00, 0x80, 0x00, 0xff, 0xfe}}};
}

// The SMU's entry with its partitions and the SMU driver below it; firmware
// publishes the name as zero-terminated text in a data block.
PlistValue smuEntry(const Partitions& partitions, const std::string& name = "smu") {
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

TEST_F(SMUInfoTest, DescriptionShowsEveryDecodedField) {
  install({smuEntry(allPartitions())});
  ZORSMUInfoList smus = ZORSMUInfo::allSMUs();
  ASSERT_EQ(smus.size(), 1u);
  EXPECT_EQ(smus[0]->description(),
            "System Management Unit: system clock 2000000000 Hz, maximum temp 90, voltages: 1300 "
            "(0) 1200 (1) 1100 (2), V ADC s 0.937500 / o -0.007812, A ADC s 1.500000 / o "
            "0.003906 PSU 0.062500 (A) -0.015625 (B) 0.001953 (C) m 32768, b -2");
  std::int16_t offset = 0;
  smus[0]->getVoltageScale(nullptr, &offset);  // a null place is skipped
  EXPECT_EQ(offset, -32);
}

TEST_F(SMUInfoTest, PartitionOfWrongLengthIsLoggedAndTheSMUOmitted) {
  struct Case {
    const char* partition;
    std::size_t length;
    const char* id;
    int expected;
  };
  const Case cases[] = {{"sdb-partition-21", 23, "21", 24},
                        {"sdb-partition-12", 17, "12", 16},
                        {"sdb-partition-18", 7, "18", 8},
                        {"sdb-partition-18", 0, "18", 8}};  // 0: missing altogether
  for (const Case& c : cases) {
    Partitions partitions = allPartitions();
    partitions[c.partition].resize(c.length);
    if (c.length == 0) partitions.erase(c.partition);
    install({smuEntry(partitions)});
    ScopedLogCapture log;
    EXPECT_TRUE(ZORSMUInfo::allSMUs().empty()) << c.partition;
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  std::string("SMU: System database partition with identifier ") + c.id +
                  " does not have expected length of " + std::to_string(c.expected) + "\n"})
        << c.partition;
  }
}

TEST_F(SMUInfoTest, OnlyEntriesNamedSmuWithBothMainPartitionsAreAsked) {
  Partitions withoutConstants = allPartitions();
  withoutConstants.erase("sdb-partition-21");
  install({smuEntry(allPartitions(), "pmu"), smuEntry(withoutConstants)});
  ScopedLogCapture log;
  EXPECT_TRUE(ZORSMUInfo::allSMUs().empty());
  EXPECT_TRUE(log.lines().empty()) << "neither SMU qualifies, so none is read";
}

TEST_F(SMUInfoTest, MaximumCPUDesignTemperatureSkipsUnusablePlugIns) {
  install({smuEntry(allPartitions())});
  EXPECT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 0.0f) << "no platform plug-in";
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

}  // namespace
}  // namespace zor::testing
