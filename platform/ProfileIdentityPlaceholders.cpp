#include "platform/ProfileIdentityPlaceholders.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace zor {
namespace {

constexpr std::size_t kIdentifyPageSize = 512;
constexpr std::size_t kSerialOffset = 20;  // words 10-19
constexpr std::size_t kSerialSize = 20;
constexpr std::size_t kWorldWideNameOffset = 216;  // words 108-111
constexpr std::size_t kWorldWideNameSize = 8;
constexpr std::size_t kSignatureOffset = 510;
constexpr std::uint8_t kChecksumSignature = 0xA5;

enum class Identity { None, Serial, UUID };

Identity identityOfKey(const std::string& key) {
  std::string lowered = key;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lowered.find("serial") != std::string::npos) return Identity::Serial;
  if (lowered.find("uuid") != std::string::npos) return Identity::UUID;
  return Identity::None;
}

// A placeholder of the value's own type (data keeps its length).
PlistValue placeholder(const PlistValue& value, Identity identity) {
  const std::string text = identity == Identity::Serial
                               ? ProfileIdentityPlaceholders::kSerialPlaceholder
                               : ProfileIdentityPlaceholders::kUUIDPlaceholder;
  if (value.isString()) return PlistValue(text);
  if (const PlistData* data = value.asData()) {
    PlistData bytes(data->size(), 0);
    if (identity == Identity::Serial) {
      std::copy_n(text.begin(), std::min(text.size(), bytes.size()), bytes.begin());
    }
    return PlistValue(std::move(bytes));
  }
  if (value.isInteger()) return PlistValue::integer(0);
  return value;
}

PlistDictionary placeholdersInProperties(const PlistDictionary& properties) {
  PlistDictionary result;
  for (const auto& [key, value] : properties) {
    const Identity identity = identityOfKey(key);
    result[key] = identity == Identity::None ? value : placeholder(value, identity);
  }
  return result;
}

PlistValue placeholdersInSettings(const PlistValue& settings) {
  const PlistDictionary* dictionary = settings.asDictionary();
  if (dictionary == nullptr) return settings;
  PlistDictionary result = *dictionary;
  auto smart = result.find("ATASMART");
  if (smart != result.end() && smart->second.isDictionary()) {
    PlistDictionary disk = *smart->second.asDictionary();
    auto identify = disk.find("Identify");
    if (identify != disk.end() && identify->second.asData() != nullptr) {
      identify->second =
          PlistValue(ProfileIdentityPlaceholders::identifyPage(*identify->second.asData()));
    }
    smart->second = PlistValue(std::move(disk));
  }
  return PlistValue(std::move(result));
}

PlistValue placeholdersInEntry(const PlistValue& entry) {
  const PlistDictionary* dictionary = entry.asDictionary();
  if (dictionary == nullptr) return entry;
  PlistDictionary result;
  for (const auto& [key, value] : *dictionary) {
    if (key == "IORegistryEntryChildren" && value.isArray()) {
      PlistArray children;
      for (const PlistValue& child : *value.asArray())
        children.push_back(placeholdersInEntry(child));
      result[key] = PlistValue(std::move(children));
    } else if (key == "ZORSimulation") {
      result[key] = placeholdersInSettings(value);
    } else {
      const Identity identity = identityOfKey(key);
      result[key] = identity == Identity::None ? value : placeholder(value, identity);
    }
  }
  return PlistValue(std::move(result));
}

}  // namespace

PlistData ProfileIdentityPlaceholders::identifyPage(const PlistData& page) {
  if (page.size() != kIdentifyPageSize) return page;
  PlistData result = page;
  // ATA strings hold two characters a word, the first in the high byte.
  std::string serial(kSerialPlaceholder);
  serial.resize(kSerialSize, ' ');
  for (std::size_t i = 0; i < kSerialSize; i += 2) {
    result[kSerialOffset + i] = static_cast<std::uint8_t>(serial[i + 1]);
    result[kSerialOffset + i + 1] = static_cast<std::uint8_t>(serial[i]);
  }
  std::fill_n(result.begin() + kWorldWideNameOffset, kWorldWideNameSize, 0);
  if (result[kSignatureOffset] == kChecksumSignature) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < kIdentifyPageSize; ++i)
      sum = static_cast<std::uint8_t>(sum + result[i]);
    result[kIdentifyPageSize - 1] = static_cast<std::uint8_t>(0x100 - sum);
  }
  return result;
}

PlistDictionary ProfileIdentityPlaceholders::apply(const PlistDictionary& profile) {
  PlistDictionary result = profile;
  for (const char* plane : {"Registry", "DeviceTree"}) {
    auto root = result.find(plane);
    if (root != result.end()) root->second = placeholdersInEntry(root->second);
  }
  auto uuid = result.find("HostUUID");
  if (uuid != result.end()) uuid->second = placeholder(uuid->second, Identity::UUID);
  auto variables = result.find("Sysctl");
  if (variables != result.end() && variables->second.isDictionary()) {
    variables->second = PlistValue(placeholdersInProperties(*variables->second.asDictionary()));
  }
  return result;
}

}  // namespace zor
