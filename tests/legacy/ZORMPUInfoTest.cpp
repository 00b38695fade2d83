#include "legacy/ZORMPUInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "platform/SystemLog.h"
#include "tests/legacy/CardRecord.h"
#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {
namespace {

using namespace std::string_literals;

CardRecord sampleCard() {
  CardRecord card;
  card.u8(3, 2)
      .u32(4, 0x000103A1)
      .text(8, "2A0")
      .u8(12, 1)
      .u8(36, 1)
      .u8(40, 70)
      .u8(41, 85)
      .u16(68, 20000)
      .u16(70, static_cast<std::uint16_t>(-200))
      .u16(76, 600)
      .u16(78, 3600)
      .u16(80, 700)
      .u16(82, 4200)
      .text(84, "970FX-20")
      .u32(92, 4170230)
      .text(96, " QT4321A0042\0\0\0"s)
      .text(112, "QT4321A0042"s)
      .text(128, "\t W8432MLB0123 \0\0 "s);
  return card;
}

class MPUInfoTest : public LegacyMachineTest {};

TEST_F(MPUInfoTest, DecodesTheCardRecordFieldByField) {
  install({cardService(sampleCard().data())});
  ZORMPUInfoList cards = ZORMPUInfo::allMPUs();
  ASSERT_EQ(cards.size(), 1u);
  const ZORMPUInfo& card = *cards[0];
  EXPECT_EQ(card.infoVersion(), 2);
  EXPECT_EQ(card.PIDDataSetRevision(), "1.0.3a1");
  EXPECT_EQ(card.processorBinCode(), "2A0");
  EXPECT_EQ(card.processorPartNumber(), "970FX-20");
  EXPECT_EQ(card.processorLotNumber(), "4170230");
  EXPECT_EQ(card.numberOfCPUsPerMPU(), 1u);
  EXPECT_EQ(card.processorCardSlotNumber(), 1u);
  EXPECT_EQ(card.diodeMScaling(), 20000);
  EXPECT_EQ(card.diodeBOffset(), -200);
  EXPECT_EQ(card.targetTemperature(), 70);
  EXPECT_EQ(card.maximumTemperature(), 85);
  std::uint16_t min = 0, max = 0;
  card.getIntakeFanLimitsMin(&min, &max);
  EXPECT_EQ(min, 600);
  EXPECT_EQ(max, 3600);
  card.getExhaustFanLimitsMin(&min, nullptr);
  EXPECT_EQ(min, 700);
  card.getExhaustFanLimitsMin(nullptr, &max);
  EXPECT_EQ(max, 4200);
}

TEST_F(MPUInfoTest, TextFieldsDropPaddingAndUnprintableBytes) {
  struct Case {
    std::vector<std::uint8_t> field;
    const char* text;
  };
  const Case cases[] = {
      {{' ', 'A', 'B', 0, 0, ' ', '\t'}, "AB"},
      {{'\t', ' ', 'W', '8', ' ', '1', ' ', 0}, "W8 1"},
      {{0, 'X', 0x07, 'Y', 0x7f, 0xc3, 0xa9, 'Z'}, "XYZ"},
      {{0, 0, 0}, ""},
      {{' ', '\t', ' '}, ""},
      {{'~', ' ', '!'}, "~ !"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZORMPUInfo::textOfCharacterField(c.field.data(), c.field.size()), c.text);
  }
  install({cardService(sampleCard().data())});
  auto card = ZORMPUInfo::mpuInfoAtIndex(0);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->originalSerialNumber(), "QT4321A0042");
  EXPECT_EQ(card->currentSerialNumber(), "QT4321A0042");
  EXPECT_EQ(card->mainLogicBoardSerialNumber(), "W8432MLB0123");
}

TEST_F(MPUInfoTest, DataSetRevisionTextTakesEachNibble) {
  struct Case {
    std::uint32_t revision;
    const char* text;
  };
  const Case cases[] = {{0x000103A1, "1.0.3a1"},
                        {0x00000000, "0.0.000"},
                        {0xFFF9F8F7, "9.15.8f7"},
                        {0x0002C0B9, "2.12.0b9"}};
  for (const Case& c : cases) {
    CardRecord record;
    record.u32(4, c.revision);
    install({cardService(record.data())});
    auto card = ZORMPUInfo::mpuInfoAtIndex(0);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->PIDDataSetRevision(), c.text) << std::hex << c.revision;
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

TEST_F(MPUInfoTest, OnlyServicesNamedCpuidCount) {
  install({cardService(sampleCard().data()), cardService(sampleCard().data(), "eeprom"),
           registryEntry("PPCI2CInterface", "cpuid", {{"name", "cpuid"}}),
           registryEntry("IOService", "cpuid", {{"name", "cpuid"}, {"cpuid", sampleCard().data()}}),
           cardService(sampleCard().u8(36, 2).data())});
  EXPECT_EQ(ZORMPUInfo::numberOfLocalUnits(), 2u);
  ZORMPUInfoList cards = ZORMPUInfo::allMPUs();
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0]->processorCardSlotNumber(), 1u);
  EXPECT_EQ(cards[1]->processorCardSlotNumber(), 2u);
}

TEST_F(MPUInfoTest, CardAtIndexIsAnIndependentCopyOrNull) {
  install({cardService(sampleCard().data()), cardService(sampleCard().u8(36, 2).data())});
  auto second = ZORMPUInfo::mpuInfoAtIndex(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->processorCardSlotNumber(), 2u);
  EXPECT_EQ(ZORMPUInfo::mpuInfoAtIndex(2), nullptr);
  EXPECT_EQ(ZORMPUInfo::mpuInfoAtIndex(UINT32_MAX), nullptr);
  auto copy = second->copy();
  EXPECT_NE(copy, second);
  EXPECT_EQ(copy->mpuData(), second->mpuData());
}

TEST_F(MPUInfoTest, CardIndexFromALocation) {
  struct Case {
    std::optional<std::string> location;
    std::uint32_t index;
  };
  const Case cases[] = {
      {std::nullopt, 0},
      {"CPU", 0},
      {"CPU ", 0},
      {"GPU B", 0},
      {"cpu B AD7417", 0},
      {"CPU A AD7417 AD1", 0},
      {"CPU B AD7417 AD1", 1},
      {"CPU BOTTOM", 1},
      {"CPU D", 3},
      {"CPU 1", static_cast<std::uint32_t>('1') - static_cast<std::uint32_t>('A')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZORMPUInfo::mpuIndexForLocationIdentifier(c.location), c.index)
        << c.location.value_or("(null)");
  }
}

TEST_F(MPUInfoTest, DescriptionDictionaryAndText) {
  install({cardService(sampleCard().data())});
  auto card = ZORMPUInfo::mpuInfoAtIndex(0);
  ASSERT_NE(card, nullptr);
  PlistDictionary expected{
      {"InformationVersion", PlistValue::integer(2)},
      {"PIDDataSetRevision", "1.0.3a1"},
      {"CPUBinCode", "2A0"},
      {"CPUPartNumber", "970FX-20"},
      {"CPULotNumber", "4170230"},
      {"OriginalSerial", "QT4321A0042"},
      {"CurrentSerial", "QT4321A0042"},
      {"MLBSerial", "W8432MLB0123"},
      {"NumberOfCPUs", PlistValue::unsignedInteger(1)},
      {"SlotNumber", PlistValue::unsignedInteger(1)},
      {"DiodeMScaling", PlistValue::unsignedInteger(20000)},
      {"DiodeBOffset", PlistValue::integer(-200)},
      {"IntakeFanMin", PlistValue::unsignedInteger(600)},
      {"IntakeFanMax", PlistValue::unsignedInteger(3600)},
      {"ExhaustFanMin", PlistValue::unsignedInteger(700)},
      {"ExhaustFanMax", PlistValue::unsignedInteger(4200)},
      {"TargetTemp", PlistValue::unsignedInteger(70)},
      {"MaxTemp", PlistValue::unsignedInteger(85)},
  };
  EXPECT_EQ(card->descriptionDictionary(), expected);
  EXPECT_EQ(card->description(),
            "G5 MPU card information: Version 2, PID Dataset Revision 1.0.3a1, CPUs per card 1, "
            "slot number 1\nCPU Bin Code 2A0, part number 970FX-20, lot number 4170230, original "
            "serial number QT4321A0042, current serial number QT4321A0042, main logic board serial "
            "number W8432MLB0123\ndM 20000, dB -200, Intake Fan Limits 600..3600, Exhaust Fan "
            "Limits 700..4200\nMaximum  Temperature 85, Target Temperature 70\n");
}

TEST_F(MPUInfoTest, EntryWithoutRecordFailsSilently) {
  install({registryEntry("PPCI2CInterface", "cpuid", {{"name", "cpuid"}})});
  ScopedLogCapture log;
  auto entries = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("PPCI2CInterface"));
  ASSERT_TRUE(entries && entries->size() == 1);
  EXPECT_EQ(ZORMPUInfo::mpuInfoWithIORegistryEntry(entries->front()), nullptr);
  EXPECT_EQ(ZORMPUInfo::mpuInfoWithIORegistryEntry(nullptr), nullptr);
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace zor::testing
