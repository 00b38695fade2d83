// What a person may type as an own name or limit: what is kept, and what is
// refused with which reason.

#include "widget/OwnSensorInput.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(OwnSensorInputTest, NamesAreKeptTrimmedOrRefused) {
  const char* tooLong = "A name can have at most 64 characters.";
  const char* control = "A name cannot contain control characters.";
  const char* notUtf8 = "A name must be UTF-8 text.";
  const std::string longest(64, 'x');
  std::string umlauts(32, 'a');  // 64 characters in 96 bytes
  for (int i = 0; i < 32; ++i) umlauts += "\u00FC";
  const std::tuple<std::string, std::string, const char*> cases[] = {
      {"  Water pump\t", "Water pump", nullptr},
      {"   ", "", nullptr},
      {longest, longest, nullptr},
      {umlauts, umlauts, nullptr},
      {"Gr\u00FC\u00DFe \U0001F525 \u200D", "Gr\u00FC\u00DFe \U0001F525 \u200D", nullptr},
      {longest + "y", "", tooLong},
      {"a\nb", "", control},
      {"a\u0085b", "", control},
      {"a\u2028b", "", control},
      {"evil\u202Etxt", "", control},
      {"a\uFFFEb", "", control},
      {"caf\xE9", "", notUtf8},
      {"\xED\xA0\x80", "", notUtf8},  // a surrogate
      {"\xC0\xAF", "", notUtf8},      // overlong
  };
  for (const auto& [text, kept, refusal] : cases) {
    OwnSensorInput::Name name = OwnSensorInput::name(text);
    EXPECT_EQ(name.name, kept) << text.substr(0, 40);
    EXPECT_EQ(name.refusal ? std::string(name.refusal) : "", refusal ? refusal : "")
        << text.substr(0, 40);
  }
}

// Plain decimal numbers with a point or a comma within a million; blank is no limit.
TEST(OwnSensorInputTest, LimitsArePlainNumbers) {
  const std::pair<const char*, std::optional<double>> kept[] = {
      {" 85.5 ", 85.5}, {"85,5", 85.5}, {"-12", -12.0},   {"+3", 3.0},
      {".5", 0.5},      {"  ", {}},     {"1000000", 1e6},
  };
  for (const auto& [text, value] : kept) {
    EXPECT_EQ(OwnSensorInput::limit(text).refusal, nullptr) << text;
    EXPECT_EQ(OwnSensorInput::limit(text).value, value) << text;
  }
  for (const char* text : {"abc", "1e3", "inf", "1.2.3", "-", "--1", "1000001",
                           "99999999999999999999999999999999999"}) {
    OwnSensorInput::Limit limit = OwnSensorInput::limit(text);
    EXPECT_STREQ(limit.refusal, "The limit must be a number.") << text;
    EXPECT_EQ(limit.value, std::nullopt) << text;
  }
}

}  // namespace
}  // namespace zor
