#include <gtest/gtest.h>

#include <cmath>

#include "platform/FreeTypeTextMeasurer.h"
#include "platform/TextMeasurer.h"

namespace zor {
namespace {

const Font kLabelFont{"Lucida Grande", 10.0f};

// Text that is not UTF-8 measures as replacement characters (a sequence cut
// off by the end is one, never a read beyond it); no text, or a size that is
// no positive finite number, measures nothing. (Widths of real names: the
// widget's name shortening.)
TEST(TextMeasurerTest, InvalidInputMeasuresAsReplacementsOrNothing) {
  FreeTypeTextMeasurer first;
  const float replacement = first.widthOfText("a\xEF\xBF\xBD", kLabelFont);
  EXPECT_GT(replacement, first.widthOfText("a", kLabelFont));
  for (std::string_view text : {"a\xFF", "a\xE2\x82"}) {
    EXPECT_EQ(first.widthOfText(text, kLabelFont), replacement);
  }
  for (const auto& [text, size] :
       {std::pair{"", 10.0f}, {"abc", 0.0f}, {"abc", std::nanf("")}, {"abc", INFINITY}}) {
    EXPECT_EQ(first.widthOfText(text, {"Lucida Grande", size}), 0.0f) << size;
  }
}

}  // namespace
}  // namespace zor
