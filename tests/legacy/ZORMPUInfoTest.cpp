#include "legacy/ZORMPUInfo.h"

#include <gtest/gtest.h>

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
  auto card = ZORMPUInfo::mpuInfoAtIndex(0);
  ASSERT_NE(card, nullptr);
  PlistDictionary expected{{"InformationVersion", PlistValue::integer(2)},
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
                           {"MaxTemp", PlistValue::unsignedInteger(85)}};
  EXPECT_EQ(card->descriptionDictionary(), expected);
  EXPECT_EQ(card->description(),
            "G5 MPU card information: Version 2, PID Dataset Revision 1.0.3a1, CPUs per card 1, "
            "slot number 1\nCPU Bin Code 2A0, part number 970FX-20, lot number 4170230, original "
            "serial number QT4321A0042, current serial number QT4321A0042, main logic board serial "
            "number W8432MLB0123\ndM 20000, dB -200, Intake Fan Limits 600..3600, Exhaust Fan "
            "Limits 700..4200\nMaximum  Temperature 85, Target Temperature 70\n");
  std::uint16_t max = 0;
  card->getExhaustFanLimitsMin(nullptr, &max);  // a null place is skipped
  EXPECT_EQ(max, 4200);
}

TEST_F(MPUInfoTest, TextFieldsDropPaddingAndUnprintableBytes) {
  struct Case {
    std::vector<std::uint8_t> field;
    const char* text;
  };
  const Case cases[] = {{{' ', 'A', 'B', 0, 0, ' ', '\t'}, "AB"},
                        {{'\t', ' ', 'W', '8', ' ', '1', ' ', 0}, "W8 1"},
                        {{0, 'X', 0x07, 'Y', 0x7f, 0xc3, 0xa9, 'Z'}, "XYZ"},
                        {{' ', '\t', ' '}, ""},
                        {{'~', ' ', '!'}, "~ !"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ZORMPUInfo::textOfCharacterField(c.field.data(), c.field.size()), c.text);
  }
}

TEST_F(MPUInfoTest, DataSetRevisionTextTakesEachNibble) {
  struct Case {
    std::uint32_t revision;
    const char* text;
  };
  const Case cases[] = {
      {0x00000000, "0.0.000"}, {0xFFF9F8F7, "9.15.8f7"}, {0x0002C0B9, "2.12.0b9"}};
  for (const Case& c : cases) {
    install({cardService(CardRecord().u32(4, c.revision).data())});
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

TEST_F(MPUInfoTest, OnlyServicesNamedCpuidCountAndIndexesStopAtTheLast) {
  install({cardService(sampleCard().data()), cardService(sampleCard().data(), "eeprom"),
           registryEntry("PPCI2CInterface", "cpuid", {{"name", "cpuid"}}),
           registryEntry("IOService", "cpuid", {{"name", "cpuid"}, {"cpuid", sampleCard().data()}}),
           cardService(sampleCard().u8(36, 2).data())});
  EXPECT_EQ(ZORMPUInfo::numberOfLocalUnits(), 2u);
  ZORMPUInfoList cards = ZORMPUInfo::allMPUs();
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[1]->processorCardSlotNumber(), 2u);
  EXPECT_EQ(ZORMPUInfo::mpuInfoAtIndex(2), nullptr);
  EXPECT_EQ(ZORMPUInfo::mpuInfoAtIndex(UINT32_MAX), nullptr);
}

TEST_F(MPUInfoTest, CardIndexFromALocation) {
  struct Case {
    std::optional<std::string> location;
    std::uint32_t index;
  };
  const Case cases[] = {
      {std::nullopt, 0},
      {"CPU ", 0},
      {"GPU B", 0},
      {"cpu B AD7417", 0},
      {"CPU A AD7417 AD1", 0},
      {"CPU B AD7417 AD1", 1},
      {"CPU D", 3},
      {"CPU 1", static_cast<std::uint32_t>('1') - static_cast<std::uint32_t>('A')}};
  for (const Case& c : cases) {
    EXPECT_EQ(ZORMPUInfo::mpuIndexForLocationIdentifier(c.location), c.index)
        << c.location.value_or("(null)");
  }
}

}  // namespace
}  // namespace zor::testing
