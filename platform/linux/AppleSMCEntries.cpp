#include "platform/linux/AppleSMCEntries.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "platform/linux/AppleSMCKeyChannel.h"

namespace zor::linuxfs {
namespace {

constexpr const char* kSettingsKey = "AppleSMCHwmon";

// The channel numbers N of the `tempN_label` files in `names`, ascending:
// the driver numbers its channels in the SMC's key order.
std::vector<int> temperatureChannels(const std::vector<std::string>& names) {
  std::vector<int> numbers;
  for (const std::string& name : names) {
    if (!name.starts_with("temp") || !name.ends_with("_label")) continue;
    std::string digits = name.substr(4, name.size() - 4 - 6);
    if (digits.empty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    numbers.push_back(std::stoi(digits));
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

bool hasTemperatureChannel(const LinuxRoot& root, const std::string& folder) {
  return !temperatureChannels(root.list(folder)).empty();
}

}  // namespace

std::string AppleSMCEntries::channelFolder(const LinuxRoot& root) {
  const std::string device = kDevicePath;
  if (hasTemperatureChannel(root, device)) return device;
  for (const std::string& name : root.list(device + "/hwmon")) {
    std::string folder = device + "/hwmon/" + name;
    if (name.starts_with("hwmon") && hasTemperatureChannel(root, folder)) return folder;
  }
  return "";
}

void AppleSMCEntries::append(const LinuxRoot& root, PlistArray* services) {
  if (services == nullptr) return;
  const std::string folder = channelFolder(root);
  if (folder.empty()) return;
  const std::vector<std::string> names = root.list(folder);
  PlistArray keys;
  std::set<std::string> seen;
  for (int number : temperatureChannels(names)) {
    std::string channel = "temp" + std::to_string(number);
    auto label = root.readText(folder + "/" + channel + "_label");
    if (!label || !AppleSMCKeyChannel::isKeyName(*label) || !seen.insert(*label).second) continue;
    if (!std::binary_search(names.begin(), names.end(), channel + "_input")) continue;
    keys.push_back(
        PlistDictionary{{"Key", *label}, {"Input", root.path(folder + "/" + channel + "_input")}});
  }
  if (keys.empty()) return;
  PlistDictionary settings{{kSettingsKey, PlistDictionary{{"Keys", PlistValue(std::move(keys))}}}};
  // Linux does not tell the SMC's firmware version; the family only needs the property.
  services->push_back(PlistDictionary{{"IOObjectClass", "AppleSMC"},
                                      {"IORegistryEntryName", "SMC"},
                                      {"smc-version", ""},
                                      {"ZORSimulation", PlistValue(std::move(settings))}});
}

}  // namespace zor::linuxfs
