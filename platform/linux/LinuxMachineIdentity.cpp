#include "platform/linux/LinuxMachineIdentity.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "platform/Utf8.h"

namespace zor::linuxfs {
namespace {

constexpr const char* kDmiFolder = "/sys/class/dmi/id/";

// Texts firmware leaves in DMI fields it was never given (compared without case).
constexpr std::string_view kPlaceholders[] = {
    "to be filled by o.e.m.",
    "default string",
    "system serial number",
    "system product name",
    "system manufacturer",
    "not specified",
    "not applicable",
    "none",
    "n/a",
    "0123456789",
    "123456789",
    "chassis serial number",
    "base board serial number",
    "invalid",
    "oem",
    "o.e.m.",
    "unknown",
    "empty",
};

// A UUID firmware kits ship as the default for every board.
constexpr std::string_view kPlaceholderUUID = "03000200-0400-0500-0006-000700080009";

std::string lowered(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// FNV-1a: the serial is derived from the machine id without giving the id away.
std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3u;
  }
  return hash;
}

std::optional<std::string> dmi(const LinuxRoot& root, const char* name) {
  return LinuxMachineIdentity::meaningful(root.readText(std::string(kDmiFolder) + name));
}

}  // namespace

std::string LinuxMachineIdentity::wellFormed(const std::string& text) {
  std::string clean;
  for (char32_t c : Utf8::decode(text)) {
    if (c >= 0x20 && c != 0x7F) Utf8::append(clean, c);
  }
  return clean;
}

std::optional<std::string> LinuxMachineIdentity::meaningful(std::optional<std::string> text) {
  if (!text) return std::nullopt;
  std::string value = trimmed(wellFormed(*text));
  if (value.empty()) return std::nullopt;
  // "00000000", "FFFFFFFF", "XXXXXXXX": a field filled with one character.
  if (std::all_of(value.begin(), value.end(), [&](char c) { return c == value[0]; })) {
    return std::nullopt;
  }
  const std::string key = lowered(value);
  for (std::string_view placeholder : kPlaceholders) {
    if (key == placeholder) return std::nullopt;
  }
  return value;
}

std::optional<std::array<std::uint8_t, 16>> LinuxMachineIdentity::parseUUID(
    const std::string& text) {
  const std::string value = trimmed(text);
  if (lowered(value) == kPlaceholderUUID) return std::nullopt;
  std::string digits;
  for (std::size_t i = 0; i < value.size(); ++i) {
    // Hyphens only where a UUID has them; the machine id has none.
    if (value[i] == '-' && (i == 8 || i == 13 || i == 18 || i == 23) && value.size() == 36) {
      continue;
    }
    if (hexDigit(value[i]) < 0) return std::nullopt;
    digits.push_back(value[i]);
  }
  if (digits.size() != 32) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  for (std::size_t i = 0; i < 16; ++i) {
    bytes[i] =
        static_cast<std::uint8_t>(hexDigit(digits[2 * i]) * 16 + hexDigit(digits[2 * i + 1]));
  }
  const bool allZero = std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0x00; });
  const bool allOnes = std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0xff; });
  if (allZero || allOnes) return std::nullopt;
  return bytes;
}

LinuxMachineIdentity LinuxMachineIdentity::read(const LinuxRoot& root) {
  LinuxMachineIdentity identity;
  // Boards sold without a system around them name only the board.
  identity.vendor = dmi(root, "sys_vendor");
  if (!identity.vendor) identity.vendor = dmi(root, "board_vendor");
  identity.product = dmi(root, "product_name");
  if (!identity.product) identity.product = dmi(root, "board_name");
  identity.biosVersion = dmi(root, "bios_version");
  identity.biosDate = dmi(root, "bios_date");

  const std::optional<std::string> machineId = root.readText("/etc/machine-id");
  const auto machineUUID = machineId ? parseUUID(*machineId) : std::nullopt;

  identity.serialNumber = dmi(root, "product_serial");
  if (!identity.serialNumber) identity.serialNumber = dmi(root, "board_serial");
  if (!identity.serialNumber && machineUUID) {
    char digits[13];
    std::snprintf(digits, sizeof digits, "%012llx",
                  static_cast<unsigned long long>(
                      fnv1a("zorsensors serial " + trimmed(*machineId)) & 0xffffffffffffu));
    identity.serialNumber = std::string(kMadeUpSerialPrefix) + "-" + digits;
  }

  if (auto product = root.readText(std::string(kDmiFolder) + "product_uuid")) {
    identity.uuid = parseUUID(*product);
  }
  if (!identity.uuid) identity.uuid = machineUUID;
  return identity;
}

}  // namespace zor::linuxfs
