#include "platform/linux/ATADiskEntries.h"

#include <unistd.h>

#include <algorithm>

namespace zor::linuxfs {
namespace {

constexpr const char* kSettingsKey = "ATADisk";

bool speaksATA(const LinuxRoot& root, const std::string& device) {
  if (root.readText(device + "/vendor") == std::optional<std::string>("ATA")) return true;
  const std::vector<std::string> names = root.list(device);
  return std::binary_search(names.begin(), names.end(), "vpd_pg89");
}

}  // namespace

void ATADiskEntries::append(const LinuxRoot& root, PlistArray* services) {
  if (services == nullptr) return;
  for (const std::string& name : root.list("/sys/block")) {
    if (!name.starts_with("sd")) continue;
    const std::string device = "/sys/block/" + name + "/device";
    if (!speaksATA(root, device)) continue;
    // A recorded tree has no disk to ask unless it stands one in for the device node.
    const std::string node = "/dev/" + name;
    if (!root.isLiveMachine() && ::access(root.path(node).c_str(), F_OK) != 0) continue;
    // A disk on USB (a bridge) or marked removable sits outside the machine.
    auto resolved = root.resolve(device);
    bool external = (resolved && resolved->find("/usb") != std::string::npos) ||
                    root.readText("/sys/block/" + name + "/removable") == "1";
    PlistDictionary characteristics{
        {"Product Name", root.readText(device + "/model").value_or("")},
        {"Product Revision Level", root.readText(device + "/rev").value_or("")}};
    PlistDictionary protocol{
        {"Physical Interconnect", "SATA"},
        {"Physical Interconnect Location", external ? "External" : "Internal"}};
    PlistDictionary settings{{kSettingsKey, PlistDictionary{{"Device", root.path(node)}}}};
    services->push_back(PlistDictionary{
        {"IOObjectClass", "IOATABlockStorageDevice"},
        {"IOSuperclasses", PlistArray{"IOBlockStorageDevice", "IOService", "IORegistryEntry"}},
        {"IORegistryEntryName", name},
        {"BSD Name", name},
        // Whether the disk has the feature set shows at the first S.M.A.R.T. read.
        {"SMART Capable", PlistValue::boolean(true)},
        {"Device Characteristics", PlistValue(std::move(characteristics))},
        {"Protocol Characteristics", PlistValue(std::move(protocol))},
        {"ZORSimulation", PlistValue(std::move(settings))}});
  }
}

}  // namespace zor::linuxfs
