#include "platform/linux/OsRelease.h"

#include <sstream>

namespace zor::linuxfs {
namespace {

// A value as the shell would take it: a quoted value loses its quotes, and
// inside double quotes a backslash keeps the next character ($, ", \, `).
std::string unquote(const std::string& raw) {
  if (raw.size() >= 2 && raw.front() == '\'' && raw.back() == '\'') {
    return raw.substr(1, raw.size() - 2);
  }
  if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
    std::string value;
    for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 2 < raw.size()) ++i;
      value.push_back(raw[i]);
    }
    return value;
  }
  return raw;
}

}  // namespace

std::optional<OsRelease> OsRelease::read(const LinuxRoot& root) {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    if (auto text = root.readFile(path)) return parse(*text);
  }
  return std::nullopt;
}

OsRelease OsRelease::parse(const std::string& text) {
  OsRelease release;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    const std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos || equals == 0) continue;
    release.fields_[line.substr(0, equals)] = unquote(line.substr(equals + 1));
  }
  return release;
}

std::optional<std::string> OsRelease::field(const std::string& key) const {
  auto it = fields_.find(key);
  if (it == fields_.end() || it->second.empty()) return std::nullopt;
  return it->second;
}

std::string OsRelease::prettyName() const {
  if (auto pretty = field("PRETTY_NAME")) return *pretty;
  auto name = field("NAME");
  auto version = field("VERSION");
  if (name && version) return *name + " " + *version;
  return name.value_or("Linux");
}

}  // namespace zor::linuxfs
