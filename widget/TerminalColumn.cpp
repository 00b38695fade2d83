#include "widget/TerminalColumn.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <climits>

namespace zor {
namespace {

constexpr std::string_view kEllipsis = "\u2026";
constexpr std::string_view kReplacement = "\uFFFD";

int cellsOf(UChar32 c) {
  if (c < 0) return 1;  // shown as U+FFFD
  const auto category = static_cast<UCharCategory>(u_charType(c));
  if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR ||
      category == U_CONTROL_CHAR) {
    return 0;
  }
  const auto width = static_cast<UEastAsianWidth>(u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH));
  return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

// Calls `visit(bytes, cells)` for each character of `text`, with the UTF-8
// it is shown as (U+FFFD for an ill-formed sequence, nothing for a control).
template <typename Visit>
void eachCharacter(std::string_view text, Visit visit) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  for (std::int32_t offset = 0; offset < length;) {
    const std::int32_t start = offset;
    UChar32 c;
    U8_NEXT(bytes, offset, length, c);
    std::string_view shown = c < 0 ? kReplacement
                             : u_charType(c) == U_CONTROL_CHAR
                                 ? std::string_view()
                                 : text.substr(static_cast<std::size_t>(start),
                                               static_cast<std::size_t>(offset - start));
    if (!visit(shown, static_cast<std::size_t>(cellsOf(c)))) return;
  }
}

}  // namespace

std::size_t TerminalColumn::widthOf(std::string_view text) {
  std::size_t width = 0;
  eachCharacter(text, [&](std::string_view, std::size_t cells) {
    width += cells;
    return true;
  });
  return width;
}

std::string TerminalColumn::fit(std::string_view text, std::size_t width, Align align) {
  std::string out;
  std::size_t used = 0;
  if (widthOf(text) <= width) {
    eachCharacter(text, [&](std::string_view shown, std::size_t cells) {
      out += shown;
      used += cells;
      return true;
    });
  } else if (width > 0) {
    eachCharacter(text, [&](std::string_view shown, std::size_t cells) {
      if (used + cells > width - 1) return false;
      out += shown;
      used += cells;
      return true;
    });
    out += kEllipsis;
    ++used;
  }
  const std::string padding(width > used ? width - used : 0, ' ');
  return align == Align::Left ? out + padding : padding + out;
}

}  // namespace zor
