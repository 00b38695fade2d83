#pragma once
// The name of the property that asks an IOHWSensor-style service to refresh
// its "current-value" before a reading. The name is not kept as plain text in
// the binary: byte i is stored XOR (0x5A + 7 i) and rebuilt when asked for.
// Used by the registry's sensor entries (rebuilt once at plug-in load) and by
// the simulated sensor driver that answers the request.

#include <array>
#include <cstdint>
#include <string>

namespace zor {

inline std::string unscrambledSensorRefreshPropertyName() {
  constexpr std::array<std::uint8_t, 12> kScrambled = {0x2a, 0x0e, 0x04, 0x03, 0x5b, 0x0f,
                                                       0xe1, 0xed, 0xe0, 0xfc, 0xd3, 0xcf};
  std::string name;
  for (std::size_t i = 0; i < kScrambled.size(); ++i) {
    name.push_back(static_cast<char>(kScrambled[i] ^ static_cast<std::uint8_t>(0x5a + 7 * i)));
  }
  return name;
}

}  // namespace zor
