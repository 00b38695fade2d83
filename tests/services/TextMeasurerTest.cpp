#include <gtest/gtest.h>

#include <cmath>

#include "platform/FreeTypeTextMeasurer.h"
#include "platform/TextMeasurer.h"

namespace zor {
namespace {

// Text that is not UTF-8 measures as replacement characters (a sequence cut
// off by the end is one, never a read beyond it); no text, or a size that is
// no positive finite number, measures nothing. (Widths of real names: the
// widget's name shortening.)
TEST(TextMeasurerTest, InvalidInputMeasuresAsReplacementsOrNothing) {
  FreeTypeTextMeasurer measurer;
  auto width = [&](std::string_view text, float size = 10.0f) {
    return measurer.widthOfText(text, {"Lucida Grande", size});
  };
  const float replacement = width("a\xEF\xBF\xBD");
  EXPECT_GT(replacement, width("a"));
  EXPECT_EQ(std::vector({width("a\xFF"), width("a\xE2\x82"), width(""), width("abc", 0.0f),
                         width("abc", std::nanf("")), width("abc", INFINITY)}),
            std::vector({replacement, replacement, 0.0f, 0.0f, 0.0f, 0.0f}));
}

}  // namespace
}  // namespace zor
