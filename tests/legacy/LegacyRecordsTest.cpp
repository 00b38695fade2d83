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

// Fields need no alignment; fields reaching past the end read as 0.
TEST(BigEndianRecordTest, FieldsReadMostSignificantByteFirstAndOnlyInside) {
  const std::vector<std::uint8_t> bytes = {0x12, 0x34, 0xfe, 0xdc, 0x80, 0x00, 0x00, 0x01};
  BigEndianRecord record(bytes);
  EXPECT_EQ(std::tuple(record.uint8At(2), record.int16At(2), record.uint32At(1), record.int32At(4)),
            std::tuple(0xfe, std::int16_t{-292}, 0x34fedc80u, INT32_MIN + 1));
  // {offset, width, inside}
  const std::tuple<std::size_t, std::size_t, bool> cases[] = {
      {7, 1, true}, {8, 0, true}, {7, 2, false}, {9, 0, false}, {SIZE_MAX, 2, false}};
  for (const auto& [offset, width, inside] : cases) {
    EXPECT_EQ(record.bytesAt(offset, width).size(), inside ? width : 0u) << offset << "+" << width;
  }
  EXPECT_EQ(record.uint16At(7) + record.uint32At(5) + record.int32At(SIZE_MAX - 1), 0u);
}

// Text fields of the card lose padding, NULs, tabs and unprintable bytes,
// as the firmware leaves them.
TEST(MPUTextFieldTest, TextFieldsDropPaddingAndUnprintableBytes) {
  const std::pair<std::string, const char*> cases[] = {
      {"\t W8 1 \0"s, "W8 1"}, {"\0X\x07Y\x7f\xc3\xa9Z"s, "XYZ"}, {" \t "s, ""}};
  for (const auto& [field, text] : cases) {
    EXPECT_EQ(ZORMPUInfo::textOfCharacterField(reinterpret_cast<const std::uint8_t*>(field.data()),
                                               field.size()),
              text);
  }
}

// A record of the wrong length is logged and gives no card, though the
// service counts.
TEST_F(LegacyMachineTest, CardRecordOfTheWrongLengthIsLoggedButCounted) {
  for (std::size_t length : {159u, 161u}) {
    install({cardService(0, 0, length)});
    ScopedLogCapture log;
    EXPECT_TRUE(ZORMPUInfo::allMPUs().empty()) << length;
    EXPECT_EQ(log.lines(), std::vector<std::string>{
                               "unexepcted length of MPU data: " + std::to_string(length) + "\n"});
    EXPECT_EQ(ZORMPUInfo::numberOfLocalUnits(), 1u) << length;
  }
}

// The SMU's entry with its partitions and the SMU driver below it; firmware
// publishes the name as zero-terminated text in a data block. A partition of
// the wrong length is logged and the SMU omitted.
TEST_F(LegacyMachineTest, SMUPartitionsOfTheWrongLengthAreLoggedAndTheSMUOmitted) {
  auto smu = [](std::map<std::string, std::size_t> lengths) {
    Properties properties = {{"name", bytes({'s', 'm', 'u', 0})}};
    for (const auto& [id, length] : lengths) {
      if (length != 0)
        properties.emplace_back("sdb-partition-" + id, bytes(std::vector<std::uint8_t>(length)));
    }
    return registryEntry("IOService", "smu", properties, {driverEntry("AppleSMU", {})});
  };
  // {partition id, length (0: missing), expected length}
  const std::tuple<std::string, std::size_t, int> cases[] = {
      {"21", 23, 24}, {"12", 17, 16}, {"18", 7, 8}, {"18", 0, 8}};
  for (const auto& [id, length, expected] : cases) {
    std::map<std::string, std::size_t> lengths{{"12", 16}, {"21", 24}, {"18", 8}};
    lengths[id] = length;
    install({smu(lengths)});
    ScopedLogCapture log;
    EXPECT_TRUE(ZORSMUInfo::allSMUs().empty()) << id;
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"SMU: System database partition with identifier " + id +
                                       " does not have expected length of " +
                                       std::to_string(expected) + "\n"});
  }
}

}  // namespace
}  // namespace zor::testing
