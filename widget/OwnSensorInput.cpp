#include "widget/OwnSensorInput.h"

#include <unicode/utf8.h>

#include <charconv>
#include <climits>
#include <cmath>

namespace zor {
namespace {

std::string_view withoutBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Characters a label must not hold: C0 and C1 controls, DEL, line and
// paragraph separators, the embedding, override and isolate controls of
// bidirectional text, and noncharacters (which XML cannot carry).
bool isRefusedCharacter(UChar32 c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
         (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

}  // namespace

bool OwnSensorInput::isStorableText(std::string_view text) {
  if (text.size() > INT32_MAX) return false;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t offset = 0; offset < length;) {
    UChar32 c;
    U8_NEXT(bytes, offset, length, c);
    if (c < 0 || isRefusedCharacter(c)) return false;
  }
  return true;
}

OwnSensorInput::Name OwnSensorInput::name(std::string_view text) {
  // Measured on the whole text first, so a huge one is refused before it is looked through.
  if (text.size() > kMaximumNameLength * 4 + 64) {
    return {{}, "A name can have at most 64 characters."};
  }
  text = withoutBlanks(text);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::size_t characters = 0;
  for (std::int32_t offset = 0; offset < length;) {
    UChar32 c;
    U8_NEXT(bytes, offset, length, c);
    if (c < 0) return {{}, "A name must be UTF-8 text."};
    if (isRefusedCharacter(c)) return {{}, "A name cannot contain control characters."};
    ++characters;
  }
  if (characters > kMaximumNameLength) return {{}, "A name can have at most 64 characters."};
  return {std::string(text), nullptr};
}

OwnSensorInput::Limit OwnSensorInput::limit(std::string_view text) {
  constexpr const char* kNotANumber = "The limit must be a number.";
  text = withoutBlanks(text);
  if (text.empty()) return {};
  if (text.size() > 32) return {std::nullopt, kNotANumber};
  // A plain decimal number: from_chars alone would also take "inf", "nan" and exponents.
  std::string number;
  bool digits = false;
  bool point = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      number += c;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
      number += '.';
    } else if ((c == '-' || c == '+') && i == 0) {
      if (c == '-') number += c;
    } else {
      return {std::nullopt, kNotANumber};
    }
  }
  double value = 0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (!digits || error != std::errc() || end != number.data() + number.size() ||
      !std::isfinite(value) || std::fabs(value) > kLargestLimit) {
    return {std::nullopt, kNotANumber};
  }
  return {value, nullptr};
}

}  // namespace zor
