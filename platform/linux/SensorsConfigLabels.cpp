#include "platform/linux/SensorsConfigLabels.h"

#include <fnmatch.h>

#include <cstdio>
#include <cstdlib>

namespace zor::linuxfs {
namespace {

// The words of one line: bare words and quoted strings (with backslash
// escapes), up to a '#' outside quotes. A line with an open quote is dropped.
std::optional<std::vector<std::string>> wordsOfLine(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == ',') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      std::string word;
      bool closed = false;
      for (++i; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
          char escaped = line[++i];
          word += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
        } else if (line[i] == '"') {
          closed = true;
          ++i;
          break;
        } else {
          word += line[i];
        }
      }
      if (!closed) return std::nullopt;
      words.push_back(std::move(word));
    } else {
      std::size_t end = line.find_first_of(" \t\r,#\"", i);
      if (end == std::string_view::npos) end = line.size();
      words.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

bool isHex(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}
bool isDecimal(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}
unsigned long number(std::string_view text, int base) {
  return std::strtoul(std::string(text).c_str(), nullptr, base);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// "pci-00c3", "i2c-1-2d", "isa-0290", "scsi-0-0" for one device-path component; "" otherwise.
std::string busOfComponent(std::string_view component, std::string_view parent) {
  char text[64];
  auto colon = split(component, ':');
  if (colon.size() == 3 && isHex(colon[0]) && isHex(colon[1])) {  // PCI "0000:00:18.3"
    auto dot = split(colon[2], '.');
    if (dot.size() == 2 && isHex(dot[0]) && isHex(dot[1])) {
      unsigned long address = (number(colon[0], 16) << 16) + (number(colon[1], 16) << 8) +
                              (number(dot[0], 16) << 3) + number(dot[1], 16);
      std::snprintf(text, sizeof text, "pci-%04lx", address);
      return text;
    }
  }
  if (colon.size() == 4 && isDecimal(colon[0]) && isDecimal(colon[1])) {  // SCSI "0:0:0:0"
    std::snprintf(text, sizeof text, "scsi-%lu-%lu", number(colon[0], 10), number(colon[1], 10));
    return text;
  }
  auto dash = split(component, '-');
  if (dash.size() == 2 && isDecimal(dash[0]) && dash[1].size() == 4 && isHex(dash[1])) {
    std::snprintf(text, sizeof text, "i2c-%lu-%02lx", number(dash[0], 10), number(dash[1], 16));
    return text;  // I2C "1-002d"
  }
  std::size_t dot = component.rfind('.');
  if (parent == "platform" && dot != std::string_view::npos &&
      isDecimal(component.substr(dot + 1))) {  // platform "nct6775.656"
    std::snprintf(text, sizeof text, "isa-%04lx", number(component.substr(dot + 1), 10));
    return text;
  }
  return "";
}

}  // namespace

SensorsConfigLabels SensorsConfigLabels::load(const LinuxRoot& root) {
  SensorsConfigLabels labels;
  auto main = root.readFile("/etc/sensors3.conf");
  if (!main) main = root.readFile("/etc/sensors.conf");
  if (main) labels.parse(*main);
  for (const std::string& name : root.list("/etc/sensors.d")) {
    if (name.starts_with(".")) continue;
    if (auto text = root.readFile("/etc/sensors.d/" + name)) labels.parse(*text);
  }
  return labels;
}

void SensorsConfigLabels::parse(std::string_view text) {
  std::vector<std::string> patterns;  // of the chip block being read
  for (std::string_view line : split(text, '\n')) {
    auto words = wordsOfLine(line);
    if (!words || words->empty()) continue;
    const std::string& keyword = words->front();
    if (keyword == "chip") {
      patterns.assign(words->begin() + 1, words->end());
    } else if (keyword == "label" && words->size() == 3 && !patterns.empty()) {
      labels_.push_back({patterns, (*words)[1], (*words)[2]});
    }
  }
}

std::optional<std::string> SensorsConfigLabels::labelFor(const std::string& chipName,
                                                         const std::string& channel) const {
  // A pattern may name the whole chip name, its name and bus, or only its name.
  std::string prefix = chipName.substr(0, chipName.find('-'));
  auto matches = [&](const std::string& pattern) {
    return ::fnmatch(pattern.c_str(), chipName.c_str(), 0) == 0 ||
           (pattern.find('-') == std::string::npos &&
            ::fnmatch(pattern.c_str(), prefix.c_str(), 0) == 0);
  };
  for (auto it = labels_.rbegin(); it != labels_.rend(); ++it) {
    if (it->channel != channel) continue;
    for (const std::string& pattern : it->chipPatterns) {
      if (matches(pattern)) return it->text;
    }
  }
  return std::nullopt;
}

std::string SensorsConfigLabels::chipName(const std::string& chip, const std::string& devicePath) {
  auto components = split(devicePath, '/');
  for (std::size_t i = components.size(); i-- > 0;) {
    std::string bus = busOfComponent(components[i], i > 0 ? components[i - 1] : "");
    if (!bus.empty()) return chip + "-" + bus;
  }
  // ACPI devices and thermal zones; drivers without a device are virtual.
  bool acpi = devicePath.starts_with("LNXSYSTM") || devicePath.starts_with("virtual/thermal") ||
              devicePath.find("/PNP") != std::string::npos;
  return chip + (acpi ? "-acpi-0" : "-virtual-0");
}

}  // namespace zor::linuxfs
