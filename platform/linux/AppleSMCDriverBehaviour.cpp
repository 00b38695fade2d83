#include "platform/linux/AppleSMCDriverBehaviour.h"

#include "platform/linux/AppleSMCUserClientConnection.h"

namespace zor {
namespace {

constexpr const char* kTemperatureType = "sp78";

// A four-character name as the SMC's key code, first character most significant.
std::uint32_t codeOf(const std::string& name) {
  std::uint32_t code = 0;
  for (char c : name) code = (code << 8) | static_cast<std::uint8_t>(c);
  return code;
}

}  // namespace

std::unique_ptr<DriverBehaviour> AppleSMCDriverBehaviour::make(const DriverSettings& settings,
                                                               std::string* error) {
  const PlistValue* keys = settings.find(kSettingsKey)->find("Keys");
  const PlistArray* list = keys != nullptr ? keys->asArray() : nullptr;
  if (list == nullptr) {
    if (error) *error = "\"AppleSMCHwmon\" needs a \"Keys\" array";
    return nullptr;
  }
  auto state = std::make_shared<SMCDriverBehaviour::State>();
  auto channels = std::make_shared<std::vector<linuxfs::AppleSMCKeyChannel>>();
  for (const PlistValue& item : *list) {
    const PlistValue* key = item.find("Key");
    const PlistValue* input = item.find("Input");
    if (key == nullptr || !key->isString() ||
        !linuxfs::AppleSMCKeyChannel::isKeyName(*key->asString()) || input == nullptr ||
        !input->isString()) {
      if (error) *error = "\"AppleSMCHwmon\" keys need a four-character \"Key\" and an \"Input\"";
      return nullptr;
    }
    const std::string& name = *key->asString();
    channels->emplace_back(name, *input->asString());
    state->keys.push_back({codeOf(name), codeOf(kTemperatureType), name, {0, 0}});
  }
  return std::make_unique<AppleSMCDriverBehaviour>(settings, std::move(state), std::move(channels));
}

AppleSMCDriverBehaviour::AppleSMCDriverBehaviour(
    DriverSettings settings, std::shared_ptr<SMCDriverBehaviour::State> state,
    std::shared_ptr<const std::vector<linuxfs::AppleSMCKeyChannel>> channels)
    : DriverBehaviour(std::move(settings)),
      state_(std::move(state)),
      channels_(std::move(channels)) {}

iokit::kern_return_t AppleSMCDriverBehaviour::openUserClient(
    MachineEntry& /*entry*/, std::uint32_t type,
    std::unique_ptr<UserClientConnection>* connection) {
  // The SMC offers one kind of user client.
  if (type != 0) return iokit::kIOReturnBadArgument;
  *connection = std::make_unique<AppleSMCUserClientConnection>(state_, channels_);
  return iokit::kIOReturnSuccess;
}

PlistDictionary AppleSMCDriverBehaviour::recordedSettings(MachineEntry& /*entry*/) {
  PlistArray keys;
  PlistArray failing;
  for (const linuxfs::AppleSMCKeyChannel& channel : *channels_) {
    auto bytes = channel.currentBytes();
    if (!bytes) failing.push_back(channel.key());
    PlistData data = bytes ? PlistData(bytes->begin(), bytes->end()) : PlistData{0, 0};
    keys.push_back(PlistDictionary{{"Key", channel.key()},
                                   {"Type", kTemperatureType},
                                   {"Bytes", PlistValue(std::move(data))}});
  }
  PlistDictionary settings{{"SMCKeys", PlistValue(std::move(keys))}};
  if (!failing.empty()) settings["SMCFailKeys"] = PlistValue(std::move(failing));
  return settings;
}

std::uint64_t AppleSMCDriverBehaviour::callCount(std::uint8_t command) const {
  auto it = state_->callsByCommand.find(command);
  return it == state_->callsByCommand.end() ? 0 : it->second;
}

}  // namespace zor
