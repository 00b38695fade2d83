#include <gtest/gtest.h>

#include <sys/stat.h>
#include <ostream>

#include <cmath>

#include "platform/FreeTypeTextMeasurer.h"
#include "platform/SystemLog.h"
#include "platform/TextMeasurer.h"

namespace zor {
namespace {

const Font kLabelFont{"Lucida Grande", 10.0f};

TEST(TextMeasurerTest, LabelFontResolvesToAnInstalledFile) {
  FreeTypeTextMeasurer measurer;
  auto location = measurer.resolveFont("Lucida Grande");
  ASSERT_TRUE(location.has_value());
  struct stat info {};
  EXPECT_EQ(stat(location->first.c_str(), &info), 0) << location->first;
}

TEST(TextMeasurerTest, WidthIsDeterministicAcrossMeasurers) {
  FreeTypeTextMeasurer first;
  FreeTypeTextMeasurer second;
  const std::string text = "SMC CPU A DIODE";
  const float width = first.widthOfText(text, kLabelFont);
  EXPECT_GT(width, 0.0f);
  EXPECT_EQ(first.widthOfText(text, kLabelFont), width);  // from the cached face
  EXPECT_EQ(second.widthOfText(text, kLabelFont), width);
}

TEST(TextMeasurerTest, WiderTextMeasuresWider) {
  FreeTypeTextMeasurer measurer;
  EXPECT_GT(measurer.widthOfText("WWWW", kLabelFont), measurer.widthOfText("iiii", kLabelFont));
  EXPECT_GT(measurer.widthOfText("CPU Core 10", kLabelFont),
            measurer.widthOfText("CPU Core 1", kLabelFont));
  EXPECT_GT(measurer.widthOfText("CPU Core 1\xE2\x80\xA6", kLabelFont),
            measurer.widthOfText("CPU Core 1", kLabelFont));
}

TEST(TextMeasurerTest, WidthScalesWithPointSize) {
  FreeTypeTextMeasurer measurer;
  const std::string text = "Ambient";
  const float small = measurer.widthOfText(text, {"Lucida Grande", 10.0f});
  const float large = measurer.widthOfText(text, {"Lucida Grande", 20.0f});
  EXPECT_NEAR(large / small, 2.0f, 0.05f);
}

TEST(TextMeasurerTest, InvalidUtf8MeasuresAsReplacementCharacters) {
  FreeTypeTextMeasurer measurer;
  const float replacement = measurer.widthOfText("a\xEF\xBF\xBD", kLabelFont);
  EXPECT_GT(replacement, measurer.widthOfText("a", kLabelFont));
  EXPECT_EQ(measurer.widthOfText("a\xFF", kLabelFont), replacement);
  // A sequence cut off by the end of the text is one replacement, never a read beyond it.
  EXPECT_EQ(measurer.widthOfText(std::string_view("a\xE2\x82\xAC", 3), kLabelFont), replacement);
}

struct NoWidthCase {
  const char* name;
  std::string text;
  float size;
};
void PrintTo(const NoWidthCase& c, std::ostream* os) {
  *os << c.name;
}

class NoWidthTest : public ::testing::TestWithParam<NoWidthCase> {};

TEST_P(NoWidthTest, MeasuresZero) {
  FreeTypeTextMeasurer measurer;
  EXPECT_EQ(measurer.widthOfText(GetParam().text, {"Lucida Grande", GetParam().size}), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Inputs, NoWidthTest,
                         ::testing::Values(NoWidthCase{"EmptyText", "", 10.0f},
                                           NoWidthCase{"ZeroSize", "abc", 0.0f},
                                           NoWidthCase{"NegativeSize", "abc", -3.0f},
                                           NoWidthCase{"NotANumberSize", "abc", std::nanf("")},
                                           NoWidthCase{"InfiniteSize", "abc", INFINITY}),
                         [](const auto& info) { return std::string(info.param.name); });

class FixedMeasurer final : public TextMeasurer {
 public:
  float widthOfText(std::string_view text, const Font&) override {
    return static_cast<float>(text.size());
  }
};

TEST(TextMeasurerTest, ReplacedMeasurerServesUntilRestored) {
  const float real = TextMeasurer::current().widthOfText("abcdef", kLabelFont);
  TextMeasurer::setCurrent(std::make_shared<FixedMeasurer>());
  EXPECT_EQ(TextMeasurer::current().widthOfText("abcdef", kLabelFont), 6.0f);
  TextMeasurer::setCurrent(nullptr);
  EXPECT_EQ(TextMeasurer::current().widthOfText("abcdef", kLabelFont), real);
}

}  // namespace
}  // namespace zor
