#pragma once
// G5 processor-card records for the legacy tests: 160 bytes written field by
// field the way the card's firmware lays them out (big-endian), and the
// card-record service that publishes one.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/legacy/LegacyTestMachine.h"

namespace zor::testing {

// A card record written the way the card's firmware lays it out (big-endian).
class CardRecord {
 public:
  explicit CardRecord(std::size_t length = 160) : bytes_(length, 0) {}
  CardRecord& u8(std::size_t offset, std::uint8_t value) {
    bytes_.at(offset) = value;
    return *this;
  }
  CardRecord& u16(std::size_t offset, std::uint16_t value) {
    return u8(offset, static_cast<std::uint8_t>(value >> 8))
        .u8(offset + 1, static_cast<std::uint8_t>(value));
  }
  CardRecord& u32(std::size_t offset, std::uint32_t value) {
    return u16(offset, static_cast<std::uint16_t>(value >> 16))
        .u16(offset + 2, static_cast<std::uint16_t>(value));
  }
  CardRecord& text(std::size_t offset, const std::string& value) {
    for (std::size_t i = 0; i < value.size(); ++i)
      u8(offset + i, static_cast<std::uint8_t>(value[i]));
    return *this;
  }
  PlistValue data() const { return bytes(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A card-record service: "name" cpuid and the record as "cpuid".
inline PlistValue cardService(const PlistValue& record, const std::string& name = "cpuid") {
  return registryEntry("PPCI2CInterface", "cpuid", {{"name", name}, {"cpuid", record}});
}

}  // namespace zor::testing
