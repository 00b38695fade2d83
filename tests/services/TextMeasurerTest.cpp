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
class NoWidthTest : public ::testing::TestWithParam<NoWidthCase> {};

TEST_P(NoWidthTest, MeasuresZero) {
  FreeTypeTextMeasurer measurer;
  EXPECT_EQ(measurer.widthOfText(GetParam().text, {"Lucida Grande", GetParam().size}), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Inputs, NoWidthTest,
                         ::testing::Values(NoWidthCase{"EmptyText", "", 10.0f},
                                           NoWidthCase{"ZeroSize", "abc", 0.0f},
                                           NoWidthCase{"NotANumberSize", "abc", std::nanf("")},
                                           NoWidthCase{"InfiniteSize", "abc", INFINITY}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zor
