#include "platform/StringsTable.h"

#include <gtest/gtest.h>

#include <ostream>

#include "platform/SystemLog.h"
#include "platform/Utf8.h"

namespace zor {
namespace {

struct EscapeCase {
  const char* name;
  std::string source;
  std::string expected;
};
void PrintTo(const EscapeCase& c, std::ostream* os) {
  *os << c.name;
}

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
                      EscapeCase{"Tab", R"(a\tb)", "a\tb"},
                      EscapeCase{"Latin", R"(\U00E9t\u00E9)", "\xC3\xA9t\xC3\xA9"},
                      EscapeCase{"Degree", R"(\U00B0C)",
                                 "\xC2\xB0"
                                 "C"},
                      EscapeCase{"SurrogatePair", R"(\UD83D\UDE00)", "\xF0\x9F\x98\x80"},
                      EscapeCase{"LoneHighSurrogate", R"(\UD83Dx)", "\xEF\xBF\xBDx"},
                      EscapeCase{"LoneLowSurrogate", R"(\UDE00)", "\xEF\xBF\xBD"},
                      EscapeCase{"Octal", R"(\101\60)", "A0"},
                      EscapeCase{"RawUtf8", "gr\xC3\xBC\xC3\x9F", "gr\xC3\xBC\xC3\x9F"},
                      EscapeCase{"RawNewline", "a\nb", "a\nb"},
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

TEST(StringsTableTest, LaterDuplicateWins) {
  StringsTable table = StringsTable::parse("\"k\" = \"old\";\n\"k\" = \"new\";\n", "t.strings");
  ASSERT_NE(table.find("k"), nullptr);
  EXPECT_EQ(*table.find("k"), "new");
}

struct MalformedCase {
  const char* name;
  std::string text;
  std::map<std::string, std::string> expected;
  std::vector<std::string> logLines;
};
void PrintTo(const MalformedCase& c, std::ostream* os) {
  *os << c.name;
}

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
        MalformedCase{"MissingValue",
                      "\"a\" = ;\n\"b\" = \"2\";\n",
                      {{"b", "2"}},
                      {"de.lproj/T.strings: malformed line 1 skipped\n"}},
        MalformedCase{"MissingEquals",
                      "\"x\" = \"0\";\n\"a\" \"1\";\n\"b\" = \"2\";\n",
                      {{"x", "0"}, {"b", "2"}},
                      {"de.lproj/T.strings: malformed line 2 skipped\n"}},
        MalformedCase{"Garbage",
                      "\"a\" = \"1\";\n%%% ???\n\"b\" = \"2\";\n",
                      {{"a", "1"}, {"b", "2"}},
                      {"de.lproj/T.strings: malformed line 2 skipped\n"}},
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

TEST(StringsTableTest, ReadsUtf8WithByteOrderMark) {
  StringsTable table = StringsTable::parse("\xEF\xBB\xBF\"k\" = \"v\";", "t.strings");
  ASSERT_NE(table.find("k"), nullptr);
  EXPECT_EQ(*table.find("k"), "v");
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
    const std::string* value = table.find("K\xC3\xA4se");
    ASSERT_NE(value, nullptr) << littleEndian;
    EXPECT_EQ(*value, "Cheese \xF0\x9F\xA7\x80");
  }
  // An odd trailing byte is dropped, not read past.
  StringsTable odd = StringsTable::parse(utf16(u"\"a\" = \"b\";", true) + "\x01", "t.strings");
  EXPECT_NE(odd.find("a"), nullptr);
}

TEST(StringsTableTest, EmptyAndCommentOnlyFilesHaveNoEntries) {
  ScopedLogCapture log;
  EXPECT_TRUE(StringsTable::parse("", "t.strings").entries().empty());
  EXPECT_TRUE(StringsTable::parse("/* nothing */\n// here\n", "t.strings").entries().empty());
  EXPECT_TRUE(log.lines().empty());
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  std::u32string expected;
};
void PrintTo(const Utf8Case& c, std::ostream* os) {
  *os << c.name;
}

class Utf8DecodeTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8DecodeTest, Decodes) {
  EXPECT_EQ(Utf8::decode(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8DecodeTest,
    ::testing::Values(Utf8Case{"Ascii", "Ab", U"Ab"}, Utf8Case{"TwoByte", "\xC3\xA9", U"\u00E9"},
                      Utf8Case{"ThreeByte", "\xE2\x80\xA6", U"\u2026"},
                      Utf8Case{"FourByte", "\xF0\x9F\x98\x80", U"\U0001F600"},
                      Utf8Case{"OverlongTwoByte", "\xC0\x80", U"\uFFFD\uFFFD"},
                      Utf8Case{"OverlongThreeByte", "\xE0\x80\x80x", U"\uFFFDx"},
                      Utf8Case{"Surrogate", "\xED\xA0\x80", U"\uFFFD"},
                      Utf8Case{"AboveRange", "\xF4\x90\x80\x80", U"\uFFFD"},
                      Utf8Case{"LoneContinuation",
                               "a\x80"
                               "b",
                               U"a\uFFFDb"},
                      Utf8Case{"TruncatedAtEnd", "a\xE2\x82", U"a\uFFFD"},
                      Utf8Case{"CutByNextLead",
                               "\xE2\x82"
                               "A",
                               U"\uFFFDA"},
                      Utf8Case{"InvalidLead", "\xFF\xFE", U"\uFFFD\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Test, EncodingRoundTripsAndReplacesInvalidCodePoints) {
  std::string out;
  for (char32_t c : {U'A', U'\u00E9', U'\u2026', U'\U0001F600'}) Utf8::append(out, c);
  EXPECT_EQ(Utf8::decode(out), U"A\u00E9\u2026\U0001F600");
  std::string bad;
  Utf8::append(bad, 0xD800);
  Utf8::append(bad, 0x110000);
  EXPECT_EQ(bad, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace zor
