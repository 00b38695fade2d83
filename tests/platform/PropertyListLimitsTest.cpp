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
TEST(PropertyListLimitsTest, NestingAndSizeAreBoundedBeforeConverting) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string refusal;
  };
  const std::string tooDeep = "nested deeper than 512 levels";
  const Case cases[] = {
      {"XML at the limit", nestedXml(512), ""},
      {"XML one level deeper", nestedXml(513), tooDeep},
      {"XML 50,000 levels deep", nestedXml(50000), tooDeep},
      {"tags in a comment and CDATA are no levels",
       nestedXml(1, "<!--" + nestedXml(600) + "--><![CDATA[" + nestedXml(600) + "]]>"), ""},
      {"a closing tag of the other kind closes nothing",
       "<plist>" + repeated("<array></dict>", 600), tooDeep},
      {"binary at the limit", chainedArrays(512), ""},
      {"binary one level deeper", chainedArrays(513), tooDeep},
      {"binary 50,000 levels deep", chainedArrays(50000), tooDeep},
      {"binary arrays sharing one below them 2^40 times", chainedArrays(40, 2), "too many values"},
      {"a binary array holding itself", binaryArrays({{0}}), "an object holds itself"},
      {"a binary reference past the objects", binaryArrays({{1}}), "damaged"},
      {"a binary count past the end", binaryArrays({{}}).replace(8, 1, "\xA9"), "damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    const auto value = parsePropertyList(c.bytes, &error);
    EXPECT_EQ(value.has_value(), c.refusal.empty()) << error;
    if (!c.refusal.empty()) {
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace zor
