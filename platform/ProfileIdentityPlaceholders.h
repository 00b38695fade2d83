#pragma once
// Takes a machine's identity out of its profile before the profile leaves
// the machine (zor-sensors --dump-profile): every serial number and UUID,
// wherever the profile keeps one (entry properties in both planes,
// "HostUUID", kernel variables, the serial and world-wide name of a disk's
// identify page), becomes a placeholder of the same type, so the profile
// still loads and replays the same sensors.

#include "platform/PropertyList.h"

namespace zor {

class ProfileIdentityPlaceholders {
 public:
  // Made-up serial numbers start with this, so the machine description takes
  // the placeholder for one and estimates no production date from it.
  static constexpr const char* kSerialPlaceholder = "ZZZNOSERIAL-000000000000";
  static constexpr const char* kUUIDPlaceholder = "00000000-0000-0000-0000-000000000000";

  static PlistDictionary apply(const PlistDictionary& profile);
  // An ATA identify page (512 bytes) with its serial number (words 10-19) and
  // world-wide name (words 108-111) replaced; the checksum (word 255) is
  // made again when the page carries one. Other sizes are returned unchanged.
  static PlistData identifyPage(const PlistData& page);
};

}  // namespace zor
