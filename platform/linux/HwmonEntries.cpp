#include "platform/linux/HwmonEntries.h"

#include "platform/linux/AppleSMCKeyChannel.h"
#include "platform/linux/HwmonNaming.h"
#include "platform/linux/HwmonScanner.h"

namespace zor::linuxfs {

std::size_t HwmonEntries::append(const LinuxRoot& root, PlistArray* services) {
  std::vector<HwmonChannel> channels = HwmonScanner::scan(root);
  HwmonNaming::name(channels);
  for (const HwmonChannel& channel : channels) {
    PlistDictionary simulation{{"HwmonInput", channel.inputPath},
                               {"HwmonKind", channel.kind->prefix}};
    services->push_back(
        PlistDictionary{{"IOObjectClass", kClassName},
                        {"IORegistryEntryName", channel.chip + " " + channel.channel()},
                        {"HwmonIdentity", channel.identity},
                        {"HwmonLocation", channel.location},
                        {"HwmonSensorName", channel.sensorName},
                        {"HwmonKind", channel.kind->prefix},
                        {"ZORSimulation", PlistValue(std::move(simulation))}});
    PlistDictionary& entry = *services->back().asDictionary();
    if (channel.limits.max) entry["HwmonMax"] = PlistValue::integer(*channel.limits.max);
    if (channel.limits.crit) entry["HwmonCrit"] = PlistValue::integer(*channel.limits.crit);
    if (channel.chip == "applesmc" && channel.kind->prefix == std::string("temp") &&
        AppleSMCKeyChannel::isKeyName(channel.label)) {
      entry["SMCKey"] = channel.label;
    }
  }
  return channels.size();
}

}  // namespace zor::linuxfs
