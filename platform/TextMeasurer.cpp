#include "platform/TextMeasurer.h"

#include "platform/FreeTypeTextMeasurer.h"

namespace zor {
namespace {
std::shared_ptr<TextMeasurer>& installedMeasurer() {
  static std::shared_ptr<TextMeasurer> measurer = std::make_shared<FreeTypeTextMeasurer>();
  return measurer;
}
}  // namespace

TextMeasurer& TextMeasurer::current() {
  return *installedMeasurer();
}

void TextMeasurer::setCurrent(std::shared_ptr<TextMeasurer> measurer) {
  installedMeasurer() = measurer ? std::move(measurer) : std::make_shared<FreeTypeTextMeasurer>();
}

}  // namespace zor
