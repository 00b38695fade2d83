#pragma once
// Text fitted to a column of a terminal table: its width counted in terminal
// cells (a code point is one cell, an East Asian wide or full-width one two,
// a combining mark or zero-width character none), padded with spaces to the
// column's width, or cut at a character boundary with an ellipsis when it is
// wider. Bytes that are not UTF-8 count and show as U+FFFD, so a column never
// shifts. Used by the sensor listing of the CLI.

#include <cstddef>
#include <string>
#include <string_view>

namespace zor {

class TerminalColumn {
 public:
  enum class Align { Left, Right };

  // Terminal cells `text` takes.
  static std::size_t widthOf(std::string_view text);
  // `text` in exactly `width` cells (cut to `width` - 1 cells and "…" when wider).
  static std::string fit(std::string_view text, std::size_t width, Align align);
};

}  // namespace zor
