#include "system/ZORMachineInfo.h"

#include <cstring>
#include <ctime>

#include "platform/KeyedArchiver.h"
#include "platform/ProcessInfo.h"
#include "platform/SequentialArchiver.h"
#include "platform/StringFormat.h"
#include "platform/SystemBackend.h"
#include "platform/SystemServices.h"
#include "registry/ZORIORegistryEntry.h"
#include "system/NSProcessInfoZORAdditions.h"

namespace zor {
namespace {

struct SharedState {
  std::shared_ptr<ZORMachineInfo> instance;
  std::uint64_t generation = 0;
  bool initialized = false;
  os::gethostuuid_t gethostuuid = nullptr;
};

SharedState& shared() {
  static SharedState state;
  return state;
}

// A number of 4 or 8 bytes in the machine's byte order, as the kernel gives it.
std::optional<std::uint64_t> numberFromBytes(const unsigned char* bytes, std::size_t size) {
  if (size == sizeof(std::uint32_t)) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }
  if (size == sizeof(std::uint64_t)) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> numberAtPath(int first, int second, std::size_t width) {
  const int path[2] = {first, second};
  unsigned char bytes[8] = {};
  std::size_t size = width;
  if (os::sysctl(path, 2, bytes, &size) != 0) return std::nullopt;
  return numberFromBytes(bytes, size);
}

std::optional<std::uint64_t> numberNamed(const char* name, std::size_t width) {
  unsigned char bytes[8] = {};
  std::size_t size = width;
  if (os::sysctlbyname(name, bytes, &size) != 0) return std::nullopt;
  return numberFromBytes(bytes, size);
}

// A text variable read into a 1024-byte buffer, up to its NUL; "" on failure.
std::string textAtPath(int first, int second) {
  const int path[2] = {first, second};
  char buffer[1024];
  std::size_t size = sizeof buffer;
  if (os::sysctl(path, 2, buffer, &size) != 0) return "";
  size = std::min(size, sizeof buffer);
  return std::string(buffer, strnlen(buffer, size));
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "Darwin Kernel Version 10.4.0: Fri ..." -> "10.4.0": from the first digit
// (which must not be the first character) up to the next ":" or the end.
std::string kernelVersionNumber(const std::string& kernelVersion) {
  const std::size_t digit = kernelVersion.find_first_of("0123456789");
  if (digit == std::string::npos || digit == 0) return "";
  const std::size_t colon = kernelVersion.find(':', digit);
  return kernelVersion.substr(digit,
                              colon == std::string::npos ? std::string::npos : colon - digit);
}

const PlistValue* findIn(const std::optional<PlistDictionary>& properties, const char* key) {
  if (!properties) return nullptr;
  auto it = properties->find(key);
  return it == properties->end() ? nullptr : &it->second;
}

// A clock property: 8 bytes are a 64-bit number, 4 or more bytes give a
// 32-bit number from the first four (machine byte order). Shorter blocks
// hold no clock at all and are not read past their end.
std::optional<std::uint64_t> clockValue(const PlistValue& value) {
  if (const PlistData* data = value.asData()) {
    if (data->size() == 8) return numberFromBytes(data->data(), 8);
    if (data->size() >= 4) return numberFromBytes(data->data(), 4);
    return std::nullopt;
  }
  if (value.isInteger()) return static_cast<std::uint64_t>(*value.integerValue());
  return std::nullopt;
}

std::string yesNo(bool flag) {
  return flag ? "YES" : "NO";
}

}  // namespace

void ZORMachineInfo::initialize() {
  shared().gethostuuid = os::lookupGethostuuid();
  shared().initialized = true;
}

std::shared_ptr<ZORMachineInfo> ZORMachineInfo::sharedMachineInfo() {
  SharedState& state = shared();
  if (!state.instance || state.generation != SystemBackend::generation()) {
    // A machine installed since the last look-up may have another UUID function.
    if (!state.initialized || state.generation != SystemBackend::generation()) initialize();
    auto info = std::make_shared<ZORMachineInfo>();
    info->init();
    state.instance = std::move(info);
    state.generation = SystemBackend::generation();
  }
  return state.instance;
}

void ZORMachineInfo::forgetSharedMachineInfo() {
  shared().instance.reset();
  shared().initialized = false;
}

std::uint64_t ZORMachineInfo::currentCPUFrequency() {
  return numberNamed("hw.cpufrequency", 8).value_or(0);
}

std::uint64_t ZORMachineInfo::currentFSBFrequency() {
  return numberNamed("hw.busfrequency", 8).value_or(0);
}

void ZORMachineInfo::init() {
  if (!shared().initialized) initialize();
  *this = ZORMachineInfo();

  auto count = [](int second) {
    return static_cast<std::uint32_t>(numberAtPath(os::CTL_HW, second, 4).value_or(0));
  };
  numberOfCPUs_ = count(os::HW_NCPU);
  numberOfActiveCPUs_ = count(os::HW_AVAILCPU);
  numberOfPhysicalCPUs_ =
      static_cast<std::uint32_t>(numberNamed("hw.physicalcpu", 4).value_or(numberOfCPUs_));

  os::integer_t words[os::HOST_BASIC_INFO_COUNT] = {};
  std::uint32_t wordCount = os::HOST_BASIC_INFO_COUNT;
  if (os::host_info(os::mach_host_self(), os::HOST_BASIC_INFO, words, &wordCount) ==
          os::KERN_SUCCESS &&
      wordCount > os::kHostBasicInfoCPUSubType) {
    cpuType_ = words[os::kHostBasicInfoCPUType];
    cpuSubType_ = words[os::kHostBasicInfoCPUSubType];
  }

  cpuFreq_ = currentCPUFrequency();
  cpuFreqMin_ = numberNamed("hw.cpufrequency_min", 8).value_or(0);
  cpuFreqMax_ = numberNamed("hw.cpufrequency_max", 8).value_or(0);
  fsbFreq_ = currentFSBFrequency();
  fsbFreqMin_ = numberNamed("hw.busfrequency_min", 8).value_or(0);
  fsbFreqMax_ = numberNamed("hw.busfrequency_max", 8).value_or(0);
  l1InstructionCacheSize_ = count(os::HW_L1ICACHESIZE);
  l1DataCacheSize_ = count(os::HW_L1DCACHESIZE);
  l2CacheSize_ = count(os::HW_L2CACHESIZE);
  l3CacheSize_ = count(os::HW_L3CACHESIZE);
  opsAltiVec_ = numberAtPath(os::CTL_HW, os::HW_VECTORUNIT, 4) == std::uint64_t{1};
  memorySize_ = numberAtPath(os::CTL_HW, os::HW_MEMSIZE, 8).value_or(0);
  appleModelCode_ = textAtPath(os::CTL_HW, os::HW_MODEL);
  osKernelVersion_ = textAtPath(os::CTL_KERN, os::KERN_VERSION);
  osKernelVersionNumber_ = kernelVersionNumber(osKernelVersion_);

  gatherProcessor();
  gatherSpeedFeature();
  gatherSerialNumber();

  osVersionNumber_ = NSProcessInfoZORAdditions::operatingSystemVersionNumberString();
  osReadableBuild_ = NSProcessInfoZORAdditions::operatingSystemBuildCode();
  osVersionCode_ = NSProcessInfoZORAdditions::operatingSystemVersionCode();
  osReadableVersion_ = ProcessInfo::processInfo().operatingSystemVersionString();

  gatherBootROM();
  computerName_ = os::CSCopyMachineName().value_or("");
  if (computerName_.empty()) computerName_ = "Macintosh";
  gatherUUID();

  is64BitCapable_ = numberNamed("hw.cpu64bit_capable", 4).value_or(0) != 0;
  isRunning64BitKernel_ = endsWith(osKernelVersion_, "RELEASE_X86_64");
}

void ZORMachineInfo::gatherProcessor() {
  cpuVersion_ = 0;
  cpuFreqNom_ = 0;
  std::optional<std::uint64_t> nominal;
  if (auto devices =
          ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOPlatformDevice"))) {
    for (const auto& device : *devices) {
      const std::optional<std::string> type = device->stringValueWithName("device_type");
      if (type != "cpu" && type != "processor") continue;
      const std::optional<PlistDictionary> properties = device->properties();
      if (*type == "cpu") {
        const PlistValue* version = findIn(properties, "cpu-version");
        if (version != nullptr && version->asData() != nullptr && version->asData()->size() == 4) {
          cpuVersion_ = static_cast<std::int32_t>(*numberFromBytes(version->asData()->data(), 4));
        }
        if (const PlistValue* maximum = findIn(properties, "max-clock-frequency")) {
          nominal = clockValue(*maximum);
          break;
        }
      }
      if (const PlistValue* clock = findIn(properties, "clock-frequency")) {
        nominal = clockValue(*clock);
      }
      break;
    }
  }
  cpuFreqNom_ = nominal && *nominal != 0 ? *nominal : cpuFreq_;
}

void ZORMachineInfo::gatherSpeedFeature() {
  cpuSpeedFeature_ = 0;
  auto domains = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOPMrootDomain"));
  if (!domains) return;
  for (const auto& domain : *domains) {
    const std::optional<PlistDictionary> properties = domain->properties();
    const PlistValue* features = findIn(properties, "Supported Features");
    if (features == nullptr || !features->isDictionary()) continue;
    if (features->find("Dynamic Power Step") != nullptr) {
      cpuSpeedFeature_ = 2;
    } else if (features->find("Reduce Processor Speed") != nullptr) {
      cpuSpeedFeature_ = 1;
    }
    return;
  }
}

void ZORMachineInfo::gatherSerialNumber() {
  std::string serial;
  if (auto experts =
          ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOPlatformExpertDevice"))) {
    for (const auto& expert : *experts) {
      if (!expert->hasValueWithName("IOPlatformSerialNumber")) continue;
      serial = expert->stringValueWithName("IOPlatformSerialNumber").value_or("");
      break;
    }
  }
  if (serial.empty()) {
    auto interfaces =
        ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IONetworkInterface"));
    if (interfaces) {
      for (const auto& interface : *interfaces) {
        const std::optional<PlistDictionary> properties = interface->properties();
        const PlistValue* primary = findIn(properties, "IOPrimaryInterface");
        if (primary == nullptr || primary->boolValue() != true) continue;
        // Only the first primary interface is asked.
        if (auto parent = interface->parentServiceEntry()) {
          const std::optional<PlistDictionary> parentProperties = parent->properties();
          const PlistValue* address = findIn(parentProperties, "IOMACAddress");
          if (address != nullptr && address->asData() != nullptr &&
              address->asData()->size() == 6) {
            const PlistData& bytes = *address->asData();
            serial = fallBackSerialNumberPrefix() + formatString("-%02x%02x%02x%02x%02x%02x",
                                                                 bytes[0], bytes[1], bytes[2],
                                                                 bytes[3], bytes[4], bytes[5]);
          }
        }
        break;
      }
    }
  }
  if (serial.empty()) serial = fallBackSerialNumberPrefix();
  machineSerialNumber_ = std::move(serial);
}

void ZORMachineInfo::gatherBootROM() {
  bootROMVersion_.clear();
  if (auto bootROM = ZORIORegistryEntry::registryEntryInPlane(std::string("IODeviceTree"),
                                                              std::string("/rom/boot-rom"))) {
    bootROMVersion_ = bootROM->stringValueWithName("model").value_or("");
  } else if (auto rom = ZORIORegistryEntry::registryEntryInPlane(std::string("IODeviceTree"),
                                                                 std::string("/rom"))) {
    // A missing part shows as empty rather than as a placeholder word.
    bootROMVersion_ = rom->stringValueWithName("version").value_or("") + " (" +
                      rom->stringValueWithName("release-date").value_or("") + ")";
  }
}

void ZORMachineInfo::gatherUUID() {
  machineUUID_.clear();
  os::gethostuuid_t gethostuuid = shared().gethostuuid;
  if (gethostuuid == nullptr) return;
  unsigned char bytes[16] = {};
  const std::timespec wait{static_cast<std::time_t>(kHostUUIDWaitSeconds), 0};
  if (gethostuuid(bytes, &wait) != 0) return;
  machineUUID_ =
      formatString("%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                   bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                   bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
}

void ZORMachineInfo::getNumberOfCPUs(std::uint32_t* numberOfCPUs, std::uint32_t* active,
                                     std::uint32_t* physical) const {
  if (numberOfCPUs) *numberOfCPUs = numberOfCPUs_;
  if (active) *active = numberOfActiveCPUs_;
  if (physical) *physical = numberOfPhysicalCPUs_;
}

void ZORMachineInfo::getCPUType(std::int32_t* cpuType, std::int32_t* subType) const {
  if (cpuType) *cpuType = cpuType_;
  if (subType) *subType = cpuSubType_;
}

void ZORMachineInfo::getCPUFrequency(std::uint64_t* cpuFrequency, std::uint64_t* minimum,
                                     std::uint64_t* maximum) const {
  if (cpuFrequency) *cpuFrequency = cpuFreq_;
  if (minimum) *minimum = cpuFreqMin_;
  if (maximum) *maximum = cpuFreqMax_;
}

void ZORMachineInfo::getFSBFrequency(std::uint64_t* fsbFrequency, std::uint64_t* minimum,
                                     std::uint64_t* maximum) const {
  if (fsbFrequency) *fsbFrequency = fsbFreq_;
  if (minimum) *minimum = fsbFreqMin_;
  if (maximum) *maximum = fsbFreqMax_;
}

void ZORMachineInfo::getL1CacheSizeData(std::uint32_t* data, std::uint32_t* instructions) const {
  if (data) *data = l1DataCacheSize_;
  if (instructions) *instructions = l1InstructionCacheSize_;
}

std::string ZORMachineInfo::description() const {
  using ull = unsigned long long;
  return formatString(
      "%s, S/N %s UUID: %s, named '%s': %u CPUs, %u physical, %u active, type %d:%d, frequency "
      "%llu Hz (min %llu Hz, max %llu Hz, nom %llu Hz) variable: %d, FSB frequency %llu Hz (min "
      "%llu Hz, max %llu Hz), L1 instruction cache %u bytes, L1 data cache %u bytes, L2 cache %u "
      "bytes, L3 cache %u bytes, vector unit support %s, 64 bit support %s, 64 bit kernel %s, "
      "memory size %llu bytes, operating system %s build %s OS code %x, %s, boot ROM version %s",
      appleModelCode_.c_str(), machineSerialNumber_.c_str(), machineUUID_.c_str(),
      computerName_.c_str(), numberOfCPUs_, numberOfPhysicalCPUs_, numberOfActiveCPUs_, cpuType_,
      cpuSubType_, static_cast<ull>(cpuFreq_), static_cast<ull>(cpuFreqMin_),
      static_cast<ull>(cpuFreqMax_), static_cast<ull>(cpuFreqNom_), cpuSpeedFeature_,
      static_cast<ull>(fsbFreq_), static_cast<ull>(fsbFreqMin_), static_cast<ull>(fsbFreqMax_),
      l1InstructionCacheSize_, l1DataCacheSize_, l2CacheSize_, l3CacheSize_,
      yesNo(opsAltiVec_).c_str(), yesNo(is64BitCapable_).c_str(),
      yesNo(isRunning64BitKernel_).c_str(), static_cast<ull>(memorySize_),
      osReadableVersion_.c_str(), osReadableBuild_.c_str(), static_cast<unsigned>(osVersionCode_),
      osKernelVersion_.c_str(), bootROMVersion_.c_str());
}

// --- Archiving -------------------------------------------------------------

void ZORMachineInfo::encodeWithCoder(SequentialArchiver& coder) const {
  coder.encodeUInt32(numberOfCPUs_);
  coder.encodeUInt32(numberOfActiveCPUs_);
  coder.encodeUInt32(numberOfPhysicalCPUs_);
  coder.encodeInt32(cpuType_);
  coder.encodeInt32(cpuSubType_);
  coder.encodeInt32(cpuVersion_);
  coder.encodeUInt64(cpuFreq_);
  coder.encodeUInt64(cpuFreqMin_);
  coder.encodeUInt64(cpuFreqMax_);
  coder.encodeUInt64(cpuFreqNom_);
  coder.encodeInt32(cpuSpeedFeature_);
  coder.encodeUInt64(fsbFreq_);
  coder.encodeUInt64(fsbFreqMin_);
  coder.encodeUInt64(fsbFreqMax_);
  coder.encodeUInt32(l1InstructionCacheSize_);
  coder.encodeUInt32(l1DataCacheSize_);
  coder.encodeUInt32(l2CacheSize_);
  coder.encodeUInt32(l3CacheSize_);
  coder.encodeInt8(opsAltiVec_ ? 1 : 0);
  coder.encodeUInt64(memorySize_);
  coder.encodeInt32(osVersionCode_);
  for (const std::string* text :
       {&appleModelCode_, &machineSerialNumber_, &osReadableVersion_, &osVersionNumber_,
        &osReadableBuild_, &osKernelVersion_, &osKernelVersionNumber_, &bootROMVersion_,
        &computerName_, &machineUUID_}) {
    coder.encodeString(*text);
  }
  coder.encodeInt8(is64BitCapable_ ? 1 : 0);
  coder.encodeInt8(isRunning64BitKernel_ ? 1 : 0);
}

bool ZORMachineInfo::initWithCoder(SequentialArchiver& coder) {
  ZORMachineInfo decoded;
  std::int8_t altiVec = 0;
  std::int8_t capable = 0;
  std::int8_t kernel64 = 0;
  bool ok =
      coder.decodeUInt32(decoded.numberOfCPUs_) &&
      coder.decodeUInt32(decoded.numberOfActiveCPUs_) &&
      coder.decodeUInt32(decoded.numberOfPhysicalCPUs_) && coder.decodeInt32(decoded.cpuType_) &&
      coder.decodeInt32(decoded.cpuSubType_) && coder.decodeInt32(decoded.cpuVersion_) &&
      coder.decodeUInt64(decoded.cpuFreq_) && coder.decodeUInt64(decoded.cpuFreqMin_) &&
      coder.decodeUInt64(decoded.cpuFreqMax_) && coder.decodeUInt64(decoded.cpuFreqNom_) &&
      coder.decodeInt32(decoded.cpuSpeedFeature_) && coder.decodeUInt64(decoded.fsbFreq_) &&
      coder.decodeUInt64(decoded.fsbFreqMin_) && coder.decodeUInt64(decoded.fsbFreqMax_) &&
      coder.decodeUInt32(decoded.l1InstructionCacheSize_) &&
      coder.decodeUInt32(decoded.l1DataCacheSize_) && coder.decodeUInt32(decoded.l2CacheSize_) &&
      coder.decodeUInt32(decoded.l3CacheSize_) && coder.decodeInt8(altiVec) &&
      coder.decodeUInt64(decoded.memorySize_) && coder.decodeInt32(decoded.osVersionCode_);
  for (std::string* text :
       {&decoded.appleModelCode_, &decoded.machineSerialNumber_, &decoded.osReadableVersion_,
        &decoded.osVersionNumber_, &decoded.osReadableBuild_, &decoded.osKernelVersion_,
        &decoded.osKernelVersionNumber_, &decoded.bootROMVersion_, &decoded.computerName_,
        &decoded.machineUUID_}) {
    std::optional<std::string> value;
    ok = ok && coder.decodeString(value);
    if (ok) *text = value.value_or("");
  }
  ok = ok && coder.decodeInt8(capable) && coder.decodeInt8(kernel64);
  if (!ok) return false;
  decoded.opsAltiVec_ = altiVec != 0;
  decoded.is64BitCapable_ = capable != 0;
  decoded.isRunning64BitKernel_ = kernel64 != 0;
  *this = std::move(decoded);
  return true;
}

void ZORMachineInfo::encodeWithKeyedCoder(KeyedArchiver& coder) const {
  coder.encodeUInt32("NumberOfCPUs", numberOfCPUs_);
  coder.encodeUInt32("NumberOfActiveCPUs", numberOfActiveCPUs_);
  coder.encodeUInt32("NumberOfPhysicalCPUs", numberOfPhysicalCPUs_);
  coder.encodeInt32("CPUType", cpuType_);
  coder.encodeInt32("CPUSubType", cpuSubType_);
  coder.encodeInt32("CPUVersion", cpuVersion_);
  coder.encodeUInt64("CPUFreq", cpuFreq_);
  coder.encodeUInt64("CPUFreqMin", cpuFreqMin_);
  coder.encodeUInt64("CPUFreqMax", cpuFreqMax_);
  coder.encodeUInt64("CPUFreqNom", cpuFreqNom_);
  coder.encodeInt32("CPUSpeedFeature", cpuSpeedFeature_);
  coder.encodeUInt64("FSBFreq", fsbFreq_);
  coder.encodeUInt64("FSBFreqMin", fsbFreqMin_);
  coder.encodeUInt64("FSBFreqMax", fsbFreqMax_);
  coder.encodeUInt32("L1InstructionCacheSize", l1InstructionCacheSize_);
  coder.encodeUInt32("L1DataCacheSize", l1DataCacheSize_);
  coder.encodeUInt32("L2CacheSize", l2CacheSize_);
  coder.encodeUInt32("L3CacheSize", l3CacheSize_);
  coder.encodeInt8("VectorUnit", opsAltiVec_ ? 1 : 0);
  coder.encodeUInt64("MemorySize", memorySize_);
  coder.encodeInt32("OSVersionCode", osVersionCode_);
  coder.encodeString("AppleModelCode", appleModelCode_);
  coder.encodeString("MachineSerialNumber", machineSerialNumber_);
  coder.encodeString("OSReadableVersion", osReadableVersion_);
  coder.encodeString("OSVersionNumber", osVersionNumber_);
  coder.encodeString("OSReadableBuild", osReadableBuild_);
  coder.encodeString("OSKernelVersion", osKernelVersion_);
  coder.encodeString("OSKernelVersionNumber", osKernelVersionNumber_);
  coder.encodeString("BootROMVersion", bootROMVersion_);
  coder.encodeString("ComputerName", computerName_);
  coder.encodeString("MachineUUID", machineUUID_);
  coder.encodeInt8("64BitCapable", is64BitCapable_ ? 1 : 0);
  coder.encodeInt8("64BitKernel", isRunning64BitKernel_ ? 1 : 0);
}

bool ZORMachineInfo::initWithKeyedCoder(const KeyedArchiver& coder) {
  ZORMachineInfo decoded;
  bool ok = true;
  // Each reader leaves the field alone when the key is missing and fails
  // the whole decoding when it holds a value of another kind.
  auto take = [&](const char* key, auto& field, auto decode) {
    if (!coder.containsValueForKey(key)) return;
    auto value = (coder.*decode)(key);
    if (value) {
      field = *value;
    } else {
      ok = false;
    }
  };
  auto takeFlag = [&](const char* key, bool& field) {
    std::int8_t value = field ? 1 : 0;
    take(key, value, &KeyedArchiver::decodeInt8);
    field = value != 0;
  };
  take("NumberOfCPUs", decoded.numberOfCPUs_, &KeyedArchiver::decodeUInt32);
  take("NumberOfActiveCPUs", decoded.numberOfActiveCPUs_, &KeyedArchiver::decodeUInt32);
  take("NumberOfPhysicalCPUs", decoded.numberOfPhysicalCPUs_, &KeyedArchiver::decodeUInt32);
  take("CPUType", decoded.cpuType_, &KeyedArchiver::decodeInt32);
  take("CPUSubType", decoded.cpuSubType_, &KeyedArchiver::decodeInt32);
  take("CPUVersion", decoded.cpuVersion_, &KeyedArchiver::decodeInt32);
  take("CPUFreq", decoded.cpuFreq_, &KeyedArchiver::decodeUInt64);
  take("CPUFreqMin", decoded.cpuFreqMin_, &KeyedArchiver::decodeUInt64);
  take("CPUFreqMax", decoded.cpuFreqMax_, &KeyedArchiver::decodeUInt64);
  take("CPUFreqNom", decoded.cpuFreqNom_, &KeyedArchiver::decodeUInt64);
  take("CPUSpeedFeature", decoded.cpuSpeedFeature_, &KeyedArchiver::decodeInt32);
  take("FSBFreq", decoded.fsbFreq_, &KeyedArchiver::decodeUInt64);
  take("FSBFreqMin", decoded.fsbFreqMin_, &KeyedArchiver::decodeUInt64);
  take("FSBFreqMax", decoded.fsbFreqMax_, &KeyedArchiver::decodeUInt64);
  take("L1InstructionCacheSize", decoded.l1InstructionCacheSize_, &KeyedArchiver::decodeUInt32);
  take("L1DataCacheSize", decoded.l1DataCacheSize_, &KeyedArchiver::decodeUInt32);
  take("L2CacheSize", decoded.l2CacheSize_, &KeyedArchiver::decodeUInt32);
  take("L3CacheSize", decoded.l3CacheSize_, &KeyedArchiver::decodeUInt32);
  takeFlag("VectorUnit", decoded.opsAltiVec_);
  take("MemorySize", decoded.memorySize_, &KeyedArchiver::decodeUInt64);
  take("OSVersionCode", decoded.osVersionCode_, &KeyedArchiver::decodeInt32);
  take("AppleModelCode", decoded.appleModelCode_, &KeyedArchiver::decodeString);
  take("MachineSerialNumber", decoded.machineSerialNumber_, &KeyedArchiver::decodeString);
  take("OSReadableVersion", decoded.osReadableVersion_, &KeyedArchiver::decodeString);
  take("OSVersionNumber", decoded.osVersionNumber_, &KeyedArchiver::decodeString);
  take("OSReadableBuild", decoded.osReadableBuild_, &KeyedArchiver::decodeString);
  take("OSKernelVersion", decoded.osKernelVersion_, &KeyedArchiver::decodeString);
  take("OSKernelVersionNumber", decoded.osKernelVersionNumber_, &KeyedArchiver::decodeString);
  take("BootROMVersion", decoded.bootROMVersion_, &KeyedArchiver::decodeString);
  take("ComputerName", decoded.computerName_, &KeyedArchiver::decodeString);
  take("MachineUUID", decoded.machineUUID_, &KeyedArchiver::decodeString);
  takeFlag("64BitCapable", decoded.is64BitCapable_);
  takeFlag("64BitKernel", decoded.isRunning64BitKernel_);
  if (!ok) return false;
  *this = std::move(decoded);
  return true;
}

std::shared_ptr<Archivable> ZORMachineInfo::replacementObjectForPortCoder(PortCoder& coder) {
  return replacementByCopyUnlessByref(coder);
}

}  // namespace zor
