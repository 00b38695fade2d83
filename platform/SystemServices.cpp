#include "platform/SystemServices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/PropertyListSerialization.h"
#include "platform/SystemBackend.h"

namespace zor::os {
namespace {

struct PathName {
  int first;
  int second;
  const char* name;
};

constexpr PathName kPathNames[] = {
    {CTL_KERN, KERN_OSRELEASE, "kern.osrelease"},
    {CTL_KERN, KERN_VERSION, "kern.version"},
    {CTL_HW, HW_MACHINE, "hw.machine"},
    {CTL_HW, HW_MODEL, "hw.model"},
    {CTL_HW, HW_NCPU, "hw.ncpu"},
    {CTL_HW, HW_VECTORUNIT, "hw.vectorunit"},
    {CTL_HW, HW_BUS_FREQ, "hw.busfrequency"},
    {CTL_HW, HW_CPU_FREQ, "hw.cpufrequency"},
    {CTL_HW, HW_L1ICACHESIZE, "hw.l1icachesize"},
    {CTL_HW, HW_L1DCACHESIZE, "hw.l1dcachesize"},
    {CTL_HW, HW_L2CACHESIZE, "hw.l2cachesize"},
    {CTL_HW, HW_L3CACHESIZE, "hw.l3cachesize"},
    {CTL_HW, HW_MEMSIZE, "hw.memsize"},
    {CTL_HW, HW_AVAILCPU, "hw.availcpu"},
};

// The variables the kernel keeps as 64-bit numbers.
constexpr std::string_view kWideVariables[] = {
    "hw.memsize",          "hw.cpufrequency", "hw.cpufrequency_min",
    "hw.cpufrequency_max", "hw.busfrequency", "hw.busfrequency_min",
    "hw.busfrequency_max", "hw.tbfrequency",  "kern.boottime_sec",
};

bool isWide(std::string_view name) {
  for (std::string_view wide : kWideVariables) {
    if (wide == name) return true;
  }
  return false;
}

int failWith(int error) {
  errno = error;
  return -1;
}

// Hands `bytes` out the way the kernel does: size only, whole, or (for
// text) as far as the buffer goes with ENOMEM.
int copyOut(std::string_view bytes, bool partialAllowed, void* oldp, std::size_t* oldlenp) {
  if (oldlenp == nullptr) return oldp == nullptr ? 0 : failWith(EINVAL);
  if (oldp == nullptr) {
    *oldlenp = bytes.size();
    return 0;
  }
  if (*oldlenp < bytes.size()) {
    if (partialAllowed) std::memcpy(oldp, bytes.data(), *oldlenp);
    return failWith(ENOMEM);
  }
  std::memcpy(oldp, bytes.data(), bytes.size());
  *oldlenp = bytes.size();
  return 0;
}

int readVariable(const std::string& name, void* oldp, std::size_t* oldlenp, const void* newp) {
  if (newp != nullptr) return failWith(EPERM);
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr) return failWith(ENOENT);
  const std::optional<PlistValue> value = backend->kernelVariable(name);
  if (!value) return failWith(ENOENT);
  if (const std::string* text = value->asString()) {
    std::string bytes = *text;
    bytes.push_back('\0');
    return copyOut(bytes, true, oldp, oldlenp);
  }
  const std::optional<std::int64_t> number = value->integerValue();
  if (!number) return failWith(EINVAL);
  char bytes[8];
  if (isWide(name)) {
    const auto wide = static_cast<std::uint64_t>(*number);
    std::memcpy(bytes, &wide, sizeof wide);
    return copyOut(std::string_view(bytes, sizeof wide), false, oldp, oldlenp);
  }
  const auto narrow = static_cast<std::uint32_t>(static_cast<std::uint64_t>(*number));
  std::memcpy(bytes, &narrow, sizeof narrow);
  return copyOut(std::string_view(bytes, sizeof narrow), false, oldp, oldlenp);
}

int simulatedGethostuuid(unsigned char* uuid, const std::timespec* wait) {
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr || !backend->hasHostUUID()) return failWith(ENOSYS);
  if (uuid == nullptr || wait == nullptr) return failWith(EFAULT);
  const double waitSeconds =
      static_cast<double>(wait->tv_sec) + static_cast<double>(wait->tv_nsec) / 1e9;
  std::array<std::uint8_t, 16> bytes{};
  if (!backend->hostUUID(bytes, waitSeconds)) return -1;
  std::memcpy(uuid, bytes.data(), bytes.size());
  return 0;
}

}  // namespace

std::optional<std::string> kernelVariableNameForPath(int first, int second) {
  for (const PathName& entry : kPathNames) {
    if (entry.first == first && entry.second == second) return std::string(entry.name);
  }
  return std::nullopt;
}

int sysctl(const int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, const void* newp,
           std::size_t /*newlen*/) {
  if (name == nullptr || namelen < 2) return failWith(EINVAL);
  if (name[0] == CTL_KERN && name[1] == KERN_PROC) {
    if (namelen != 3 || name[2] != KERN_PROC_ALL) return failWith(EINVAL);
    if (newp != nullptr) return failWith(EPERM);
    SystemBackend* backend = SystemBackend::current();
    if (backend == nullptr) return failWith(ENOENT);
    return copyOut(backend->processTable(), false, oldp, oldlenp);
  }
  if (namelen != 2) return failWith(ENOENT);
  const std::optional<std::string> variable = kernelVariableNameForPath(name[0], name[1]);
  if (!variable) return failWith(ENOENT);
  return readVariable(*variable, oldp, oldlenp, newp);
}

int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, const void* newp,
                 std::size_t /*newlen*/) {
  if (name == nullptr) return failWith(EINVAL);
  return readVariable(name, oldp, oldlenp, newp);
}

void appendKinfoProcRecord(std::string& table, std::int32_t pid, const std::string& command,
                           std::uint32_t effectiveUID) {
  std::string record(kKinfoProcSize, '\0');
  std::memcpy(record.data() + kKinfoProcPIDOffset, &pid, sizeof pid);
  const std::size_t kept = std::min(command.size(), kKinfoProcCommandSize - 1);
  std::memcpy(record.data() + kKinfoProcCommandOffset, command.data(), kept);
  std::memcpy(record.data() + kKinfoProcEffectiveUIDOffset, &effectiveUID, sizeof effectiveUID);
  table += record;
}

kern_return_t host_info(host_t host, int flavor, integer_t* info, std::uint32_t* count) {
  if (host != mach_host_self() || info == nullptr || count == nullptr) {
    return KERN_INVALID_ARGUMENT;
  }
  if (flavor != HOST_BASIC_INFO) return KERN_INVALID_ARGUMENT;
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr) return KERN_FAILURE;
  const auto words = backend->hostBasicInfo();
  if (!words) return KERN_FAILURE;
  // An older, shorter record is answered with the words that fit it.
  if (*count <= kHostBasicInfoCPUSubType) return KERN_FAILURE;
  const std::uint32_t written = std::min<std::uint32_t>(*count, HOST_BASIC_INFO_COUNT);
  for (std::uint32_t i = 0; i < written; ++i) info[i] = (*words)[i];
  *count = written;
  return KERN_SUCCESS;
}

gethostuuid_t lookupGethostuuid() {
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr || !backend->hasHostUUID()) return nullptr;
  return &simulatedGethostuuid;
}

std::optional<std::string> CSCopyMachineName() {
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr) return std::nullopt;
  return backend->computerName();
}

std::optional<std::string> contentsOfSystemFile(const std::string& path) {
  SystemBackend* backend = SystemBackend::current();
  if (backend == nullptr) return std::nullopt;
  return backend->fileContents(path);
}

std::optional<PlistDictionary> dictionaryWithContentsOfSystemFile(const std::string& path) {
  const std::optional<std::string> bytes = contentsOfSystemFile(path);
  if (!bytes) return std::nullopt;
  std::optional<PlistValue> value = parsePropertyList(*bytes);
  if (!value || !value->isDictionary()) return std::nullopt;
  return std::move(*value->asDictionary());
}

}  // namespace zor::os
