#include "platform/PropertyListLimits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/PropertyListSerialization.h"

namespace zor {
namespace {

std::string repeated(const std::string& text, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += text;
  return all;
}

// `levels` dictionaries, each the only value of the one around it.
std::string nestedXml(std::size_t levels, const std::string& inside = "") {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\">" + repeated("<dict><key>a</key>", levels) +
         "<string>x</string>" + repeated("</dict>", levels) + inside + "</plist>";
}

void appendBigEndian(std::string& bytes, std::uint64_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
    bytes += static_cast<char>((value >> shift) & 0xFF);
  }
}

// A binary property list of arrays only: object i holds the objects listed
// in arrays[i]; object 0 is the top. References and offsets are 4 bytes.
std::string binaryArrays(const std::vector<std::vector<std::uint32_t>>& arrays) {
  std::string bytes = "bplist00";
  std::vector<std::uint64_t> offsets;
  for (const auto& items : arrays) {
    offsets.push_back(bytes.size());
    if (items.size() < 15) {
      bytes += static_cast<char>(0xA0 | items.size());
    } else {
      bytes += "\xAF\x12";  // the count follows as a 4-byte integer
      appendBigEndian(bytes, items.size(), 4);
    }
    for (std::uint32_t item : items) appendBigEndian(bytes, item, 4);
  }
  const std::uint64_t table = bytes.size();
  for (std::uint64_t offset : offsets) appendBigEndian(bytes, offset, 4);
  bytes += std::string(6, '\0') + "\x04\x04";
  appendBigEndian(bytes, arrays.size(), 8);
  appendBigEndian(bytes, 0, 8);
  appendBigEndian(bytes, table, 8);
  return bytes;
}

// `levels` arrays, each holding the next `width` times (the last one empty).
std::string chainedArrays(std::uint32_t levels, std::size_t width = 1) {
  std::vector<std::vector<std::uint32_t>> arrays(levels);
  for (std::uint32_t i = 0; i + 1 < levels; ++i) arrays[i].assign(width, i + 1);
  return binaryArrays(arrays);
}

// One row per rule: the bytes and the reason they are refused ("" when they convert).
// One row per rule: the bytes and the reason they are refused ("" when they convert).
TEST(PropertyListTest, RefusesWhatIsNoPropertyListOrTooDeepBeforeConverting) {
  const std::string tooDeep = "nested deeper than 512 levels";
  const std::pair<std::string, std::string> cases[] = {
      {nestedXml(512), ""},
      {nestedXml(513), tooDeep},
      {nestedXml(50000), tooDeep},
      // Tags in a comment and CDATA are no levels.
      {nestedXml(1, "<!--" + nestedXml(600) + "--><![CDATA[" + nestedXml(600) + "]]>"), ""},
      // A closing tag of the other kind closes nothing.
      {"<plist>" + repeated("<array></dict>", 600), tooDeep},
      {chainedArrays(512), ""},
      {chainedArrays(513), tooDeep},
      {chainedArrays(50000), tooDeep},
      // Arrays sharing the one below them, 2^40 values once converted.
      {chainedArrays(40, 2), "too many values"},
      {binaryArrays({{0}}), "an object holds itself"},
      {binaryArrays({{1}}), "damaged"},                       // a reference past the objects
      {binaryArrays({{}}).replace(8, 1, "\xA9"), "damaged"},  // a count past the end
      {"<plist><dict><key>a</key>", "not a property list"},
      // Ill-formed UTF-8 would be written as a binary file nobody reads.
      {"<plist><string>\xbe</string></plist>", "a string that is not UTF-8"},
      {"<plist><dict><key>\xbe</key><true/></dict></plist>", "a key that is not UTF-8"},
      // A key holding a NUL (UTF-16 "a\0"), which libplist would assert on.
      {std::string("bplist00\xd1\x01\x02\x62\0a\0\0\x09\x08\x0b\x10"
                   "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x03"
                   "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x11",
                   52),
       "a string with a NUL character"},
  };
  for (const auto& [bytes, refusal] : cases) {
    std::string error;
    EXPECT_EQ(parsePropertyList(bytes, &error).has_value(), refusal.empty()) << refusal;
    EXPECT_NE(error.find(refusal), std::string::npos) << refusal << ": " << error;
  }
}

PlistValue sampleTree() {
  PlistDictionary nested{{"negative", PlistValue::integer(-127)},
                         {"flag", PlistValue::boolean(true)},
                         {"bytes", PlistValue(PlistData{0x00, 0xFF, 0x10})}};
  PlistArray list{PlistValue("één"), PlistValue::real(0.1), PlistValue(nested),
                  PlistValue::integer(INT64_MAX), PlistValue::date(123456789.0)};
  return PlistValue(PlistDictionary{{"list", PlistValue(list)}, {"name", PlistValue("TC0D")}});
}

TEST(PropertyListTest, RoundTripsEveryTypeInBothForms) {
  for (PlistFormat format : {PlistFormat::XML, PlistFormat::Binary}) {
    std::string bytes = serializePropertyList(sampleTree(), format);
    std::string error;
    auto back = parsePropertyList(bytes, &error);
    ASSERT_TRUE(back.has_value()) << error;
    EXPECT_EQ(*back, sampleTree());
  }
}

TEST(PropertyListTest, NumbersReadAcrossTypes) {
  EXPECT_EQ(PlistValue::real(-2.9).integerValue(), -2);
  EXPECT_EQ(PlistValue::boolean(true).integerValue(), 1);
  EXPECT_FALSE(PlistValue("3").integerValue().has_value());
  EXPECT_FALSE(PlistValue::real(1e300).integerValue().has_value());
  EXPECT_EQ(PlistValue::unsignedInteger(0x8000000000000800ull).realValue(), 0x1.0000000000001p63);
  EXPECT_NE(PlistValue::integer(1), PlistValue::unsignedInteger(1));
}

// A date holds 32-bit seconds once written; beyond them it is the nearest one.
TEST(PropertyListTest, DatesBeyondTheWrittenRangeAreWrittenAsTheNearest) {
  const std::pair<double, double> rows[] = {
      {-2147483648.5, -2147483648.0}, {1e12, 2147483647.0}, {-1e12, -2147483648.0}};
  for (const auto& [date, written] : rows) {
    for (PlistFormat format : {PlistFormat::XML, PlistFormat::Binary}) {
      auto back = parsePropertyList(serializePropertyList(PlistValue::date(date), format));
      ASSERT_TRUE(back.has_value()) << date;
      EXPECT_EQ(back->dateValue(), written) << date;
    }
  }
}

}  // namespace
}  // namespace zor
