#pragma once
// One temperature key of the SMC of an Intel Mac as the kernel's applesmc
// driver publishes it: the four-character key from `tempN_label` and its
// reading from `tempN_input`, kept open so a fresh value is one pread. The
// driver prints a two-byte key as byte0 * 1000 + (byte1 >> 6) * 250, unsigned,
// so the reading turns back into the key's own "sp78" bytes (a negative
// temperature arrives as 128000 and above). Used by AppleSMCDriverBehaviour.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/SysfsAttribute.h"

namespace zor::linuxfs {

class AppleSMCKeyChannel {
 public:
  AppleSMCKeyChannel(std::string key, const std::string& inputPath)
      : key_(std::move(key)), input_(inputPath) {}

  const std::string& key() const { return key_; }
  // The key's "sp78" bytes now; nothing when the attribute cannot be read or
  // holds no reading.
  std::optional<std::array<std::uint8_t, 2>> currentBytes() const;

  // The "sp78" bytes of a reading in millidegrees as applesmc prints it
  // (or as a signed number); nothing outside the sixteen bits of the key.
  static std::optional<std::array<std::uint8_t, 2>> sp78ForMillidegrees(std::int64_t millidegrees);
  // True for a label that can be an SMC key: four printable ASCII characters.
  static bool isKeyName(const std::string& label);

 private:
  std::string key_;
  SysfsAttribute input_;
};

}  // namespace zor::linuxfs
