#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/SystemLog.h"
#include "smart/ZORKnownSMARTHardDisk.h"

namespace zor {
namespace {

struct Row {
  std::string name;
  unsigned id;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "{" << row.name << ", " << row.id << "}";
}

std::vector<Row> rowsOf(std::string_view text) {
  std::vector<Row> rows;
  for (const auto& disk : ZORKnownSMARTHardDisk::smartDiskTableWithContents(text)) {
    rows.push_back(
        {disk->productName().value_or("(none)"), disk->vendorTemperatureAttributeIdentifier()});
  }
  return rows;
}

struct FormatCase {
  const char* rule;
  std::string text;
  std::vector<Row> expected;
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) {
  return out << c.rule;
}

class TableFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TableFormatTest, ReadsTheRowsTheFormatDefines) {
  ScopedLogCapture log;
  EXPECT_EQ(rowsOf(GetParam().text), GetParam().expected);
}

const std::string k256(256, 'x');

INSTANTIATE_TEST_SUITE_P(
    Rules, TableFormatTest,
    ::testing::Values(
        FormatCase{"plain row", "\"^A\" 194 C \"Disk A\"\n", {{"Disk A", 194}}},
        FormatCase{"blanks and tabs before fields",
                   " \t \"^A\"\t  194 \t C\t\"Disk A\"\n",
                   {{"Disk A", 194}}},
        FormatCase{
            "empty and blank lines are ignored", "\n   \n\t\n\"^A\" 1 C \"A\"\n\n", {{"A", 1}}},
        FormatCase{"comment lines, indented too",
                   "# one\n   # two \"^X\" 5 C \"X\"\n\"^A\" 2 C \"A\"\n",
                   {{"A", 2}}},
        FormatCase{"# inside a row is no comment", "\"^A#\" 3 C \"A # B\"\n", {{"A # B", 3}}},
        FormatCase{"comment at the end of the file without a line end",
                   "\"^A\" 4 C \"A\"\n# trailing comment",
                   {{"A", 4}}},
        FormatCase{"quoted field across a line end",
                   "\"^A\" 5 C \"first\nsecond\"\n",
                   {{"first\nsecond", 5}}},
        FormatCase{"quoted pattern with blanks", "\"^WDC WD\" 6 C \"Blue\"\n", {{"Blue", 6}}},
        FormatCase{"unquoted fields, the last one up to the end of the file",
                   "^A 7 C Name\n",
                   {{"Name\n", 7}}},
        FormatCase{"unquoted name runs across the line end up to the next blank",
                   "^A 8 C Name\n^B 9 C Other\n",
                   {{"Name\n^B", 8}}},
        FormatCase{"unquoted pattern with a blank shifts the fields",
                   "^WDC WD 10 C Name\n^B 11 C \"B\"\n",
                   {}},
        FormatCase{"rows with unit F are skipped, the C rows after them kept",
                   "\"^F\" 194 F \"Fahrenheit\"\n\"^C\" 194 C \"Celsius\"\n\"^D\" 190 Cel \"D\"\n",
                   {{"Celsius", 194}, {"D", 190}}},
        FormatCase{"a lower-case unit is not C", "\"^A\" 194 c \"A\"\n", {}},
        FormatCase{"ID 0 makes a record", "\"^A\" 0 C \"None\"\n", {{"None", 0}}},
        FormatCase{
            "ID 255 is the largest", "\"^A\" 255 C \"A\"\n\"^B\" 256 C \"B\"\n", {{"A", 255}}},
        FormatCase{"ID 300 makes nothing", "\"^A\" 300 C \"A\"\n\"^B\" 1 C \"B\"\n", {{"B", 1}}},
        FormatCase{"a fourth digit is lost", "\"^A\" 1940 C \"A\"\n", {{"A", 194}}},
        FormatCase{
            "no digits give 0 and the character read is dropped", "\"^A\" xC \"A\"\n", {{"A", 0}}},
        FormatCase{
            "the character after the digits is dropped whatever it is", "\"^A\" 12C D \"A\"\n", {}},
        FormatCase{"a pattern that does not compile is skipped",
                   "\"^(A\" 1 C \"Broken\"\n\"^B\" 2 C \"B\"\n",
                   {{"B", 2}}},
        FormatCase{
            "a carriage return is an ordinary character", "^A 1 C Name\r \n", {{"Name\r", 1}}},
        FormatCase{"the 257th character ends a quoted field and the rest moves on",
                   "\"^" + k256 + "y\" 7 C \"Z\"\n",
                   {}},
        FormatCase{"256 characters fit", "\"" + k256 + "\" 7 C \"Z\"\n", {{"Z", 7}}},
        FormatCase{
            "a name of 257 characters keeps 256", "\"^A\" 1 C \"" + k256 + "y\"\n", {{k256, 1}}},
        FormatCase{"0xFF ends a field like the end of the file",
                   std::string("\"^A\" 1 C \"Na\xffme\"\n"),
                   {{"Na", 1}}},
        FormatCase{"the table ends inside a row", "\"^A\" 194", {}},
        FormatCase{"an empty file", "", {}}));

TEST(KnownSMARTHardDiskTest, CarriageReturnLineEndsGlueTheNextPatternToIt) {
  // With CR LF line ends the CR starts the next row, whose pattern becomes
  // the unquoted text CR LF "^B" and so no longer matches a "B" model.
  auto table =
      ZORKnownSMARTHardDisk::smartDiskTableWithContents("\"^A\" 1 C \"A\"\r\n\"^B\" 2 C \"B\"\n");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_TRUE(table[0]->matchesProductName("A1"));
  EXPECT_EQ(table[1]->productName(), std::optional<std::string>("B"));
  EXPECT_FALSE(table[1]->matchesProductName("B1"));
}

TEST(KnownSMARTHardDiskTest, DescriptionAndSupport) {
  auto with = ZORKnownSMARTHardDisk::diskWithMatchString("^A", 194, "Disk A");
  auto without = ZORKnownSMARTHardDisk::diskWithMatchString("^B", 0, "Disk B");
  ASSERT_TRUE(with && without);
  EXPECT_EQ(with->description(), "Disk A: Temperature Attribute ID: 194 Supported: YES\n");
  EXPECT_EQ(without->description(), "Disk B: Temperature Attribute ID: 0 Supported: NO\n");
  EXPECT_TRUE(with->supportsTemperatureMonitoring());
  EXPECT_FALSE(without->supportsTemperatureMonitoring());
  EXPECT_NE(with->regularMatchExpression(), nullptr);
}

TEST(KnownSMARTHardDiskTest, MissingPatternOrNameGivesNoRecord) {
  EXPECT_EQ(ZORKnownSMARTHardDisk::diskWithMatchString(nullptr, 1, "x"), nullptr);
  EXPECT_EQ(ZORKnownSMARTHardDisk::diskWithMatchString("x", 1, nullptr), nullptr);
}

TEST(KnownSMARTHardDiskTest, PatternThatDoesNotCompileIsLogged) {
  ScopedLogCapture log;
  EXPECT_EQ(ZORKnownSMARTHardDisk::diskWithMatchString("a[", 1, "x"), nullptr);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0], "Could not accept regular expression 'a['\n");
}

struct MatchCase {
  const char* pattern;
  const char* productName;
  bool matches;
};

class PatternMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(PatternMatchTest, MatchesAnywhereUnlessAnchoredAndKeepsCase) {
  auto disk = ZORKnownSMARTHardDisk::diskWithMatchString(GetParam().pattern, 194, "x");
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(disk->matchesProductName(GetParam().productName), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Patterns, PatternMatchTest,
                         ::testing::Values(MatchCase{"WD", "WDC WD3200BEVT", true},
                                           MatchCase{"3200", "WDC WD3200BEVT", true},
                                           MatchCase{"^WD3200", "WDC WD3200BEVT", false},
                                           MatchCase{"wdc", "WDC WD3200BEVT", false},
                                           MatchCase{"ST3[0-9]+A$", "ST3200822A", true},
                                           MatchCase{"ST3[0-9]+A$", "ST3200822AS", false},
                                           MatchCase{"(HD|HM)[0-9]+", "SAMSUNG HM250HI", true}));

TEST(KnownSMARTHardDiskTest, TableFromPath) {
  EXPECT_EQ(ZORKnownSMARTHardDisk::smartDiskTableWithPath(std::nullopt), std::nullopt);
  EXPECT_EQ(ZORKnownSMARTHardDisk::smartDiskTableWithPath("/nonexistent/hddtemp.db"), std::nullopt);
  std::string path = ::testing::TempDir() + "zor-known-disks.db";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("\"^A\" 190 C \"A\"\n\"^B\" 194 F \"B\"\n", file);
  std::fclose(file);
  auto table = ZORKnownSMARTHardDisk::smartDiskTableWithPath(path);
  ASSERT_TRUE(table.has_value());
  ASSERT_EQ(table->size(), 1u);
  EXPECT_EQ((*table)[0]->vendorTemperatureAttributeIdentifier(), 190);
  std::remove(path.c_str());
  // An empty file is a table with no rows.
  file = std::fopen(path.c_str(), "wb");
  std::fclose(file);
  auto empty = ZORKnownSMARTHardDisk::smartDiskTableWithPath(path);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
  std::remove(path.c_str());
}

TEST(KnownSMARTHardDiskTest, ShippedTableReadsWholly) {
  // Every data row of our own table must make a record.
  auto contents = ZORKnownSMARTHardDisk::smartDiskTableWithPath(std::string(ZOR_SOURCE_DIR) +
                                                                "/resources/hddtemp.db");
  ASSERT_TRUE(contents.has_value());
  FILE* file = std::fopen(ZOR_SOURCE_DIR "/resources/hddtemp.db", "rb");
  ASSERT_NE(file, nullptr);
  std::size_t rows = 0;
  char line[1024];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (line[0] == '"') ++rows;
  }
  std::fclose(file);
  EXPECT_EQ(contents->size(), rows);
}

}  // namespace
}  // namespace zor
