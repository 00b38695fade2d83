#include "platform/linux/HwmonScanner.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

#include "platform/SystemLog.h"
#include "platform/Utf8.h"
#include "platform/linux/SensorsConfigLabels.h"
#include "platform/linux/SysfsAttribute.h"

namespace zor::linuxfs {
namespace {

constexpr const char* kClassFolder = "/sys/class/hwmon";
constexpr std::string_view kDevices = "/sys/devices/";

void leaveOut(const std::string& what, const std::string& why) {
  SystemLog::writeFormat("hwmon: left out %s: %s\n", what.c_str(), why.c_str());
}

bool isUtf8(const std::string& text) {
  std::string again;
  for (char32_t codePoint : Utf8::decode(text)) Utf8::append(again, codePoint);
  return again == text;
}

// "temp12_input" -> the kind "temp" and 12; false for any other file.
bool parseInputName(const std::string& file, const HwmonKind** kind, int* number) {
  constexpr std::string_view kSuffix = "_input";
  std::string_view name(file);
  if (!name.ends_with(kSuffix)) return false;
  std::string_view stem = name.substr(0, name.size() - kSuffix.size());
  std::size_t digits = stem.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(stem[digits - 1]))) --digits;
  if (digits == 0 || digits == stem.size()) return false;
  *kind = HwmonKind::named(stem.substr(0, digits));
  if (*kind == nullptr) return false;
  auto [end, error] = std::from_chars(stem.data() + digits, stem.data() + stem.size(), *number);
  return error == std::errc() && end == stem.data() + stem.size();
}

// "/sys/devices/platform/coretemp.0/hwmon/hwmon3" -> "platform/coretemp.0": the
// device the chip belongs to, without the number the kernel gave it this boot.
std::string devicePathOf(std::string hwmonFolder) {
  std::size_t slash = hwmonFolder.rfind('/');
  if (slash != std::string::npos) hwmonFolder.resize(slash);
  if (hwmonFolder.ends_with("/hwmon")) hwmonFolder.resize(hwmonFolder.size() - 6);
  if (hwmonFolder.starts_with(kDevices)) hwmonFolder.erase(0, kDevices.size());
  return hwmonFolder;
}

// The folder holding the chip's files: its own when it has a "name", else
// its device folder (drivers before the hwmon class kept their files there).
std::optional<std::string> chipFolder(const LinuxRoot& root, const std::string& hwmonFolder) {
  if (root.readText(hwmonFolder + "/name")) return hwmonFolder;
  auto device = root.resolve(hwmonFolder + "/device");
  if (device && root.readText(*device + "/name")) return device;
  return std::nullopt;
}

void scanChip(const LinuxRoot& root, const SensorsConfigLabels& config, const std::string& link,
              std::vector<HwmonChannel>* channels) {
  auto hwmonFolder = root.resolve(link);
  if (!hwmonFolder) return leaveOut(link, "the link points nowhere");
  auto folder = chipFolder(root, *hwmonFolder);
  if (!folder) return leaveOut(link, "no chip name");
  std::string chip = root.readText(*folder + "/name").value_or("");
  if (chip.empty() || !isUtf8(chip)) return leaveOut(link, "no usable chip name");
  const std::string devicePath = devicePathOf(*hwmonFolder);
  const std::string configName = SensorsConfigLabels::chipName(chip, devicePath);

  for (const std::string& file : root.list(*folder)) {
    HwmonChannel channel;
    if (!parseInputName(file, &channel.kind, &channel.number)) continue;
    const std::string input = *folder + "/" + file;
    SysfsAttribute probe(root.path(input));
    if (!probe.isOpen()) {
      leaveOut(input, std::strerror(probe.lastError()));
      continue;
    }
    channel.chip = chip;
    channel.devicePath = devicePath;
    channel.inputPath = root.path(input);
    const std::string labelFile = *folder + "/" + channel.channel() + "_label";
    if (auto label = root.readText(labelFile)) {
      if (isUtf8(*label)) {
        channel.label = *label;
      } else {
        leaveOut(labelFile, "not UTF-8 text; the channel is named after its chip");
      }
    }
    channel.limits = HwmonLimits::read(root, *folder, channel.channel(), *channel.kind);
    auto configLabel = config.labelFor(configName, channel.channel());
    if (configLabel && isUtf8(*configLabel)) channel.configLabel = *configLabel;
    channels->push_back(std::move(channel));
  }
}

}  // namespace

std::vector<HwmonChannel> HwmonScanner::scan(const LinuxRoot& root) {
  std::vector<HwmonChannel> channels;
  const SensorsConfigLabels config = SensorsConfigLabels::load(root);
  for (const std::string& name : root.list(kClassFolder)) {
    scanChip(root, config, std::string(kClassFolder) + "/" + name, &channels);
  }
  std::sort(channels.begin(), channels.end(), [&](const HwmonChannel& a, const HwmonChannel& b) {
    if (a.devicePath != b.devicePath) return a.devicePath < b.devicePath;
    if (a.chip != b.chip) return a.chip < b.chip;
    int kinds = std::strcmp(a.kind->prefix, b.kind->prefix);
    if (kinds != 0) return kinds < 0;
    return a.number < b.number;
  });
  return channels;
}

}  // namespace zor::linuxfs
