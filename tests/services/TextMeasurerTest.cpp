#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>

#include "platform/FreeTypeTextMeasurer.h"
#include "platform/TextMeasurer.h"

namespace zor {
namespace {

const Font kLabelFont{"Lucida Grande", 10.0f};

TEST(TextMeasurerTest, LabelFontResolvesToAFileAndWidthsAreDeterministic) {
  FreeTypeTextMeasurer first;
  FreeTypeTextMeasurer second;
  auto location = first.resolveFont("Lucida Grande");
  ASSERT_TRUE(location.has_value());
  struct stat info {};
  EXPECT_EQ(stat(location->first.c_str(), &info), 0) << location->first;
  const std::string text = "SMC CPU A DIODE";
  const float width = first.widthOfText(text, kLabelFont);
  EXPECT_GT(width, 0.0f);
  EXPECT_EQ(first.widthOfText(text, kLabelFont), width);  // from the cached face
  EXPECT_EQ(second.widthOfText(text, kLabelFont), width);
}

TEST(TextMeasurerTest, InvalidInputMeasuresAsReplacementsOrNothing) {
  FreeTypeTextMeasurer measurer;
  const float replacement = measurer.widthOfText("a\xEF\xBF\xBD", kLabelFont);
  EXPECT_GT(replacement, measurer.widthOfText("a", kLabelFont));
  EXPECT_EQ(measurer.widthOfText("a\xFF", kLabelFont), replacement);
  // A sequence cut off by the end of the text is one replacement, never a read beyond it.
  EXPECT_EQ(measurer.widthOfText(std::string_view("a\xE2\x82\xAC", 3), kLabelFont), replacement);
  // No text, or a size that is no positive finite number, measures nothing.
  const std::pair<const char*, float> empty[] = {
      {"", 10.0f}, {"abc", 0.0f}, {"abc", std::nanf("")}, {"abc", INFINITY}};
  for (const auto& [text, size] : empty) {
    EXPECT_EQ(measurer.widthOfText(text, {"Lucida Grande", size}), 0.0f) << size;
  }
}

}  // namespace
}  // namespace zor
