#pragma once
// UTF-8 decoding and encoding for the platform's text services: the string
// tables (escapes, UTF-16 files) and the text measurer (code points of a
// label). Decoding never reads past the end of its input and turns every
// byte that does not start a well-formed sequence into U+FFFD.

#include <string>
#include <string_view>

namespace zor {

class Utf8 {
 public:
  static constexpr char32_t kReplacement = 0xFFFD;

  // Code points of `text`; ill-formed bytes (bad lead or continuation bytes,
  // overlong forms, surrogates, values above U+10FFFF, truncated sequences)
  // each become U+FFFD.
  static std::u32string decode(std::string_view text);

  // Appends the UTF-8 form of `codePoint`; surrogates and values above
  // U+10FFFF are appended as U+FFFD.
  static void append(std::string& out, char32_t codePoint);

  // Converts UTF-16 code units (as in a UTF-16 file or a \U escape run);
  // unpaired surrogates become U+FFFD.
  static std::string fromUtf16(std::u16string_view units);
};

}  // namespace zor
