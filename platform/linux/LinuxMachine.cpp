#include "platform/linux/LinuxMachine.h"

#include <cstdio>
#include <vector>

#include "platform/linux/HwmonEntries.h"
#include "platform/linux/LinuxKernelVariables.h"
#include "platform/linux/LinuxMachineIdentity.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/OsRelease.h"

namespace zor::linuxfs {
namespace {

// The system version file the OS-version queries read.
constexpr const char* kSystemVersionPath = "/System/Library/CoreServices/SystemVersion.plist";

// The sensor sources, in listing order. Each appends the registry entries of
// its kind of hardware under the platform expert.
std::vector<LinuxMachine::EntrySource> sensorSources() {
  return {
      [](const LinuxRoot& root, PlistArray* services) { HwmonEntries::append(root, services); },
  };
}

PlistValue entry(const char* objectClass, const std::string& name) {
  return PlistValue(PlistDictionary{{"IOObjectClass", PlistValue(objectClass)},
                                    {"IORegistryEntryName", PlistValue(name)}});
}

std::string uuidText(const std::array<std::uint8_t, 16>& b) {
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}

std::optional<std::string> computerName(const LinuxRoot& root) {
  for (const char* path : {"/proc/sys/kernel/hostname", "/etc/hostname"}) {
    auto name = LinuxMachineIdentity::meaningful(root.readText(path));
    if (name && *name != "(none)") return name;
  }
  return std::nullopt;
}

std::string machineName(const LinuxMachineIdentity& identity,
                        const std::optional<std::string>& computer) {
  if (identity.vendor && identity.product) {
    // Some firmware repeats the maker in the product name.
    if (identity.product->starts_with(*identity.vendor)) return *identity.product;
    return *identity.vendor + " " + *identity.product;
  }
  if (identity.product) return *identity.product;
  return computer.value_or("Linux machine");
}

// The processor as the machine description looks for it: an "IOPlatformDevice"
// of type "cpu" whose maximum clock is the nominal one.
std::optional<PlistValue> processorEntry(const PlistDictionary& variables) {
  auto maximum = variables.find("hw.cpufrequency_max");
  if (maximum == variables.end()) return std::nullopt;
  PlistValue cpu = entry("IOPlatformDevice", "CPU0");
  auto& properties = *cpu.asDictionary();
  properties["device_type"] = PlistValue("cpu");
  properties["max-clock-frequency"] = maximum->second;
  return cpu;
}

// A kernel that scales the processor clock (cpufreq) steps its power dynamically.
std::optional<PlistValue> powerDomainEntry(const LinuxRoot& root) {
  if (root.list("/sys/devices/system/cpu/cpu0/cpufreq").empty()) return std::nullopt;
  PlistValue domain = entry("IOPMrootDomain", "IOPMrootDomain");
  (*domain.asDictionary())["Supported Features"] =
      PlistValue(PlistDictionary{{"Dynamic Power Step", PlistValue::boolean(true)}});
  return domain;
}

PlistValue deviceTree(const LinuxMachineIdentity& identity) {
  PlistValue root = entry("IORegistryEntry", "device-tree");
  if (identity.biosVersion) {
    PlistValue rom = entry("IOService", "rom");
    (*rom.asDictionary())["version"] = PlistValue(*identity.biosVersion);
    if (identity.biosDate) (*rom.asDictionary())["release-date"] = PlistValue(*identity.biosDate);
    (*root.asDictionary())["IORegistryEntryChildren"] = PlistValue(PlistArray{rom});
  }
  return root;
}

void countLive(const PlistValue& node, std::size_t& count) {
  const PlistDictionary* dictionary = node.asDictionary();
  if (dictionary == nullptr) return;
  if (dictionary->count("ZORSimulation")) ++count;
  auto children = dictionary->find("IORegistryEntryChildren");
  if (children == dictionary->end() || !children->second.isArray()) return;
  for (const PlistValue& child : *children->second.asArray()) countLive(child, count);
}

}  // namespace

std::string LinuxMachine::operatingSystemVersionString(const LinuxRoot& root) {
  const auto release = OsRelease::read(root);
  std::string text = release ? release->prettyName() : "Linux";
  if (auto kernel = root.readText("/proc/sys/kernel/osrelease")) text += ", kernel " + *kernel;
  return LinuxMachineIdentity::wellFormed(text);
}

PlistDictionary LinuxMachine::profile(const LinuxRoot& root) {
  const LinuxMachineIdentity identity = LinuxMachineIdentity::read(root);
  PlistDictionary variables = LinuxKernelVariables::read(root);
  // The model code: on a Mac running Linux the firmware's product name is the
  // model identifier ("MacBookPro11,1") whose prefixes choose SMC names.
  if (identity.product) variables["hw.model"] = PlistValue(*identity.product);
  const std::optional<std::string> computer = computerName(root);

  PlistValue expert = entry("IOPlatformExpertDevice", identity.product.value_or("Linux"));
  PlistDictionary& properties = *expert.asDictionary();
  properties["IOSuperclasses"] = PlistValue(PlistArray{PlistValue("IOService")});
  if (identity.product) properties["model"] = PlistValue(*identity.product);
  if (identity.vendor) properties["manufacturer"] = PlistValue(*identity.vendor);
  if (identity.serialNumber)
    properties["IOPlatformSerialNumber"] = PlistValue(*identity.serialNumber);
  if (identity.uuid) properties["IOPlatformUUID"] = PlistValue(uuidText(*identity.uuid));

  PlistArray services;
  if (auto cpu = processorEntry(variables)) services.push_back(*cpu);
  if (auto domain = powerDomainEntry(root)) services.push_back(*domain);
  for (EntrySource append : sensorSources()) append(root, &services);
  properties["IORegistryEntryChildren"] = PlistValue(std::move(services));

  PlistValue registry = entry("IORegistryEntry", "Root");
  (*registry.asDictionary())["IORegistryEntryChildren"] = PlistValue(PlistArray{expert});

  PlistDictionary profile;
  profile["Name"] = PlistValue(machineName(identity, computer));
  profile["Registry"] = registry;
  profile["DeviceTree"] = deviceTree(identity);
  profile["Sysctl"] = PlistValue(variables);
  if (identity.uuid) {
    profile["HostUUID"] = PlistValue(PlistData(identity.uuid->begin(), identity.uuid->end()));
  }
  if (computer) profile["ComputerName"] = PlistValue(*computer);
  profile["OperatingSystemVersionString"] = PlistValue(operatingSystemVersionString(root));

  // The version file names the system and its kernel but gives no
  // "ProductVersion": a Linux release number read as a version code would
  // pass for an unrelated system's, so the code stays the one of an unknown
  // (the oldest) system, the side callers comparing codes are safe on.
  PlistDictionary version;
  const auto release = OsRelease::read(root);
  version["ProductName"] = PlistValue(LinuxMachineIdentity::wellFormed(
      release ? release->field("NAME").value_or("Linux") : "Linux"));
  if (auto kernel = root.readText("/proc/sys/kernel/osrelease")) {
    version["ProductBuildVersion"] = PlistValue(LinuxMachineIdentity::wellFormed(*kernel));
  }
  profile["Files"] = PlistValue(PlistDictionary{{kSystemVersionPath, PlistValue(version)}});
  return profile;
}

std::shared_ptr<Machine> LinuxMachine::build(const LinuxRoot& root, std::string* errorLine) {
  return build(root, profile(root), errorLine);
}

std::shared_ptr<Machine> LinuxMachine::build(const LinuxRoot& root, const PlistDictionary& profile,
                                             std::string* errorLine) {
  auto machine = Machine::fromProfile(PlistValue(profile), root.directory(), errorLine,
                                      LinuxSystem::make(root));
  if (machine) machine->markAsLive();
  return machine;
}

std::size_t LinuxMachine::liveEntryCount(const PlistDictionary& profile) {
  std::size_t count = 0;
  auto registry = profile.find("Registry");
  if (registry != profile.end()) countLive(registry->second, count);
  return count;
}

}  // namespace zor::linuxfs
