#pragma once
// What a person types on the back of the widget for a sensor, checked before
// anything is stored: an own name (at most 64 characters of UTF-8 text,
// without control characters, line or paragraph separators, text-direction
// controls or noncharacters, which would garble the label or the
// preferences file) and an upper limit (a plain decimal number with a point
// or a comma). Blanks at both ends are dropped; an empty text means "none".
// A refusal is an English sentence that is also its key in the string
// tables. Used by OwnSensorOperations.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zor {

class OwnSensorInput {
 public:
  static constexpr std::size_t kMaximumNameLength = 64;  // code points
  // Limits beyond this size are typing mistakes, not limits of any sensor.
  static constexpr double kLargestLimit = 1e6;

  struct Name {
    std::string name;               // "" removes the own name
    const char* refusal = nullptr;  // set when the name cannot be kept
  };
  struct Limit {
    std::optional<double> value;    // none removes the own limit
    const char* refusal = nullptr;  // set when the text is not a limit
  };

  static Name name(std::string_view text);
  // UTF-8 text without the characters a name may not hold (sensor
  // identifiers become keys of the preferences file).
  static bool isStorableText(std::string_view text);
  static Limit limit(std::string_view text);
};

}  // namespace zor
