#include "platform/StringsTable.h"

#include <gtest/gtest.h>

#include "platform/SystemLog.h"

namespace zor {
namespace {

using Entries = std::map<std::string, std::string>;

// `text` in UTF-16 with its byte-order mark.
std::string utf16(const std::u16string& text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += littleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// Escapes in values, comments and layout between tokens, bare words, both
// UTF-16 byte orders; a malformed entry is skipped with one line naming it,
// never read past the end (nor is an odd byte after UTF-16 text).
TEST(StringsTableTest, ReadsEntriesAndSkipsMalformedOnes) {
  const std::tuple<std::string, Entries, std::string> cases[] = {
      {R"("k" = "say \"hi\" a\\b\nc \q";)", {{"k", "say \"hi\" a\\b\nc q"}}, ""},
      {R"("k" = "\U00E9t\u00E9\U00B0 \UD83D\UDE00";)",
       {{"k", "\u00e9t\u00e9\u00b0 \U0001F600"}},
       ""},
      {R"("k" = "\UD83Dx\UDE00 \101\60";)", {{"k", "\xEF\xBF\xBDx\xEF\xBF\xBD A0"}}, ""},
      {"\"k\" = \"/* not // a comment */ gr\xC3\xBC\xC3\x9F\";",
       {{"k", "/* not // a comment */ gr\xC3\xBC\xC3\x9F"}},
       ""},
      {"// a line\n/* block\n */ \"a\" /* */ = // after\n \"1\" ;\n\"b\"=\"2\";\"c\" = \"3\";\r\n",
       {{"a", "1"}, {"b", "2"}, {"c", "3"}},
       ""},
      {"bare_key = bare.value-1;\n\"same\";\n",
       {{"bare_key", "bare.value-1"}, {"same", "same"}},
       ""},
      {utf16(u"\"K\u00E4se\" = \"Cheese \U0001F9C0\";", true),
       {{"K\xC3\xA4se", "Cheese \xF0\x9F\xA7\x80"}},
       ""},
      {utf16(u"\"K\u00E4se\" = \"x\";", false), {{"K\xC3\xA4se", "x"}}, ""},
      {utf16(u"\"a\" = \"b\";", true) + "\x01", {{"a", "b"}}, ""},
      {"\"a\" = \"1\"\n\"b\" = \"2\";\n", {{"b", "2"}}, "malformed line 1"},  // no semicolon
      {"\"a\" = \"1\";\n\"b\" = \"never closed", {{"a", "1"}}, "malformed line 2"},
      {"\"a\" = \"x\\", {}, "malformed line 1"},
      {"\"a\" = \"\\U12\";\n\"b\" = \"2\";\n", {{"b", "2"}}, "malformed line 1"},
      {"\"a\" = \"\\U00", {}, "malformed line 1"},
      {"\"a\"", {}, "malformed line 1"},
      {"= \"1\";\n\"b\" = \"2\";\n\"c\" = \"3\" extra;\n",
       {{"b", "2"}},
       "malformed line 1;malformed line 3"},
      {"\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n",
       {{"a", "1"}},
       "unterminated comment from line 2"}};
  for (const auto& [text, expected, problems] : cases) {
    SCOPED_TRACE(::testing::PrintToString(text));  // UTF-16 text printed escaped
    ScopedLogCapture log;
    EXPECT_EQ(StringsTable::parse(text, "t.strings").entries(), expected);
    std::string logged;
    for (const std::string& line : log.lines())
      logged += (logged.empty() ? "" : ";") + line.substr(11, line.size() - 20);
    EXPECT_EQ(logged, problems);
  }
}

}  // namespace
}  // namespace zor
