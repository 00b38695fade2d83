// What a person may type as an own name or limit: what is kept, and what is
// refused with which reason.

#include <gtest/gtest.h>

#include "widget/OwnSensorInput.h"

namespace zor {
namespace {

TEST(OwnSensorInputTest, NamesAreKeptTrimmedOrRefused) {
  struct Case {
    std::string text;
    const char* kept;  // null when refused
    const char* refusal;
  };
  const std::string longest(64, 'x');
  const std::string umlauts = std::string(32, 'a') + [] {
    std::string s;
    for (int i = 0; i < 32; ++i) s += "\u00FC";
    return s;
  }();
  const Case cases[] = {
      {"  Water pump\t", "Water pump", nullptr},
      {"", "", nullptr},
      {"   ", "", nullptr},
      {longest, longest.c_str(), nullptr},
      {umlauts, umlauts.c_str(), nullptr},  // 64 characters in 96 bytes
      {"Gr\u00FC\u00DFe \U0001F525 \u200D", "Gr\u00FC\u00DFe \U0001F525 \u200D", nullptr},
      {longest + "y", nullptr, "A name can have at most 64 characters."},
      {std::string(10000, 'n'), nullptr, "A name can have at most 64 characters."},
      {"a\nb", nullptr, "A name cannot contain control characters."},
      {std::string("a\0b", 3), nullptr, "A name cannot contain control characters."},
      {"a\x1b[31mred", nullptr, "A name cannot contain control characters."},
      {"a\u0085b", nullptr, "A name cannot contain control characters."},
      {"a\u2028b", nullptr, "A name cannot contain control characters."},
      {"evil\u202Etxt", nullptr, "A name cannot contain control characters."},
      {"a\uFFFEb", nullptr, "A name cannot contain control characters."},
      {"caf\xE9", nullptr, "A name must be UTF-8 text."},
      {"\xED\xA0\x80", nullptr, "A name must be UTF-8 text."},  // a surrogate
      {"\xC0\xAF", nullptr, "A name must be UTF-8 text."},      // overlong
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    OwnSensorInput::Name name = OwnSensorInput::name(c.text);
    if (c.kept) {
      EXPECT_EQ(name.refusal, nullptr);
      EXPECT_EQ(name.name, c.kept);
    } else {
      ASSERT_NE(name.refusal, nullptr);
      EXPECT_STREQ(name.refusal, c.refusal);
    }
  }
}

TEST(OwnSensorInputTest, LimitsArePlainNumbers) {
  struct Case {
    const char* text;
    std::optional<double> value;
    bool refused;
  };
  const Case cases[] = {
      {"85", 85.0, false},
      {" 85.5 ", 85.5, false},
      {"85,5", 85.5, false},
      {"-12", -12.0, false},
      {"+3", 3.0, false},
      {".5", 0.5, false},
      {"", std::nullopt, false},
      {"  ", std::nullopt, false},
      {"1000000", 1e6, false},
      {"abc", std::nullopt, true},
      {"85 C", std::nullopt, true},
      {"85\u00B0", std::nullopt, true},
      {"1e3", std::nullopt, true},
      {"inf", std::nullopt, true},
      {"nan", std::nullopt, true},
      {"0x10", std::nullopt, true},
      {"1.2.3", std::nullopt, true},
      {"-", std::nullopt, true},
      {".", std::nullopt, true},
      {"--1", std::nullopt, true},
      {"1000001", std::nullopt, true},
      {"99999999999999999999999999999999999", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    OwnSensorInput::Limit limit = OwnSensorInput::limit(c.text);
    EXPECT_EQ(limit.refusal != nullptr, c.refused);
    if (c.refused) {
      EXPECT_STREQ(limit.refusal, "The limit must be a number.");
    }
    EXPECT_EQ(limit.value, c.value);
  }
}

}  // namespace
}  // namespace zor
