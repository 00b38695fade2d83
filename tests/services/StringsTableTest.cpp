#include "platform/StringsTable.h"

#include <gtest/gtest.h>

#include <ostream>

#include "platform/SystemLog.h"

namespace zor {
namespace {

struct EscapeCase {
  const char* name;
  std::string source;
  std::string expected;
};
class StringsEscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(StringsEscapeTest, DecodesValue) {
  ScopedLogCapture log;
  StringsTable table = StringsTable::parse("\"k\" = \"" + GetParam().source + "\";", "t.strings");
  const std::string* value = table.find("k");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(*value, GetParam().expected);
  EXPECT_TRUE(log.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, StringsEscapeTest,
    ::testing::Values(EscapeCase{"Quote", R"(say \"hi\")", "say \"hi\""},
                      EscapeCase{"Backslash", R"(a\\b)", "a\\b"},
                      EscapeCase{"Newline", R"(a\nb)", "a\nb"},
                      EscapeCase{"Latin", R"(\U00E9t\u00E9)", "\xC3\xA9t\xC3\xA9"},
                      EscapeCase{"Degree", R"(\U00B0C)",
                                 "\xC2\xB0"
                                 "C"},
                      EscapeCase{"SurrogatePair", R"(\UD83D\UDE00)", "\xF0\x9F\x98\x80"},
                      EscapeCase{"LoneHighSurrogate", R"(\UD83Dx)", "\xEF\xBF\xBDx"},
                      EscapeCase{"LoneLowSurrogate", R"(\UDE00)", "\xEF\xBF\xBD"},
                      EscapeCase{"Octal", R"(\101\60)", "A0"},
                      EscapeCase{"RawUtf8", "gr\xC3\xBC\xC3\x9F", "gr\xC3\xBC\xC3\x9F"},
                      EscapeCase{"CommentMarkersInside", "/* not // a comment */",
                                 "/* not // a comment */"},
                      EscapeCase{"UnknownEscape", R"(\q)", "q"}, EscapeCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

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
      (std::map<std::string, std::string>{
          {"a", "1"}, {"b", "2"}, {"c", "3"}, {"bare_key", "bare.value-1"}, {"same", "same"}}));
  EXPECT_TRUE(log.lines().empty());
}

struct MalformedCase {
  const char* name;
  std::string text;
  std::map<std::string, std::string> expected;
  std::vector<std::string> logLines;
};
class StringsMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(StringsMalformedTest, SkipsTheLineAndGoesOn) {
  ScopedLogCapture log;
  StringsTable table = StringsTable::parse(GetParam().text, "de.lproj/T.strings");
  EXPECT_EQ(table.entries(), GetParam().expected);
  EXPECT_EQ(log.lines(), GetParam().logLines);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StringsMalformedTest,
    ::testing::Values(
        MalformedCase{"MissingSemicolon",
                      "\"a\" = \"1\"\n\"b\" = \"2\";\n",
                      {{"b", "2"}},
                      {"de.lproj/T.strings: malformed line 1 skipped\n"}},
        MalformedCase{"UnterminatedStringAtEnd",
                      "\"a\" = \"1\";\n\"b\" = \"never closed",
                      {{"a", "1"}},
                      {"de.lproj/T.strings: malformed line 2 skipped\n"}},
        MalformedCase{"BackslashAtEnd",
                      "\"a\" = \"x\\",
                      {},
                      {"de.lproj/T.strings: malformed line 1 skipped\n"}},
        MalformedCase{"ShortUnicodeEscape",
                      "\"a\" = \"\\U12\";\n\"b\" = \"2\";\n",
                      {{"b", "2"}},
                      {"de.lproj/T.strings: malformed line 1 skipped\n"}},
        MalformedCase{"UnicodeEscapeCutByEnd",
                      "\"a\" = \"\\U00",
                      {},
                      {"de.lproj/T.strings: malformed line 1 skipped\n"}},
        MalformedCase{"UnterminatedComment",
                      "\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n",
                      {{"a", "1"}},
                      {"de.lproj/T.strings: unterminated comment from line 2 skipped\n"}},
        MalformedCase{"KeyAtEnd", "\"a\"", {}, {"de.lproj/T.strings: malformed line 1 skipped\n"}},
        MalformedCase{"TwoBadLines",
                      "= \"1\";\n\"b\" = \"2\";\n\"c\" = \"3\" extra;\n",
                      {{"b", "2"}},
                      {"de.lproj/T.strings: malformed line 1 skipped\n",
                       "de.lproj/T.strings: malformed line 3 skipped\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

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
    const std::string* value = table.find("K\xC3\xA4se");
    ASSERT_NE(value, nullptr) << littleEndian;
    EXPECT_EQ(*value, "Cheese \xF0\x9F\xA7\x80");
  }
  // An odd trailing byte is dropped, not read past.
  StringsTable odd = StringsTable::parse(utf16(u"\"a\" = \"b\";", true) + "\x01", "t.strings");
  EXPECT_NE(odd.find("a"), nullptr);
}

}  // namespace
}  // namespace zor
