// Decoding of SMC value records by data type and size, the fixed-point
// divisors, the text forms and the key-code packing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smc/ZORSystemManagementController.h"

namespace zor {
namespace {

using SMC = ZORSystemManagementController;

// Packs four characters as the SMC does; a zero character stays a zero byte.
std::uint32_t code(const std::string& text) {
  std::uint32_t packed = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    packed = (packed << 8) | (i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0u);
  }
  return packed;
}

_ZORSMCValue record(const std::string& type, std::vector<std::uint8_t> bytes, std::uint32_t size) {
  _ZORSMCValue value;
  value.key = code("TEST");
  value.dataType = code(type);
  value.dataSize = size;
  std::copy(bytes.begin(), bytes.end(), value.bytes.begin());
  return value;
}

_ZORSMCValue record(const std::string& type, std::vector<std::uint8_t> bytes) {
  auto size = static_cast<std::uint32_t>(bytes.size());
  return record(type, std::move(bytes), size);
}

struct DecodeCase {
  const char* what;
  _ZORSMCValue value;
  PlistValue expected;
};

TEST(ZORSMCValueDecodingTest, EveryTypeRow) {
  const std::string ui8WithZero("ui8\0", 4);
  const DecodeCase cases[] = {
      {"ui8", record("ui8 ", {0xFF}), PlistValue::unsignedInteger(255)},
      {"ui8 with zero byte", record(ui8WithZero, {0x2A}), PlistValue::unsignedInteger(42)},
      {"byte", record("byte", {0x80}), PlistValue::unsignedInteger(128)},
      {"si8", record("si8 ", {0xFF}), PlistValue::integer(-1)},
      {"ui16", record("ui16", {0x12, 0x34}), PlistValue::unsignedInteger(0x1234)},
      {"ui32", record("ui32", {0x00, 0x00, 0x01, 0x02}), PlistValue::unsignedInteger(258)},
      {"ui32 all bits", record("ui32", {0xFF, 0xFF, 0xFF, 0xFF}),
       PlistValue::unsignedInteger(4294967295u)},
      {"flag 1", record("flag", {1}), PlistValue::boolean(true)},
      {"flag 2", record("flag", {2}), PlistValue::boolean(false)},
      {"sp78", record("sp78", {0x2D, 0x80}), PlistValue::real(45.5)},
      {"sp78 negative", record("sp78", {0xFF, 0x80}), PlistValue::real(-0.5)},
      {"spf0", record("spf0", {0xFF, 0xFE}), PlistValue::real(-2.0)},
      {"sp1e", record("sp1e", {0x40, 0x00}), PlistValue::real(1.0)},
      {"fpe2", record("fpe2", {0x00, 0x0B}), PlistValue::real(2.75)},
      {"fp88 unsigned", record("fp88", {0xFF, 0x80}), PlistValue::real(255.5)},
      {"fp1f", record("fp1f", {0x80, 0x00}), PlistValue::real(1.0)},
      {"ch8*", record("ch8*", {'A', 'b', 0, 0}), PlistValue(std::string("Ab\0\0", 4))},
      {"ch8* roman", record("ch8*", {0x8A, 'x'}), PlistValue(std::string("\xC3\xA4x"))},
      {"{rev", record("{rev", {0x01, 0x1E, 0x0F, 0x00, 0x00, 0x03}), PlistValue("1.30f3")},
      {"{fds", record("{fds", {9, 9, 9, 9, 'D', 'E', 'S', 'K', 0, 'x'}, 16), PlistValue("DESK")},
      {"{fds full",
       record("{fds", {9, 9, 9, 9, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'}),
       PlistValue("ABCDEFGHIJKL")},
      {"{alv", record("{alv", {0xAA, 0xBB, 0x01, 0x02, 0xCC, 0xDD}),
       PlistValue::unsignedInteger(0x0102)},
      // Sizes that do not fit their row, and unknown types, are byte blocks.
      {"flag size 2", record("flag", {1, 0}), PlistValue(PlistData{1, 0})},
      {"sp78 size 1", record("sp78", {0x2D}), PlistValue(PlistData{0x2D})},
      {"unknown sp code", record("sp4a", {0x01, 0x02}), PlistValue(PlistData{0x01, 0x02})},
      {"fp code with sp digits", record("fp78", {0x01, 0x02}), PlistValue(PlistData{0x01, 0x02})},
      {"ui16 size 4", record("ui16", {1, 2, 3, 4}), PlistValue(PlistData{1, 2, 3, 4})},
      {"ui32 size 2", record("ui32", {1, 2}), PlistValue(PlistData{1, 2})},
      {"{alv size 10", record("{alv", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
       PlistValue(PlistData{1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
      {"{rev size 5", record("{rev", {1, 2, 3, 4, 5}), PlistValue(PlistData{1, 2, 3, 4, 5})},
      {"{fds size 15", record("{fds", {}, 15), PlistValue(PlistData(15, 0))},
      {"unknown type", record("flt ", {0x42, 0x28, 0, 0}), PlistValue(PlistData{0x42, 0x28, 0, 0})},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(SMC::objectValueForSMCValue(&c.value), c.expected) << c.what;
  }
  // Nothing for no record or an empty one.
  EXPECT_FALSE(SMC::objectValueForSMCValue(nullptr).has_value());
  _ZORSMCValue empty = record("sp78", {0x2D, 0x80}, 0);
  EXPECT_FALSE(SMC::objectValueForSMCValue(&empty).has_value());
  EXPECT_FALSE(SMC::descriptionForSMCValue(&empty).has_value());
}

TEST(ZORSMCValueDecodingTest, SizesAboveThirtyTwoAreCut) {
  std::vector<std::uint8_t> bytes(32);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>('a' + i % 26);
  _ZORSMCValue text = record("ch8*", bytes, 1000);
  auto decoded = SMC::objectValueForSMCValue(&text);
  ASSERT_TRUE(decoded && decoded->isString());
  EXPECT_EQ(decoded->asString()->size(), 32u);
  _ZORSMCValue block = record("what", bytes, 0xFFFFFFFF);
  decoded = SMC::objectValueForSMCValue(&block);
  ASSERT_TRUE(decoded && decoded->isData());
  EXPECT_EQ(*decoded->asData(), PlistData(bytes));
}

TEST(ZORSMCValueDecodingTest, ExactlyTheThirtyOneFixedPointCodes) {
  const std::string hex = "0123456789abcdef";
  int recognised = 0;
  for (const char* prefix : {"sp", "fp"}) {
    int total = std::string(prefix) == "sp" ? 15 : 16;
    for (char x : hex) {
      for (char y : hex) {
        std::string type = std::string(prefix) + x + y;
        int integerBits = static_cast<int>(hex.find(x));
        int fractionBits = static_cast<int>(hex.find(y));
        float divisor = SMC::divisorForFloatingPointCode(code(type));
        // An unsigned code with no integer bits would need the fraction digit 16.
        if (integerBits + fractionBits == total) {
          EXPECT_EQ(divisor, static_cast<float>(1 << fractionBits)) << type;
          ++recognised;
        } else {
          EXPECT_EQ(divisor, -1.0f) << type;
        }
      }
    }
  }
  EXPECT_EQ(recognised, 31);
  EXPECT_EQ(SMC::divisorForFloatingPointCode(code("SP78")), -1.0f);
  EXPECT_EQ(SMC::divisorForFloatingPointCode(0), -1.0f);
}

TEST(ZORSMCValueDecodingTest, TextForms) {
  const std::pair<_ZORSMCValue, const char*> cases[] = {
      {record("ui32", {0xFF, 0xFF, 0xFF, 0xFF}), "4294967295"},
      {record("si8 ", {0xFE}), "-2"},
      {record("flag", {3}), "0"},
      {record("sp78", {0x01, 0xE6}), "1.8984375"},
      {record("ch8*", {'a', 'b'}), "ab"},
      {record("zzzz", {0x0A, 0xFF}), "0a ff "},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(SMC::descriptionForSMCValue(&value), std::string(expected)) << expected;
  }
  EXPECT_EQ(SMC::descriptionForSMCValue(nullptr), std::string("nil"));
  EXPECT_FALSE(SMC::readableHexStringForData(nullptr).has_value());
}

// Keys are Mac OS Roman text of exactly four characters; anything else is code 0.
TEST(ZORSMCValueDecodingTest, KeyStringsAndCodes) {
  // A zero byte ends the text; "\u00E4" is the byte 0x8A; U+20BD has no Mac OS
  // Roman form; beyond U+FFFF counts as two characters; the byte 0xFF (octal 377) is not UTF-8.
  const std::pair<std::optional<std::string>, std::uint32_t> cases[] = {
      {"TC0D", 0x54433044u},
      {"ui8 ", 0x75693820u},
      {std::string("a\0bc", 4), 0x61000000u},
      {"T\u00E40D", 0x548A3044u},
      {"TC0", 0u},
      {"TC0DX", 0u},
      {std::nullopt, 0u},
      {"T\u20BD0D", 0u},
      {"T\U0001F600D", 0u},
      {"T\3770D", 0u}};
  for (const auto& [key, code] : cases) {
    EXPECT_EQ(SMC::fourCharCodeForKeyString(key), code) << key.value_or("(null)");
  }
  EXPECT_EQ(SMC::stringForFourCharCode(0), "    ");
  EXPECT_EQ(SMC::stringForFourCharCode(0x75693800u), "ui8 ");
  EXPECT_EQ(SMC::stringForFourCharCode(0x61006263u), "a   ");
  EXPECT_EQ(SMC::stringForFourCharCode(0x548A3044u), "T\u00E40D");
  EXPECT_EQ(SMC::stringForFourCharCode(0x80000000u), "\u00C4   ");
  for (const char* key : {"#KEY", "Th9H", "{rev", "F0Ac"}) {
    EXPECT_EQ(SMC::stringForFourCharCode(SMC::fourCharCodeForKeyString(std::string(key))), key);
  }
}

}  // namespace
}  // namespace zor
