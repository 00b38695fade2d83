// The records of big-endian machines: the field reader, the G5
// processor-card record and the SMU's system-database partitions, each
// decoded field by field with its length checked first.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>

#include "legacy/BigEndianRecord.h"
#include "legacy/ZORMPUInfo.h"
#include "legacy/ZORSMUInfo.h"
#include "platform/SystemLog.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

using namespace std::string_literals;

const std::vector<std::uint8_t> kBytes = {0x12, 0x34, 0xfe, 0xdc, 0x80, 0x00, 0x00, 0x01};

// Fields need no alignment; fields reaching past the end read as 0.
TEST(BigEndianRecordTest, FieldsReadMostSignificantByteFirstAndOnlyInside) {
  BigEndianRecord record(kBytes);
  EXPECT_EQ(record.uint8At(2), 0xfe);
  EXPECT_EQ(record.uint16At(0), 0x1234);
  EXPECT_EQ(record.int16At(2), static_cast<std::int16_t>(-292));  // 0xfedc
  EXPECT_EQ(record.uint32At(4), 0x80000001u);
  EXPECT_EQ(record.int32At(4), INT32_MIN + 1);
  EXPECT_EQ(record.uint32At(1), 0x34fedc80u);
  // {offset, width, inside}
  const std::tuple<std::size_t, std::size_t, bool> cases[] = {
      {0, 8, true},  {7, 1, true},  {8, 0, true},         {7, 2, false},       {5, 4, false},
      {8, 1, false}, {9, 0, false}, {SIZE_MAX, 2, false}, {2, SIZE_MAX, false}};
  for (const auto& [offset, width, inside] : cases) {
    EXPECT_EQ(record.contains(offset, width), inside) << offset << "+" << width;
    EXPECT_EQ(record.bytesAt(offset, width).size(), inside ? width : 0u) << offset << "+" << width;
  }
  EXPECT_EQ(record.uint16At(7), 0);
  EXPECT_EQ(record.uint32At(5), 0u);
  EXPECT_EQ(record.int32At(SIZE_MAX - 1), 0);
  EXPECT_EQ(BigEndianRecord({}).uint8At(0), 0);
}

CardRecord sampleCard() {
  CardRecord card;
  card.u8(3, 2).u32(4, 0x000103A1).text(8, "2A0").u8(12, 1).u8(36, 1).u8(40, 70).u8(41, 85);
  card.u16(68, 20000).u16(70, static_cast<std::uint16_t>(-200)).u16(76, 600).u16(78, 3600);
  card.u16(80, 700).u16(82, 4200).text(84, "970FX-20").u32(92, 4170230);
  // Serial numbers padded with blanks, NULs and a tab, as the firmware leaves them.
  card.text(96, " QT4321A0042\0\0\0"s).text(112, "QT4321A0042"s);
  return card.text(128, "\t W8432MLB0123 \0\0 "s);
}

class MPUInfoTest : public LegacyMachineTest {};

TEST_F(MPUInfoTest, DecodesTheCardRecordFieldByField) {
  install({cardService(sampleCard().data())});
  auto card = ZORMPUInfo::mpuInfoAtIndex(0);
  ASSERT_NE(card, nullptr);
  auto u = [](std::uint64_t value) { return PlistValue::unsignedInteger(value); };
  // clang-format off
  PlistDictionary expected{
      {"InformationVersion", PlistValue::integer(2)}, {"PIDDataSetRevision", "1.0.3a1"},
      {"CPUBinCode", "2A0"}, {"CPUPartNumber", "970FX-20"}, {"CPULotNumber", "4170230"},
      {"OriginalSerial", "QT4321A0042"}, {"CurrentSerial", "QT4321A0042"},
      {"MLBSerial", "W8432MLB0123"}, {"NumberOfCPUs", u(1)}, {"SlotNumber", u(1)},
      {"DiodeMScaling", u(20000)}, {"DiodeBOffset", PlistValue::integer(-200)},
      {"IntakeFanMin", u(600)}, {"IntakeFanMax", u(3600)}, {"ExhaustFanMin", u(700)},
      {"ExhaustFanMax", u(4200)}, {"TargetTemp", u(70)}, {"MaxTemp", u(85)}};
  // clang-format on
  EXPECT_EQ(card->descriptionDictionary(), expected);
  install({cardService(CardRecord().u32(4, 0xFFF9F8F7).data())});
  EXPECT_EQ(ZORMPUInfo::mpuInfoAtIndex(0)->PIDDataSetRevision(), "9.15.8f7");
}

TEST_F(MPUInfoTest, TextFieldsDropPaddingAndUnprintableBytes) {
  const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
      {{'\t', ' ', 'W', '8', ' ', '1', ' ', 0}, "W8 1"},
      {{0, 'X', 0x07, 'Y', 0x7f, 0xc3, 0xa9, 'Z'}, "XYZ"},
      {{' ', '\t', ' '}, ""}};
  for (const auto& [field, text] : cases) {
    EXPECT_EQ(ZORMPUInfo::textOfCharacterField(field.data(), field.size()), text);
  }
}

TEST_F(MPUInfoTest, RecordOfWrongLengthIsLoggedButCounted) {
  for (std::size_t length : {159u, 161u, 0u}) {
    install({cardService(CardRecord(length).data())});
    ScopedLogCapture log;
    EXPECT_TRUE(ZORMPUInfo::allMPUs().empty()) << length;
    EXPECT_EQ(log.lines(), std::vector<std::string>{
                               "unexepcted length of MPU data: " + std::to_string(length) + "\n"});
    EXPECT_EQ(ZORMPUInfo::numberOfLocalUnits(), 1u) << length;
  }
}

TEST_F(MPUInfoTest, OnlyServicesNamedCpuidCountAndIndexesStopAtTheLast) {
  install({cardService(sampleCard().data()), cardService(sampleCard().data(), "eeprom"),
           registryEntry("PPCI2CInterface", "cpuid", {{"name", "cpuid"}}),
           registryEntry("IOService", "cpuid", {{"name", "cpuid"}, {"cpuid", sampleCard().data()}}),
           cardService(sampleCard().u8(36, 2).data())});
  ZORMPUInfoList cards = ZORMPUInfo::allMPUs();
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[1]->processorCardSlotNumber(), 2u);
  EXPECT_EQ(ZORMPUInfo::mpuInfoAtIndex(2), nullptr);
}

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
}

TEST_F(SMUInfoTest, PartitionOfWrongLengthIsLoggedAndTheSMUOmitted) {
  // {partition id, length (0: missing), expected length}
  const std::tuple<std::string, std::size_t, int> cases[] = {
      {"21", 23, 24}, {"12", 17, 16}, {"18", 7, 8}, {"18", 0, 8}};
  for (const auto& [id, length, expected] : cases) {
    Partitions partitions = allPartitions();
    partitions["sdb-partition-" + id].resize(length);
    if (length == 0) partitions.erase("sdb-partition-" + id);
    install({smuEntry(partitions)});
    ScopedLogCapture log;
    EXPECT_TRUE(ZORSMUInfo::allSMUs().empty()) << id;
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"SMU: System database partition with identifier " + id +
                                       " does not have expected length of " +
                                       std::to_string(expected) + "\n"})
        << id;
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
  // The first plug-in with a numeric "cpu-tmax" (16.16 fixed point) counts.
  auto tmax = [](PlistValue value) {
    return platformPlugin({{"IOEnvironment", PlistDictionary{{"cpu-tmax", std::move(value)}}}});
  };
  install({platformPlugin({}), platformPlugin({{"IOEnvironment", "not a dictionary"}}), tmax("90"),
           tmax(PlistValue::integer(5898240)), tmax(PlistValue::integer(65536))});
  EXPECT_FLOAT_EQ(ZORSMUInfo::maximumCPUDesignTemperature(), 90.0f);
}

}  // namespace
}  // namespace zor::testing
