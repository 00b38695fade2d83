#pragma once
// The catalogue of SMC temperature keys: turns a key such as "TC0D" into the
// location identifier of its place ("SMC CPU A DIODE") and its stable unique
// identifier ("smc.temperature.DF3"). A pure table lookup: the machine's
// model code is a parameter, since some groups are named differently on
// notebooks, towers and servers. Used by the SMC temperature sensors.

#include <optional>
#include <string>
#include <string_view>

namespace zor {

class ZORSMCKeyCatalogue {
 public:
  // The location identifier of a temperature key, or nothing for keys the
  // catalogue does not know (not four characters, not beginning with "T",
  // no matching row, or a row that names no sensor). `modelCode` is the
  // machine's model code ("MacBookPro5,1"); nothing matches no model prefix.
  static std::optional<std::string> locationIdentifierForKey(
      std::string_view key, const std::optional<std::string>& modelCode);
  // "smc.temperature." followed by the key's second character + 1, its
  // fourth + 2 and its third + 3 ("TC0D" gives "smc.temperature.DF3");
  // nothing for a key that is not four characters.
  static std::optional<std::string> uniqueIdentifierForKey(std::string_view key);
};

}  // namespace zor
