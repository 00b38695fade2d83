#include "platform/linux/HwmonNaming.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <string_view>

#include "platform/StringFormat.h"

namespace zor::linuxfs {
namespace {

bool isTemperature(const HwmonChannel& channel) {
  return std::string_view(channel.kind->prefix) == "temp";
}
bool isIntelCpu(const HwmonChannel& channel) {
  return channel.chip == "coretemp";
}
bool isAmdCpu(const HwmonChannel& channel) {
  return channel.chip == "k10temp" || channel.chip == "zenpower";
}

// N of a label "<prefix>N", or nothing.
std::optional<unsigned> numberAfter(const std::string& label, std::string_view prefix) {
  if (!label.starts_with(prefix) || label.size() == prefix.size()) return std::nullopt;
  unsigned number = 0;
  const char* end = label.data() + label.size();
  auto [stop, error] = std::from_chars(label.data() + prefix.size(), end, number);
  if (error != std::errc() || stop != end) return std::nullopt;
  return number;
}

// k10temp before labels (and on old families) has one unlabelled temp1: the control temperature.
std::string amdLabel(const HwmonChannel& channel) {
  return channel.label.empty() && channel.number == 1 ? "Tctl" : channel.label;
}

// The processor locations, set on every channel that gets one.
void nameProcessorChannels(std::vector<HwmonChannel>& channels) {
  struct Numbered {
    unsigned order;
    HwmonChannel* channel;
  };
  std::vector<Numbered> cores, dies;
  std::vector<HwmonChannel*> packages;
  // Channels come sorted by device, so chips stay in device order.
  std::map<std::string, bool> amdHasTdie;
  for (HwmonChannel& channel : channels) {
    if (isAmdCpu(channel) && isTemperature(channel) && amdLabel(channel) == "Tdie") {
      amdHasTdie[channel.devicePath] = true;
    }
  }
  for (HwmonChannel& channel : channels) {
    if (!isTemperature(channel)) continue;
    if (isIntelCpu(channel)) {
      if (auto core = numberAfter(channel.label, "Core ")) cores.push_back({*core, &channel});
      if (numberAfter(channel.label, "Package id ")) packages.push_back(&channel);
    } else if (isAmdCpu(channel)) {
      const std::string label = amdLabel(channel);
      const bool hasTdie = amdHasTdie.count(channel.devicePath) != 0;
      if (label == "Tdie" || (label == "Tctl" && !hasTdie)) packages.push_back(&channel);
      if (label == "Tctl" && hasTdie) channel.location = "CPU Control";
      if (auto ccd = numberAfter(label, "Tccd")) dies.push_back({*ccd, &channel});
    }
  }
  // Cores are numbered from 1 in device, then core order; two digits from ten
  // cores on, so the locations sort in core order, as the CPU-monitor sensors do.
  auto byDeviceThenOrder = [](const Numbered& a, const Numbered& b) {
    if (a.channel->devicePath != b.channel->devicePath)
      return a.channel->devicePath < b.channel->devicePath;
    return a.order < b.order;
  };
  std::stable_sort(cores.begin(), cores.end(), byDeviceThenOrder);
  std::stable_sort(dies.begin(), dies.end(), byDeviceThenOrder);
  const char* coreFormat = cores.size() < 10 ? "CPU Core %zu" : "CPU Core %02zu";
  for (std::size_t i = 0; i < cores.size(); ++i) {
    cores[i].channel->location = formatString(coreFormat, i + 1);
  }
  for (std::size_t i = 0; i < dies.size(); ++i) {
    dies[i].channel->location = formatString("CPU CCD %zu", i + 1);
  }
  for (std::size_t i = 0; i < packages.size(); ++i) {
    packages[i]->location =
        packages.size() == 1 ? std::string("CPU Package") : formatString("CPU Package %zu", i + 1);
  }
}

std::string lastComponent(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Adds `suffix(channel)` to every location that more than one channel has.
template <class Suffix>
void separateSharedLocations(std::vector<HwmonChannel>& channels, Suffix suffix) {
  std::map<std::string, int> uses;
  for (const HwmonChannel& channel : channels) ++uses[channel.location];
  for (HwmonChannel& channel : channels) {
    if (uses[channel.location] > 1) channel.location += suffix(channel);
  }
}

}  // namespace

void HwmonNaming::name(std::vector<HwmonChannel>& channels) {
  std::map<std::string, int> identities;
  for (HwmonChannel& channel : channels) {
    channel.identity = channel.devicePath + "." + channel.chip + "." + channel.channel();
    // Two chips of one name on one device (not seen, but not forbidden) still differ.
    int seen = ++identities[channel.identity];
    if (seen > 1) channel.identity += formatString(".%d", seen);
    channel.sensorName = channel.chip;
    channel.location.clear();
  }
  nameProcessorChannels(channels);
  for (HwmonChannel& channel : channels) {
    if (!channel.configLabel.empty()) {
      channel.location = channel.configLabel;
    } else if (channel.location.empty()) {
      channel.location =
          !channel.label.empty() ? channel.label : channel.chip + " " + channel.channel();
    }
  }
  separateSharedLocations(channels, [](const HwmonChannel& channel) {
    std::string device = lastComponent(channel.devicePath);
    return " (" + (device.empty() ? channel.chip : device) + ")";
  });
  separateSharedLocations(channels,
                          [](const HwmonChannel& channel) { return " " + channel.channel(); });
}

}  // namespace zor::linuxfs
