#include "platform/linux/LinuxKernelVariables.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <set>
#include <sstream>
#include <utility>

#include "platform/linux/LinuxMachineIdentity.h"
#include "platform/linux/SysfsAttribute.h"

namespace zor::linuxfs {
namespace {

constexpr const char* kCPUFolder = "/sys/devices/system/cpu";

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// What /proc/cpuinfo says: one block per logical processor, "key : value".
struct CPUInfo {
  std::int64_t processors = 0;
  std::set<std::pair<std::string, std::string>> cores;  // (physical id, core id)
  std::optional<double> megahertz;                      // of the first processor
  std::string flags;                                    // x86 "flags" or ARM "Features"
  std::optional<std::string> architecture;              // ARM "CPU architecture"
};

CPUInfo parseCPUInfo(const std::string& text) {
  CPUInfo info;
  std::istringstream lines(text);
  std::string physical, core;
  auto endBlock = [&] {
    if (!physical.empty() || !core.empty()) info.cores.emplace(physical, core);
    physical.clear();
    core.clear();
  };
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
      if (trimmed(line).empty()) endBlock();
      continue;
    }
    const std::string key = trimmed(line.substr(0, colon));
    const std::string value = trimmed(line.substr(colon + 1));
    if (key == "processor") {
      ++info.processors;
    } else if (key == "physical id") {
      physical = value;
    } else if (key == "core id") {
      core = value;
    } else if (key == "cpu MHz" && !info.megahertz) {
      double mhz = 0;
      auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), mhz);
      if (error == std::errc() && end != value.data() && mhz > 0 && std::isfinite(mhz)) {
        info.megahertz = mhz;
      }
    } else if ((key == "flags" || key == "Features") && info.flags.empty()) {
      info.flags = " " + value + " ";
    } else if (key == "CPU architecture" && !info.architecture) {
      info.architecture = value;
    }
  }
  endBlock();
  return info;
}

std::optional<std::int64_t> integerIn(const LinuxRoot& root, const std::string& path) {
  auto text = root.readText(path);
  return text ? parseSysfsInteger(*text) : std::nullopt;
}

// "MemTotal:  16318480 kB" -> bytes.
std::optional<std::int64_t> memoryTotal(const std::string& meminfo) {
  std::istringstream lines(meminfo);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("MemTotal:")) continue;
    std::istringstream fields(line.substr(9));
    std::int64_t kilobytes = 0;
    std::string unit;
    if (!(fields >> kilobytes >> unit) || unit != "kB" || kilobytes <= 0 ||
        kilobytes > INT64_MAX / 1024) {
      return std::nullopt;
    }
    return kilobytes * 1024;
  }
  return std::nullopt;
}

void addCaches(const LinuxRoot& root, PlistDictionary& variables) {
  const std::string folder = std::string(kCPUFolder) + "/cpu0/cache";
  for (const std::string& index : root.list(folder)) {
    if (!index.starts_with("index")) continue;
    const std::string base = folder + "/" + index + "/";
    auto level = integerIn(root, base + "level");
    auto type = root.readText(base + "type");
    auto sizeText = root.readText(base + "size");
    auto size = sizeText ? LinuxKernelVariables::cacheSize(*sizeText) : std::nullopt;
    if (!level || !type || !size) continue;
    const char* name = nullptr;
    if (*level == 1 && *type == "Data") name = "hw.l1dcachesize";
    if (*level == 1 && *type == "Instruction") name = "hw.l1icachesize";
    if (*level == 2) name = "hw.l2cachesize";
    if (*level == 3) name = "hw.l3cachesize";
    if (name != nullptr && !variables.count(name)) variables[name] = PlistValue::integer(*size);
  }
}

}  // namespace

std::string LinuxKernelVariables::kernelVersion(const std::string& release,
                                                const std::string& build) {
  std::string text = "Linux Kernel Version " + release;
  if (!build.empty()) text += ": " + build;
  return text;
}

std::optional<std::int64_t> LinuxKernelVariables::countCPUList(const std::string& list) {
  std::int64_t count = 0;
  std::istringstream ranges(list);
  for (std::string range; std::getline(ranges, range, ',');) {
    range = trimmed(range);
    const std::size_t dash = range.find('-');
    auto first = parseSysfsInteger(range.substr(0, dash));
    auto last = dash == std::string::npos ? first : parseSysfsInteger(range.substr(dash + 1));
    if (!first || !last || *first < 0 || *last < *first || *last - *first > 1'000'000) {
      return std::nullopt;
    }
    count += *last - *first + 1;
  }
  return count > 0 ? std::optional<std::int64_t>(count) : std::nullopt;
}

std::optional<std::int64_t> LinuxKernelVariables::cacheSize(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::int64_t factor = 1;
  std::string digits = text;
  if (digits.back() == 'K') factor = 1024;
  if (digits.back() == 'M') factor = 1024 * 1024;
  if (factor != 1) digits.pop_back();
  auto number = parseSysfsInteger(digits);
  if (!number || *number <= 0 || *number > INT32_MAX / factor) return std::nullopt;
  return *number * factor;
}

PlistDictionary LinuxKernelVariables::read(const LinuxRoot& root) {
  PlistDictionary variables;
  auto text = [&](const char* name, std::optional<std::string> value) {
    if (value && !value->empty())
      variables[name] = PlistValue(LinuxMachineIdentity::wellFormed(*value));
  };
  auto number = [&](const char* name, std::optional<std::int64_t> value) {
    if (value && *value > 0) variables[name] = PlistValue::integer(*value);
  };

  if (auto cpuinfo = root.readFile("/proc/cpuinfo")) {
    const CPUInfo info = parseCPUInfo(*cpuinfo);
    number("hw.ncpu", info.processors);
    number("hw.physicalcpu",
           info.cores.empty() ? info.processors : static_cast<std::int64_t>(info.cores.size()));
    if (info.megahertz) {
      number("hw.cpufrequency", static_cast<std::int64_t>(std::llround(*info.megahertz * 1e6)));
    }
    if (info.processors > 0) {
      const bool vector = info.flags.find(" sse2 ") != std::string::npos ||
                          info.flags.find(" asimd ") != std::string::npos ||
                          info.flags.find(" neon ") != std::string::npos;
      const bool wide =
          info.flags.find(" lm ") != std::string::npos ||
          (info.architecture && parseSysfsInteger(*info.architecture).value_or(0) >= 8);
      variables["hw.vectorunit"] = PlistValue::integer(vector ? 1 : 0);
      variables["hw.cpu64bit_capable"] = PlistValue::integer(wide ? 1 : 0);
    }
  }
  if (auto online = root.readText(std::string(kCPUFolder) + "/online")) {
    number("hw.availcpu", countCPUList(*online));
  }
  const std::string cpufreq = std::string(kCPUFolder) + "/cpu0/cpufreq/";
  // The kernel gives kHz; the variables are Hz.
  auto hertz = [&](const char* file) -> std::optional<std::int64_t> {
    auto khz = integerIn(root, cpufreq + file);
    if (!khz || *khz <= 0 || *khz > INT64_MAX / 1000) return std::nullopt;
    return *khz * 1000;
  };
  number("hw.cpufrequency_min", hertz("cpuinfo_min_freq"));
  number("hw.cpufrequency_max", hertz("cpuinfo_max_freq"));
  if (!variables.count("hw.cpufrequency")) number("hw.cpufrequency", hertz("scaling_cur_freq"));
  addCaches(root, variables);
  if (auto meminfo = root.readFile("/proc/meminfo")) number("hw.memsize", memoryTotal(*meminfo));

  if (auto release = root.readText("/proc/sys/kernel/osrelease")) {
    text("kern.osrelease", *release);
    text("kern.version",
         kernelVersion(*release, root.readText("/proc/sys/kernel/version").value_or("")));
  }
  return variables;
}

}  // namespace zor::linuxfs
