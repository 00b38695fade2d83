#pragma once
// The text measurer of the running system: fontconfig resolves a family name
// to the nearest installed font file, FreeType loads it at the point size
// (72 dpi, so one point is one pixel) and the width is the sum of the glyphs'
// unhinted horizontal advances plus the face's kerning. Used through
// TextMeasurer::current() by the widget controller to shorten sensor names.
// Resolved fonts and loaded faces are kept per (file, size).

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/TextMeasurer.h"

namespace zor {

class FreeTypeTextMeasurer final : public TextMeasurer {
 public:
  FreeTypeTextMeasurer();
  ~FreeTypeTextMeasurer() override;
  FreeTypeTextMeasurer(const FreeTypeTextMeasurer&) = delete;
  FreeTypeTextMeasurer& operator=(const FreeTypeTextMeasurer&) = delete;

  // 0 for empty text, a size that is not positive, or a font that cannot be
  // found or loaded (that last case is logged once per font name).
  float widthOfText(std::string_view text, const Font& font) override;

  // The font file and face index that `familyName` resolves to, or nothing.
  std::optional<std::pair<std::string, int>> resolveFont(const std::string& familyName);

 private:
  using FaceKey = std::tuple<std::string, int, float>;
  // Opaque FreeType handles, kept out of the header.
  void* library_ = nullptr;
  void* fontConfig_ = nullptr;
  std::mutex mutex_;
  std::map<std::string, std::optional<std::pair<std::string, int>>> resolved_;
  std::map<FaceKey, void*> faces_;
  std::set<std::string> reportedFailures_;

  void* faceFor(const std::string& file, int index, float size);
  void reportOnce(const std::string& fontName, const char* problem);
};

}  // namespace zor
