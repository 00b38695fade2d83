#pragma once
// One SMC key's value as the SMC delivers it: the key, the data type and up
// to 32 raw value bytes (multi-byte numbers most significant byte first).
// A plain record copied by value; the SMC connection fills it, the value
// cache stores it and the decoding turns it into a number, text or bytes.

#include <array>
#include <cstdint>

namespace zor {

struct _ZORSMCValue {
  // Four-character code, first character in the most significant byte.
  std::uint32_t key = 0;
  // Meaningful bytes in `bytes`; may claim more than 32, readers cut it.
  std::uint32_t dataSize = 0;
  // Data type as a four-character code ("sp78", "ui8 ", "flag").
  std::uint32_t dataType = 0;
  std::array<std::uint8_t, 32> bytes{};

  bool operator==(const _ZORSMCValue&) const = default;
};

}  // namespace zor
