#pragma once
// The 80-byte record of the SMC user client's structure call: the request
// names a key (or an index) and a command, the answer carries the key's
// size and type, the key at an index, or the value bytes. Multi-byte fields
// are in the host's byte order; the value bytes are the SMC's own (most
// significant first). Encoded and decoded field by field at fixed offsets.
// Used by the SMC connection.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zor {

struct _ZORSMCKeyData {
  static constexpr std::size_t kSize = 80;

  // Commands of the user client.
  static constexpr std::uint8_t kReadKeyInformation = 9;
  static constexpr std::uint8_t kReadBytes = 5;
  static constexpr std::uint8_t kKeyAtIndex = 8;

  // Revision record: three signed bytes, one reserved byte, a 16-bit number.
  struct _ZORSMCRevisionInfo {
    std::int8_t major = 0;
    std::int8_t minor = 0;
    std::int8_t build = 0;
    std::uint8_t reserved = 0;
    std::uint16_t release = 0;
  };
  struct _ZORSMCPowerLimits {
    std::uint16_t version = 0;
    std::uint16_t length = 0;
    std::uint32_t cpuPowerLimit = 0;
    std::uint32_t gpuPowerLimit = 0;
    std::uint32_t memoryPowerLimit = 0;
  };
  struct _ZORSMCKeyInfo {
    std::uint32_t dataSize = 0;
    std::uint32_t dataType = 0;
    std::uint8_t attributes = 0;
  };

  std::uint32_t key = 0;                 // offset 0
  _ZORSMCRevisionInfo revision;          // offset 4
  _ZORSMCPowerLimits powerLimits;        // offset 12
  _ZORSMCKeyInfo keyInfo;                // offset 28
  std::uint8_t result = 0;               // offset 40, never looked at
  std::uint8_t status = 0;               // offset 41, never looked at
  std::uint8_t command = 0;              // offset 42
  std::uint32_t keyIndex = 0;            // offset 44
  std::array<std::uint8_t, 32> bytes{};  // offset 48

  // Writes the record into exactly 80 bytes, padding zero.
  void encode(std::span<std::uint8_t, kSize> out) const;
  // Reads a record from exactly 80 bytes.
  static _ZORSMCKeyData decode(std::span<const std::uint8_t, kSize> in);
};

}  // namespace zor
