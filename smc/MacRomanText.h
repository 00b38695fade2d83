#pragma once
// Text in the Mac OS Roman encoding, one character per byte, as the SMC
// names its keys and types and as its "ch8*" values are written. Used by
// the SMC connection to turn key strings into four-character codes and
// back, and to decode text values.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zor {

class MacRomanText {
 public:
  // The UTF-8 text of the bytes, one character per byte; zero bytes stay
  // zero characters.
  static std::string decode(std::span<const std::uint8_t> bytes);
  // The bytes of a UTF-8 text, or nothing when a character has no Mac OS
  // Roman form (or the text is no well-formed UTF-8).
  static std::optional<std::string> encode(std::string_view text);
  // The number of characters of a UTF-8 text as the platform's strings count
  // them (UTF-16 units): a character beyond U+FFFF counts twice.
  static std::size_t characterCount(std::string_view text);
};

}  // namespace zor
