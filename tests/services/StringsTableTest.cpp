#include "platform/StringsTable.h"

#include <gtest/gtest.h>

#include "platform/SystemLog.h"

namespace zor {
namespace {

using Entries = std::map<std::string, std::string>;

TEST(StringsTableTest, DecodesEscapesInValues) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(say \"hi\")", "say \"hi\""},
      {R"(a\\b\nc)", "a\\b\nc"},
      {R"(\U00E9t\u00E9\U00B0)", "\xC3\xA9t\xC3\xA9\xC2\xB0"},
      {R"(\UD83D\UDE00)", "\xF0\x9F\x98\x80"},  // a surrogate pair
      {R"(\UD83Dx\UDE00)", "\xEF\xBF\xBDx\xEF\xBF\xBD"},
      {R"(\101\60)", "A0"},  // octal
      {"gr\xC3\xBC\xC3\x9F", "gr\xC3\xBC\xC3\x9F"},
      {"/* not // a comment */", "/* not // a comment */"},
      {R"(\q)", "q"},
      {"", ""},
  };
  for (const auto& [source, expected] : cases) {
    ScopedLogCapture log;
    StringsTable table = StringsTable::parse("\"k\" = \"" + source + "\";", "t.strings");
    EXPECT_EQ(table.entries(), (Entries{{"k", expected}})) << source;
    EXPECT_TRUE(log.lines().empty()) << source;
  }
}

TEST(StringsTableTest, CommentsAndLayoutBetweenTokens) {
  ScopedLogCapture log;
  StringsTable table = StringsTable::parse(
      "// leading line comment\n"
      "/* block\n   comment */ \"a\" /* between */ = // after equals\n \"1\" ;\n"
      "\"b\"=\"2\";\"c\" = \"3\";\r\n"
      "bare_key = bare.value-1;\n"
      "\"same\";\n",
      "t.strings");
  EXPECT_EQ(
      table.entries(),
      (Entries{
          {"a", "1"}, {"b", "2"}, {"c", "3"}, {"bare_key", "bare.value-1"}, {"same", "same"}}));
  EXPECT_TRUE(log.lines().empty());
}

// A malformed entry is skipped with one line naming it, never read past the end.
TEST(StringsTableTest, MalformedLinesAreSkippedAndLogged) {
  struct Case {
    std::string text;
    Entries expected;
    std::vector<int> badLines;
  };
  const Case cases[] = {
      {"\"a\" = \"1\"\n\"b\" = \"2\";\n", {{"b", "2"}}, {1}},  // no semicolon
      {"\"a\" = \"1\";\n\"b\" = \"never closed", {{"a", "1"}}, {2}},
      {"\"a\" = \"x\\", {}, {1}},
      {"\"a\" = \"\\U12\";\n\"b\" = \"2\";\n", {{"b", "2"}}, {1}},
      {"\"a\" = \"\\U00", {}, {1}},
      {"\"a\"", {}, {1}},
      {"= \"1\";\n\"b\" = \"2\";\n\"c\" = \"3\" extra;\n", {{"b", "2"}}, {1, 3}},
  };
  for (const Case& c : cases) {
    ScopedLogCapture log;
    StringsTable table = StringsTable::parse(c.text, "de.lproj/T.strings");
    EXPECT_EQ(table.entries(), c.expected) << c.text;
    std::vector<std::string> lines;
    for (int line : c.badLines) {
      lines.push_back("de.lproj/T.strings: malformed line " + std::to_string(line) + " skipped\n");
    }
    EXPECT_EQ(log.lines(), lines) << c.text;
  }
  ScopedLogCapture log;
  StringsTable open = StringsTable::parse("\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n", "T.strings");
  EXPECT_EQ(open.entries(), (Entries{{"a", "1"}}));
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"T.strings: unterminated comment from line 2 skipped\n"});
}

std::string utf16(const std::u16string& text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes.push_back(littleEndian ? low : high);
    bytes.push_back(littleEndian ? high : low);
  }
  return bytes;
}

TEST(StringsTableTest, ReadsUtf16InBothByteOrders) {
  const std::u16string text = u"\"K\u00E4se\" = \"Cheese \U0001F9C0\";";
  for (bool littleEndian : {true, false}) {
    StringsTable table = StringsTable::parse(utf16(text, littleEndian), "t.strings");
    EXPECT_EQ(table.entries(), (Entries{{"K\xC3\xA4se", "Cheese \xF0\x9F\xA7\x80"}}))
        << littleEndian;
  }
  // An odd trailing byte is dropped, not read past.
  StringsTable odd = StringsTable::parse(utf16(u"\"a\" = \"b\";", true) + "\x01", "t.strings");
  EXPECT_EQ(odd.entries(), (Entries{{"a", "b"}}));
}

}  // namespace
}  // namespace zor
