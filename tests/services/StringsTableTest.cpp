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

// Escapes in values, comments and layout between tokens, bare words.
TEST(StringsTableTest, ReadsEscapesCommentsAndBareWords) {
  const std::pair<std::string, Entries> cases[] = {
      {R"("k" = "say \"hi\" a\\b\nc \q";)", {{"k", "say \"hi\" a\\b\nc q"}}},
      {R"("k" = "\U00E9t\u00E9\U00B0 \UD83D\UDE00";)", {{"k", "\u00e9t\u00e9\u00b0 \U0001F600"}}},
      {R"("k" = "\UD83Dx\UDE00 \101\60";)", {{"k", "\xEF\xBF\xBDx\xEF\xBF\xBD A0"}}},
      {"\"k\" = \"/* not // a comment */ gr\xC3\xBC\xC3\x9F\";",
       {{"k", "/* not // a comment */ gr\xC3\xBC\xC3\x9F"}}},
      {"// a line\n/* block\n */ \"a\" /* */ = // after\n \"1\" ;\n\"b\"=\"2\";\"c\" = \"3\";\r\n",
       {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
      {"bare_key = bare.value-1;\n\"same\";\n", {{"bare_key", "bare.value-1"}, {"same", "same"}}},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<std::string> log;
    EXPECT_EQ(parse(text, &log), expected) << text;
    EXPECT_TRUE(log.empty()) << text;
  }
}

// A malformed entry is skipped with one line naming it, never read past the end.
TEST(StringsTableTest, MalformedLinesAreSkippedAndLogged) {
  const std::tuple<std::string, Entries, std::vector<std::string>> cases[] = {
      {"\"a\" = \"1\"\n\"b\" = \"2\";\n", {{"b", "2"}}, {"malformed line 1"}},  // no semicolon
      {"\"a\" = \"1\";\n\"b\" = \"never closed", {{"a", "1"}}, {"malformed line 2"}},
      {"\"a\" = \"x\\", {}, {"malformed line 1"}},
      {"\"a\" = \"\\U12\";\n\"b\" = \"2\";\n", {{"b", "2"}}, {"malformed line 1"}},
      {"\"a\" = \"\\U00", {}, {"malformed line 1"}},
      {"\"a\"", {}, {"malformed line 1"}},
      {"= \"1\";\n\"b\" = \"2\";\n\"c\" = \"3\" extra;\n",
       {{"b", "2"}},
       {"malformed line 1", "malformed line 3"}},
      {"\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n",
       {{"a", "1"}},
       {"unterminated comment from line 2"}},
  };
  for (const auto& [text, expected, problems] : cases) {
    std::vector<std::string> log, lines;
    EXPECT_EQ(parse(text, &log), expected) << text;
    for (const std::string& problem : problems)
      lines.push_back("t.strings: " + problem + " skipped\n");
    EXPECT_EQ(log, lines) << text;
  }
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
