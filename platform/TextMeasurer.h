#pragma once
// Text measurement with a named font and size, as the widget's labels draw
// text. Used by the widget controller to shorten sensor names to the label
// width. The font name is resolved through fontconfig to the nearest
// installed font ("Lucida Grande" becomes a sans font) and measured with
// FreeType, so a width is deterministic for a given font file.

#include <memory>
#include <string>
#include <string_view>

namespace zor {

struct Font {
  std::string name;
  float pointSize = 0;
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // Width in points of UTF-8 `text` drawn in `font` on one line.
  virtual float widthOfText(std::string_view text, const Font& font) = 0;

  static TextMeasurer& current();
  // Replaces the measurer for the whole process (tests); null restores FreeType.
  static void setCurrent(std::shared_ptr<TextMeasurer> measurer);
};

}  // namespace zor
