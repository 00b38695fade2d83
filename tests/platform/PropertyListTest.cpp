#include <gtest/gtest.h>

#include <filesystem>

#include "platform/PropertyListSerialization.h"

namespace zor {
namespace {

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
    EXPECT_EQ(back->find("list")->asArray()->at(2).find("negative")->integerValue(), -127);
  }
}

TEST(PropertyListTest, RefusesWhatIsNotAPropertyList) {
  for (std::string_view bytes :
       {std::string_view(""), std::string_view("hello"),
        std::string_view("<plist><dict><key>a</key>"),
        // Ill-formed UTF-8 would be written as a binary file nobody reads.
        std::string_view("<plist><string>\xbe</string></plist>"),
        std::string_view("<plist><dict><key>\xbe</key><true/></dict></plist>"),
        // A key holding a NUL (UTF-16 "a\0"), which libplist would assert on.
        std::string_view("bplist00\xd1\x01\x02\x62\0a\0\0\x09\x08\x0b\x10"
                         "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x03"
                         "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x11",
                         52)}) {
    std::string error;
    EXPECT_FALSE(parsePropertyList(bytes, &error).has_value()) << bytes;
    EXPECT_FALSE(error.empty());
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

TEST(PropertyListTest, FileWriteIsAtomicAndReadable) {
  auto dir = std::filesystem::temp_directory_path() / "zor-plist-test";
  std::filesystem::create_directories(dir);
  std::string path = (dir / "value.plist").string();
  ASSERT_TRUE(writePropertyListFile(path, sampleTree(), PlistFormat::XML));
  auto back = readPropertyListFile(path);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, sampleTree());
  std::string error;
  EXPECT_FALSE(readPropertyListFile((dir / "missing.plist").string(), &error).has_value());
  EXPECT_NE(error.find("No such file"), std::string::npos);
  // No temporary files are left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zor
