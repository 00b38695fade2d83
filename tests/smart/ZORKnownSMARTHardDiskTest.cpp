// The known-disk table: the rules of its format and how its patterns match.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/SystemLog.h"
#include "smart/ZORKnownSMARTHardDisk.h"

namespace zor {
namespace {

// The rows read from `text` as "name ID;" each.
std::string rowsOf(std::string_view text) {
  std::string rows;
  for (const auto& disk : ZORKnownSMARTHardDisk::smartDiskTableWithContents(text)) {
    rows += disk->productName().value_or("(none)") + " " +
            std::to_string(disk->vendorTemperatureAttributeIdentifier()) + ";";
  }
  return rows;
}

TEST(KnownSMARTHardDiskTest, ReadsTheRowsTheFormatDefines) {
  const std::string k256(256, 'x');
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"blanks and tabs before fields", " \t\"^A\"\t 194 C\t\"Disk A\"\n", "Disk A 194;"},
      {"comment lines, indented too", "   # \"^X\" 5 C \"X\"\n\"^A\" 2 C \"A\"\n", "A 2;"},
      {"comment at the end of the file without a line end", "\"^A\" 4 C \"A\"\n# trailing", "A 4;"},
      {"quoted field across a line end", "\"^A\" 5 C \"first\nsecond\"\n", "first\nsecond 5;"},
      {"rows with unit F are skipped, the C rows after them kept",
       "\"^F\" 194 F \"Fahrenheit\"\n\"^C\" 194 C \"Celsius\"\n\"^D\" 190 Cel \"D\"\n",
       "Celsius 194;D 190;"},
      {"ID 255 is the largest", "\"^A\" 255 C \"A\"\n\"^B\" 256 C \"B\"\n", "A 255;"},
      {"a fourth digit is lost", "\"^A\" 1940 C \"A\"\n", "A 194;"},
      {"the 257th character ends a quoted field and the rest moves on",
       "\"^" + k256 + "y\" 7 C \"Z\"\n", ""},
      {"256 characters fit", "\"" + k256 + "\" 7 C \"Z\"\n", "Z 7;"},
      {"the table ends inside a row", "\"^A\" 194", ""},
      {"unquoted fields end at a blank", "^A 8 C Name\n^B 9 C Other\n", "Name\n^B 8;"},
      {"no digits give 0", "\"^A\" xC \"A\"\n", "A 0;"},
      {"0xFF ends a field", "\"^A\" 1 C \"Na\xffme\"\n", "Na 1;"},
      {"a pattern that does not compile", "\"^(A\" 1 C \"A\"\n\"^B\" 2 C \"B\"\n", "B 2;"}};
  for (const auto& [rule, text, expected] : cases) {
    ScopedLogCapture log;
    EXPECT_EQ(rowsOf(text), expected) << rule;
  }
}

TEST(KnownSMARTHardDiskTest, PatternsMatchAnywhereUnlessAnchoredAndKeepCase) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"3200", "WDC WD3200BEVT", true},
      {"^WD3200", "WDC WD3200BEVT", false},
      {"wdc", "WDC WD3200BEVT", false},
      {"(HD|HM)[0-9]+A$", "SAMSUNG HM250A", true}};
  for (const auto& [pattern, productName, matches] : cases) {
    auto disk = ZORKnownSMARTHardDisk::diskWithMatchString(pattern, 194, "x");
    ASSERT_TRUE(disk != nullptr) << pattern;
    EXPECT_EQ(disk->matchesProductName(productName), matches) << pattern;
  }
  // A pattern that does not compile, and ones whose compiled form would take
  // gigabytes (each "+" and "{m,n}" copies what it repeats), are refused alike.
  const std::vector<std::string> refused = {"a[", "s" + std::string(120, '+'), "((a{99}){99}){99}"};
  for (const std::string& pattern : refused) {
    ScopedLogCapture log;
    EXPECT_EQ(ZORKnownSMARTHardDisk::diskWithMatchString(pattern.c_str(), 1, "x"), nullptr);
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Could not accept regular expression '" + pattern + "'\n"});
  }
  EXPECT_NE(ZORKnownSMARTHardDisk::diskWithMatchString("^[+]{2}[0-9]+-[0-9]+x{3}", 1, "x"),
            nullptr);
}

// Every data row of our own table must make a record.
TEST(KnownSMARTHardDiskTest, ShippedTableReadsWholly) {
  std::stringstream table;
  table << std::ifstream(ZOR_SOURCE_DIR "/resources/hddtemp.db").rdbuf();
  const std::string text = "\n" + table.str();
  std::size_t rows = 0;  // lines that begin with a quote
  for (auto at = text.find("\n\""); at != std::string::npos; at = text.find("\n\"", at + 1)) ++rows;
  EXPECT_EQ(ZORKnownSMARTHardDisk::smartDiskTableWithContents(text).size(), rows);
}

}  // namespace
}  // namespace zor
