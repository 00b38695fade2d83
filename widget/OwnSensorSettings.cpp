#include "widget/OwnSensorSettings.h"

#include <cmath>
#include <vector>

#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "widget/MachinePreferenceKey.h"
#include "widget/OwnSensorInput.h"

namespace zor {
namespace {

const PlistDictionary* dictionaryIn(const PlistDictionary& dictionary, const std::string& key) {
  auto found = dictionary.find(key);
  return found == dictionary.end() ? nullptr : found->second.asDictionary();
}

// Sets or removes `sensorID` in the dictionary `key` of the machine's
// dictionary: that one entry is merged into the file as it is then, so
// another instance's or host's choices in the same dictionary are kept.
bool store(const std::string& machineSerialNumber, const char* key, const std::string& sensorID,
           std::optional<PlistValue> value) {
  const std::optional<std::string> domainName = Bundle::pluginBundle().bundleIdentifier();
  if (!domainName) return false;
  UserDefaults& defaults = UserDefaults::standard();
  const std::vector<std::string> path = {machinePreferenceKey(machineSerialNumber), key, sensorID};
  if (value) {
    defaults.setPersistentValue(*value, path, *domainName);
    return defaults.synchronize(*domainName);
  }
  defaults.removePersistentValue(path, *domainName);
  if (!defaults.synchronize(*domainName)) return false;
  // The last own setting taken away takes its dictionary with it, so a file
  // without own settings looks as it did before they existed.
  const std::optional<PlistDictionary> domain = defaults.persistentDomainForName(*domainName);
  const PlistDictionary* machine = domain ? dictionaryIn(*domain, path[0]) : nullptr;
  const PlistDictionary* settings = machine ? dictionaryIn(*machine, key) : nullptr;
  if (settings == nullptr || !settings->empty()) return true;
  defaults.removePersistentValue({path[0], key}, *domainName);
  return defaults.synchronize(*domainName);
}

}  // namespace

OwnSensorSettings OwnSensorSettings::load(const std::string& machineSerialNumber) {
  OwnSensorSettings settings;
  const std::optional<std::string> domainName = Bundle::pluginBundle().bundleIdentifier();
  if (!domainName) return settings;
  const std::optional<PlistDictionary> domain =
      UserDefaults::standard().persistentDomainForName(*domainName);
  const PlistDictionary* machine =
      domain ? dictionaryIn(*domain, machinePreferenceKey(machineSerialNumber)) : nullptr;
  if (machine == nullptr) return settings;
  if (const PlistDictionary* names = dictionaryIn(*machine, kNamesKey)) {
    for (const auto& [sensorID, value] : *names) {
      const std::string* text = value.asString();
      if (text == nullptr) continue;
      OwnSensorInput::Name checked = OwnSensorInput::name(*text);
      if (checked.refusal == nullptr && !checked.name.empty()) {
        settings.names_.emplace(sensorID, std::move(checked.name));
      }
    }
  }
  if (const PlistDictionary* limits = dictionaryIn(*machine, kLimitsKey)) {
    for (const auto& [sensorID, value] : *limits) {
      if (!value.isReal() && !value.isInteger()) continue;
      const double number = value.realValue().value_or(NAN);
      if (std::isfinite(number) && std::fabs(number) <= OwnSensorInput::kLargestLimit) {
        settings.limits_.emplace(sensorID, number);
      }
    }
  }
  return settings;
}

std::optional<std::string> OwnSensorSettings::name(std::string_view sensorID) const {
  auto found = names_.find(sensorID);
  if (found == names_.end()) return std::nullopt;
  return found->second;
}

std::optional<double> OwnSensorSettings::limit(std::string_view sensorID) const {
  auto found = limits_.find(sensorID);
  if (found == limits_.end()) return std::nullopt;
  return found->second;
}

bool OwnSensorSettings::storeName(const std::string& machineSerialNumber,
                                  const std::string& sensorID,
                                  const std::optional<std::string>& name) {
  return store(machineSerialNumber, kNamesKey, sensorID,
               name ? std::optional<PlistValue>(PlistValue(*name)) : std::nullopt);
}

bool OwnSensorSettings::storeLimit(const std::string& machineSerialNumber,
                                   const std::string& sensorID, std::optional<double> limit) {
  return store(machineSerialNumber, kLimitsKey, sensorID,
               limit ? std::optional<PlistValue>(PlistValue::real(*limit)) : std::nullopt);
}

}  // namespace zor
