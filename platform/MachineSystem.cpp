#include "platform/MachineSystem.h"

#include <cerrno>
#include <limits>

#include "platform/PropertyListSerialization.h"
#include "platform/SystemServices.h"

namespace zor {
namespace {

std::string wrongType(const std::string& where, const PlistValue& value, const char* expected) {
  return "\"" + where + "\" is a " + plistTypeName(value.type()) + ", expected " + expected;
}

bool fitsInt32(std::int64_t number) {
  return number >= std::numeric_limits<std::int32_t>::min() &&
         number <= std::numeric_limits<std::int32_t>::max();
}

std::optional<std::string> fileBytes(const PlistValue& contents) {
  if (const PlistData* data = contents.asData()) return std::string(data->begin(), data->end());
  if (const std::string* text = contents.asString()) return *text;
  if (contents.isDictionary() || contents.isArray()) {
    return serializePropertyList(contents, PlistFormat::XML);
  }
  return std::nullopt;
}

bool checkVariables(const PlistValue& value, PlistDictionary& variables, std::string* reason) {
  const PlistDictionary* dictionary = value.asDictionary();
  if (dictionary == nullptr) {
    *reason = wrongType("Sysctl", value, "a dictionary");
    return false;
  }
  for (const auto& [name, variable] : *dictionary) {
    if (!variable.isString() && !variable.isInteger()) {
      *reason = wrongType("Sysctl/" + name, variable, "an integer or a string");
      return false;
    }
  }
  variables = *dictionary;
  return true;
}

bool checkProcesses(const PlistValue& value, std::vector<MachineSystem::Process>& processes,
                    std::string* reason) {
  const PlistArray* array = value.asArray();
  if (array == nullptr) {
    *reason = wrongType("Processes", value, "an array");
    return false;
  }
  for (std::size_t i = 0; i < array->size(); ++i) {
    const std::string where = "Processes/" + std::to_string(i);
    const PlistValue& entry = (*array)[i];
    if (!entry.isDictionary()) {
      *reason = wrongType(where, entry, "a dictionary");
      return false;
    }
    MachineSystem::Process process;
    const PlistValue* pid = entry.find("PID");
    if (pid == nullptr || !pid->isInteger() || !fitsInt32(*pid->integerValue())) {
      *reason = "\"" + where + "/PID\" must be a 32-bit integer";
      return false;
    }
    process.pid = static_cast<std::int32_t>(*pid->integerValue());
    if (const PlistValue* command = entry.find("Command")) {
      if (!command->isString()) {
        *reason = wrongType(where + "/Command", *command, "a string");
        return false;
      }
      process.command = *command->asString();
    }
    if (const PlistValue* uid = entry.find("EffectiveUID")) {
      if (!uid->isInteger()) {
        *reason = wrongType(where + "/EffectiveUID", *uid, "an integer");
        return false;
      }
      process.effectiveUID = static_cast<std::uint32_t>(*uid->integerValue());
    }
    processes.push_back(std::move(process));
  }
  return true;
}

}  // namespace

std::shared_ptr<MachineSystem> MachineSystem::make() {
  return std::shared_ptr<MachineSystem>(new MachineSystem());
}

std::shared_ptr<MachineSystem> MachineSystem::build(const PlistDictionary& profile,
                                                    std::string* reason) {
  auto system = make();
  return system->load(profile, reason) ? system : nullptr;
}

bool MachineSystem::load(const PlistDictionary& profile, std::string* reason) {
  std::string ignored;
  if (reason == nullptr) reason = &ignored;
  MachineSystem* system = this;
  auto find = [&](const char* key) -> const PlistValue* {
    auto it = profile.find(key);
    return it == profile.end() ? nullptr : &it->second;
  };
  if (const PlistValue* sysctl = find("Sysctl")) {
    if (!checkVariables(*sysctl, system->variables_, reason)) return false;
  }
  if (const PlistValue* hostInfo = find("HostInfo")) {
    if (!hostInfo->isDictionary()) {
      *reason = wrongType("HostInfo", *hostInfo, "a dictionary");
      return false;
    }
    for (const char* key : {"CPUType", "CPUSubType"}) {
      const PlistValue* number = hostInfo->find(key);
      if (number == nullptr) continue;
      if (!number->isInteger() || !fitsInt32(*number->integerValue())) {
        *reason = std::string("\"HostInfo/") + key + "\" must be a 32-bit integer";
        return false;
      }
      auto& field = std::string_view(key) == "CPUType" ? system->cpuType_ : system->cpuSubType_;
      field = static_cast<std::int32_t>(*number->integerValue());
    }
    // The host answers with both words or not at all.
    if (!system->cpuType_ || !system->cpuSubType_) {
      *reason = "\"HostInfo\" needs both \"CPUType\" and \"CPUSubType\"";
      return false;
    }
  }
  if (const PlistValue* uuid = find("HostUUID")) {
    const PlistData* bytes = uuid->asData();
    if (bytes == nullptr || bytes->size() != 16) {
      *reason = "\"HostUUID\" must be data of 16 bytes";
      return false;
    }
    std::array<std::uint8_t, 16> value{};
    std::copy(bytes->begin(), bytes->end(), value.begin());
    system->hostUUID_ = value;
  }
  if (const PlistValue* delay = find("HostUUIDDelay")) {
    const std::optional<double> seconds = delay->isBoolean() ? std::nullopt : delay->realValue();
    if (!seconds || !(*seconds >= 0.0)) {
      *reason = "\"HostUUIDDelay\" must be a number of seconds, not negative";
      return false;
    }
    system->hostUUIDDelay_ = *seconds;
  }
  for (const char* key : {"ComputerName", "OperatingSystemVersionString"}) {
    const PlistValue* text = find(key);
    if (text == nullptr) continue;
    if (!text->isString()) {
      *reason = wrongType(key, *text, "a string");
      return false;
    }
    (std::string_view(key) == "ComputerName" ? system->computerName_ : system->osVersionString_) =
        *text->asString();
  }
  if (const PlistValue* files = find("Files")) {
    const PlistDictionary* dictionary = files->asDictionary();
    if (dictionary == nullptr) {
      *reason = wrongType("Files", *files, "a dictionary");
      return false;
    }
    for (const auto& [path, contents] : *dictionary) {
      if (path.empty() || path[0] != '/') {
        *reason = "\"Files\" has the path \"" + path + "\", expected an absolute path";
        return false;
      }
      if (!fileBytes(contents)) {
        *reason = wrongType("Files/" + path, contents, "data, a string, a dictionary or an array");
        return false;
      }
    }
    system->files_ = *dictionary;
  }
  if (const PlistValue* processes = find("Processes")) {
    if (!checkProcesses(*processes, system->processes_, reason)) return false;
  }
  return true;
}

std::optional<PlistValue> MachineSystem::kernelVariable(const std::string& name) const {
  auto it = variables_.find(name);
  if (it == variables_.end()) return std::nullopt;
  return it->second;
}

std::string MachineSystem::processTable() {
  std::string table;
  for (const Process& process : processes_) {
    os::appendKinfoProcRecord(table, process.pid, process.command, process.effectiveUID);
  }
  if (processTableHook_) processTableHook_(*this);
  return table;
}

std::optional<std::array<std::int32_t, 12>> MachineSystem::hostBasicInfo() const {
  if (!cpuType_ || !cpuSubType_) return std::nullopt;
  auto number = [&](const char* name) -> std::int64_t {
    auto it = variables_.find(name);
    if (it == variables_.end()) return 0;
    return it->second.integerValue().value_or(0);
  };
  const std::int64_t cpus = number("hw.ncpu");
  const std::int64_t available = variables_.count("hw.availcpu") ? number("hw.availcpu") : cpus;
  const std::int64_t physical =
      variables_.count("hw.physicalcpu") ? number("hw.physicalcpu") : cpus;
  const auto memory = static_cast<std::uint64_t>(number("hw.memsize"));
  std::array<std::int32_t, 12> words{};
  words[os::kHostBasicInfoMaxCPUs] = static_cast<std::int32_t>(cpus);
  words[os::kHostBasicInfoAvailCPUs] = static_cast<std::int32_t>(available);
  // The old 32-bit memory word saturates at 2 GiB; the 64-bit one follows.
  words[2] = static_cast<std::int32_t>(std::min<std::uint64_t>(memory, 0x80000000u - 1u));
  words[os::kHostBasicInfoCPUType] = *cpuType_;
  words[os::kHostBasicInfoCPUSubType] = *cpuSubType_;
  words[5] = 0;  // thread type
  words[6] = static_cast<std::int32_t>(physical);
  words[7] = static_cast<std::int32_t>(physical);
  words[8] = static_cast<std::int32_t>(cpus);
  words[9] = static_cast<std::int32_t>(cpus);
  words[10] = static_cast<std::int32_t>(static_cast<std::uint32_t>(memory));
  words[11] = static_cast<std::int32_t>(static_cast<std::uint32_t>(memory >> 32));
  return words;
}

bool MachineSystem::hostUUID(std::array<std::uint8_t, 16>& uuid, double waitSeconds) {
  if (!hostUUID_) {
    errno = ENOSYS;
    return false;
  }
  if (hostUUIDDelay_ > waitSeconds) {
    errno = ETIMEDOUT;
    return false;
  }
  uuid = *hostUUID_;
  return true;
}

std::optional<std::string> MachineSystem::fileContents(const std::string& path) const {
  auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  return fileBytes(it->second);
}

void MachineSystem::setFile(const std::string& path, const PlistValue& contents) {
  files_[path] = contents;
}

void MachineSystem::removeFile(const std::string& path) {
  files_.erase(path);
}

}  // namespace zor
