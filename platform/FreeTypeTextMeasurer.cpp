#include "platform/FreeTypeTextMeasurer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <cmath>

#include "platform/SystemLog.h"
#include "platform/Utf8.h"

namespace zor {

FreeTypeTextMeasurer::FreeTypeTextMeasurer() {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) library_ = library;
}

FreeTypeTextMeasurer::~FreeTypeTextMeasurer() {
  for (auto& [key, face] : faces_) {
    if (face != nullptr) FT_Done_Face(static_cast<FT_Face>(face));
  }
  if (library_ != nullptr) FT_Done_FreeType(static_cast<FT_Library>(library_));
  if (fontConfig_ != nullptr) FcConfigDestroy(static_cast<FcConfig*>(fontConfig_));
}

void FreeTypeTextMeasurer::reportOnce(const std::string& fontName, const char* problem) {
  if (reportedFailures_.insert(fontName).second) {
    SystemLog::writeFormat("Font \"%s\": %s\n", fontName.c_str(), problem);
  }
}

std::optional<std::pair<std::string, int>> FreeTypeTextMeasurer::resolveFont(
    const std::string& familyName) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = resolved_.find(familyName);
  if (it != resolved_.end()) return it->second;

  std::optional<std::pair<std::string, int>> result;
  // An own configuration, loaded on first use and destroyed with the measurer:
  // fontconfig's shared default one is never given back.
  if (fontConfig_ == nullptr) fontConfig_ = FcInitLoadConfigAndFonts();
  auto* config = static_cast<FcConfig*>(fontConfig_);
  FcPattern* pattern = FcPatternCreate();
  if (config != nullptr && pattern != nullptr) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyName.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult outcome = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(config, pattern, &outcome)) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        result.emplace(reinterpret_cast<const char*>(file), index);
      }
      FcPatternDestroy(match);
    }
  }
  if (pattern != nullptr) FcPatternDestroy(pattern);
  resolved_[familyName] = result;
  return result;
}

void* FreeTypeTextMeasurer::faceFor(const std::string& file, int index, float size) {
  FaceKey key(file, index, size);
  auto it = faces_.find(key);
  if (it != faces_.end()) return it->second;
  FT_Face face = nullptr;
  if (library_ != nullptr &&
      FT_New_Face(static_cast<FT_Library>(library_), file.c_str(), index, &face) == 0) {
    // 26.6 fixed point at 72 dpi: the pixel size equals the point size.
    const auto charSize = static_cast<FT_F26Dot6>(std::lround(static_cast<double>(size) * 64.0));
    if (FT_Set_Char_Size(face, 0, charSize, 72, 72) != 0) {
      FT_Done_Face(face);
      face = nullptr;
    }
  } else {
    face = nullptr;
  }
  faces_.emplace(std::move(key), face);
  return face;
}

float FreeTypeTextMeasurer::widthOfText(std::string_view text, const Font& font) {
  if (text.empty() || !(font.pointSize > 0.0f) || !std::isfinite(font.pointSize)) return 0.0f;
  auto location = resolveFont(font.name);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!location) {
    reportOnce(font.name, "no matching font installed");
    return 0.0f;
  }
  auto face = static_cast<FT_Face>(faceFor(location->first, location->second, font.pointSize));
  if (face == nullptr) {
    reportOnce(font.name, "font file cannot be loaded");
    return 0.0f;
  }
  const bool kerning = FT_HAS_KERNING(face);
  // Advances in 16.16 pixels, unhinted so widths do not depend on grid fitting.
  std::int64_t total = 0;
  FT_UInt previous = 0;
  for (char32_t codePoint : Utf8::decode(text)) {
    const FT_UInt glyph = FT_Get_Char_Index(face, codePoint);
    if (kerning && previous != 0 && glyph != 0) {
      FT_Vector delta{};
      if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNFITTED, &delta) == 0) {
        total += static_cast<std::int64_t>(delta.x) * 1024;  // 26.6 -> 16.16
      }
    }
    FT_Fixed advance = 0;
    if (FT_Get_Advance(face, glyph, FT_LOAD_NO_HINTING, &advance) == 0) total += advance;
    previous = glyph;
  }
  return static_cast<float>(static_cast<double>(total) / 65536.0);
}

}  // namespace zor
