#pragma once
// What a property list's bytes may hold before they are converted: containers
// nested at most kMostLevels deep, and (binary form) at most kMostValues
// values once shared objects are written out. Both are checked without
// recursion, so a file nested 50,000 levels deep is refused instead of
// overflowing the stack of the converter (ours and the library's, which
// both recurse), and a binary file whose objects refer to each other many
// times over is refused instead of expanding without bound.
// Used by parsePropertyList().

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zor {

class PropertyListLimits {
 public:
  static constexpr std::size_t kMostLevels = 512;
  // Written out, a million values take the converter about 120 MB.
  static constexpr std::size_t kMostValues = 1024 * 1024;

  // Why `bytes` must not be converted, or nothing when they may be. The XML
  // form is measured by its container tags; the binary form ("bplist00") by
  // walking its object references, so a damaged one is refused as well.
  static std::optional<std::string> refusal(std::string_view bytes);
};

}  // namespace zor
