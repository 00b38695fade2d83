#pragma once
// The parts of a disk's 512-byte ATA identify-device block that the
// S.M.A.R.T. disk access reads: the serial number (20 bytes at offset 20),
// the firmware revision (8 bytes at 46) and the model number (40 bytes at
// 54), each an ATA string: two characters per 16-bit word, the first in the
// word's high byte. The device takes its product name and serial number from it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zor {

struct ZORATADeviceIdentification {
  static constexpr std::size_t kSize = 512;
  static constexpr std::size_t kSerialNumberOffset = 20;
  static constexpr std::size_t kSerialNumberSize = 20;
  static constexpr std::size_t kFirmwareRevisionOffset = 46;
  static constexpr std::size_t kFirmwareRevisionSize = 8;
  static constexpr std::size_t kModelNumberOffset = 54;
  static constexpr std::size_t kModelNumberSize = 40;

  // Raw fields, as the disk sends them.
  std::vector<std::uint8_t> serialNumberField;
  std::vector<std::uint8_t> firmwareRevisionField;
  std::vector<std::uint8_t> modelNumberField;

  // The fields of a whole block; nothing for fewer than 512 bytes.
  static std::optional<ZORATADeviceIdentification> decode(std::span<const std::uint8_t> block);

  // The text of an ATA string field: the bytes of each word swapped, only
  // printable characters (0x20 to 0x7E) kept, blanks trimmed from both ends.
  // Nothing for a field of odd length.
  static std::optional<std::string> textOfATAString(std::span<const std::uint8_t> field);
};

}  // namespace zor
