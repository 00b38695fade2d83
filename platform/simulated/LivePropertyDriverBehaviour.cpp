#include "platform/simulated/LivePropertyDriverBehaviour.h"

#include "platform/MachineEntry.h"

namespace zor {
namespace {

std::unique_ptr<DriverBehaviour> refuse(std::string reason, std::string* error) {
  if (error) *error = std::move(reason);
  return nullptr;
}

}  // namespace

std::unique_ptr<DriverBehaviour> LivePropertyDriverBehaviour::make(const DriverSettings& settings,
                                                                   std::string* error) {
  const PlistValue* listed = settings.find("LiveProperties");
  const PlistArray* names = listed != nullptr ? listed->asArray() : nullptr;
  if (names == nullptr) return refuse("\"LiveProperties\" must be an array of strings", error);
  std::vector<std::string> properties;
  for (const PlistValue& name : *names) {
    const std::string* text = name.asString();
    if (text == nullptr) return refuse("\"LiveProperties\" must be an array of strings", error);
    if (!settings.wave().has(*text)) {
      return refuse("\"LiveProperties\" names \"" + *text + "\", which has no \"Wave\" curve",
                    error);
    }
    properties.push_back(*text);
  }
  return std::make_unique<LivePropertyDriverBehaviour>(settings, std::move(properties));
}

void LivePropertyDriverBehaviour::propertiesWillBeRead(MachineEntry& entry) {
  PlistDictionary& published = entry.properties();
  for (const std::string& name : properties_) {
    auto current = published.find(name);
    auto fresh = settings().wave().propertyValueNow(
        name, current == published.end() ? nullptr : &current->second);
    if (fresh) published[name] = std::move(*fresh);
  }
}

}  // namespace zor
