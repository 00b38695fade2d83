#include "platform/linux/LinuxProcessTable.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>

#include "platform/SystemServices.h"
#include "platform/linux/SysfsAttribute.h"

namespace zor::linuxfs {
namespace {

std::optional<std::uint32_t> effectiveUID(const std::string& status) {
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("Uid:")) continue;
    std::istringstream fields(line.substr(4));
    std::int64_t real = -1;
    std::int64_t effective = -1;
    if (!(fields >> real >> effective) || effective < 0 ||
        effective > std::numeric_limits<std::uint32_t>::max()) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(effective);
  }
  return std::nullopt;
}

}  // namespace

std::string LinuxProcessTable::records(const LinuxRoot& root) {
  std::string table;
  for (const std::string& name : root.list("/proc")) {
    auto pid = parseSysfsInteger(name);
    if (!pid || *pid <= 0 || *pid > std::numeric_limits<std::int32_t>::max()) continue;
    const std::string folder = "/proc/" + name + "/";
    auto command = root.readText(folder + "comm");
    auto status = root.readFile(folder + "status");
    auto uid = status ? effectiveUID(*status) : std::nullopt;
    if (!command || !uid) continue;
    os::appendKinfoProcRecord(table, static_cast<std::int32_t>(*pid), *command, *uid);
  }
  return table;
}

}  // namespace zor::linuxfs
