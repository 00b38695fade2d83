#pragma once
// Who the running machine is: maker, model, firmware, serial number and UUID
// from the firmware's DMI tables (/sys/class/dmi/id) and the installation's
// /etc/machine-id. Firmware often leaves fields at vendor placeholders ("To Be
// Filled By O.E.M.", "Default string", all zeros); those count as missing.
// Read by LinuxMachine, which publishes it where the machine description
// looks for it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class LinuxMachineIdentity {
 public:
  // The machine description takes a serial number starting with this for one
  // made up because the machine reports none, and estimates no production
  // date from it; a serial derived from the machine id is such a one.
  static constexpr const char* kMadeUpSerialPrefix = "ZZZNOSERIAL";

  static LinuxMachineIdentity read(const LinuxRoot& root);

  // Firmware and kernel texts are bytes: ill-formed UTF-8 becomes U+FFFD and
  // control characters are dropped, so the text is safe in a property list.
  static std::string wellFormed(const std::string& text);
  // A DMI text as well-formed UTF-8 without control characters, or nothing
  // when it is unreadable, empty or a placeholder.
  static std::optional<std::string> meaningful(std::optional<std::string> text);
  // "6a2d1f3c-2b7e-..." or the machine id's 32 hexadecimal digits as 16 bytes;
  // nothing for other text and for UUIDs firmware uses as placeholders.
  static std::optional<std::array<std::uint8_t, 16>> parseUUID(const std::string& text);

  std::optional<std::string> vendor;       // sys_vendor, else board_vendor
  std::optional<std::string> product;      // product_name, else board_name
  std::optional<std::string> biosVersion;  // bios_version
  std::optional<std::string> biosDate;     // bios_date
  // product_serial (readable by root only), else board_serial, else
  // "ZZZNOSERIAL-" and 12 hexadecimal digits derived from the machine id, so
  // the same installation always files its preferences under the same key.
  // Nothing only when the machine has none of them.
  std::optional<std::string> serialNumber;
  // product_uuid (root only), else the machine id.
  std::optional<std::array<std::uint8_t, 16>> uuid;
};

}  // namespace zor::linuxfs
