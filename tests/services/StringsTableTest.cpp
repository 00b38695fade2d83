#include "platform/StringsTable.h"

#include <gtest/gtest.h>

#include "platform/SystemLog.h"

namespace zor {
namespace {

using Entries = std::map<std::string, std::string>;

// Parses `text` as "t.strings"; what it logged goes to `log`.
Entries parse(const std::string& text, std::vector<std::string>* log = nullptr) {
  ScopedLogCapture capture;
  Entries entries = StringsTable::parse(text, "t.strings").entries();
  if (log) *log = capture.lines();
  return entries;
}

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
  };
  for (const auto& [source, expected] : cases) {
    std::vector<std::string> log;
    EXPECT_EQ(parse("\"k\" = \"" + source + "\";", &log), (Entries{{"k", expected}})) << source;
    EXPECT_TRUE(log.empty()) << source;
  }
}

TEST(StringsTableTest, CommentsAndLayoutBetweenTokens) {
  std::vector<std::string> log;
  EXPECT_EQ(
      parse("// leading line comment\n"
            "/* block\n   comment */ \"a\" /* between */ = // after equals\n \"1\" ;\n"
            "\"b\"=\"2\";\"c\" = \"3\";\r\n"
            "bare_key = bare.value-1;\n"
            "\"same\";\n",
            &log),
      (Entries{
          {"a", "1"}, {"b", "2"}, {"c", "3"}, {"bare_key", "bare.value-1"}, {"same", "same"}}));
  EXPECT_TRUE(log.empty());
}

// A malformed entry is skipped with one line naming it, never read past the end.
TEST(StringsTableTest, MalformedLinesAreSkippedAndLogged) {
  const std::tuple<std::string, Entries, std::vector<int>> cases[] = {
      {"\"a\" = \"1\"\n\"b\" = \"2\";\n", {{"b", "2"}}, {1}},  // no semicolon
      {"\"a\" = \"1\";\n\"b\" = \"never closed", {{"a", "1"}}, {2}},
      {"\"a\" = \"x\\", {}, {1}},
      {"\"a\" = \"\\U12\";\n\"b\" = \"2\";\n", {{"b", "2"}}, {1}},
      {"\"a\" = \"\\U00", {}, {1}},
      {"\"a\"", {}, {1}},
      {"= \"1\";\n\"b\" = \"2\";\n\"c\" = \"3\" extra;\n", {{"b", "2"}}, {1, 3}},
  };
  for (const auto& [text, expected, badLines] : cases) {
    std::vector<std::string> log, lines;
    EXPECT_EQ(parse(text, &log), expected) << text;
    for (int line : badLines) {
      lines.push_back("t.strings: malformed line " + std::to_string(line) + " skipped\n");
    }
    EXPECT_EQ(log, lines) << text;
  }
  std::vector<std::string> log;
  EXPECT_EQ(parse("\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n", &log), (Entries{{"a", "1"}}));
  EXPECT_EQ(log, std::vector<std::string>{"t.strings: unterminated comment from line 2 skipped\n"});
}

TEST(StringsTableTest, ReadsUtf16InBothByteOrders) {
  auto utf16 = [](const std::u16string& text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
      const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
      bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
  };
  for (bool littleEndian : {true, false}) {
    EXPECT_EQ(parse(utf16(u"\"K\u00E4se\" = \"Cheese \U0001F9C0\";", littleEndian)),
              (Entries{{"K\xC3\xA4se", "Cheese \xF0\x9F\xA7\x80"}}))
        << littleEndian;
  }
  // An odd trailing byte is dropped, not read past.
  EXPECT_EQ(parse(utf16(u"\"a\" = \"b\";", true) + "\x01"), (Entries{{"a", "b"}}));
}

}  // namespace
}  // namespace zor
