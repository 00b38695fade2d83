#include "cpu/ZORTALVEROx86Monitor.h"

#include <cmath>
#include <limits>

#include "platform/Clock.h"
#include "platform/IOKit.h"
#include "platform/StringFormat.h"
#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"
#include "sensors/ZORSensorValueConverter.h"

namespace zor {
namespace {

constexpr std::int32_t kTemperatureQuantity = 1;
constexpr std::int32_t kInformationQuantity = 11;
constexpr std::int32_t kFrequencyQuantity = 13;

// Sensors are made only for drivers newer than this version.
constexpr std::uint32_t kLastUnsupportedDriverVersion = 6;
// A temperature record may be as old as this many seconds per core for each
// second since the sensor's previous reading.
constexpr std::uint32_t kStalenessSecondsPerCore = 12;

// The process-wide refresh clock: whole seconds from which the next
// "ForceUpdate" may be written. Shared by every CPU-monitor sensor.
std::int32_t& forceUpdateTime() {
  static std::int32_t time = 0;
  return time;
}

// The time of day in whole seconds, as the driver stamps its records (wrapping in 32 bits).
std::uint32_t timeOfDaySeconds() {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(Clock::current().now())));
}

bool hasDriverProperties(const ZORIORegistryEntry& entry) {
  return entry.hasValueWithName(ZORTALVEROx86Monitor::kBrandProperty) &&
         entry.hasValueWithName(ZORTALVEROx86Monitor::kSignatureProperty) &&
         entry.hasValueWithName(ZORTALVEROx86Monitor::kStatusProperty);
}

// The driver services, in registry order.
ZORIORegistryEntryList driverServices() {
  auto services =
      ZORIORegistryEntry::serviceObjectsMatchingName(ZORTALVEROx86Monitor::kDriverClassName);
  return services ? std::move(*services) : ZORIORegistryEntryList();
}

// The block of the first driver service whose "CPUStatus" is a data value;
// nothing when there is none or that block is incomplete.
std::optional<CPUStatusBlock> firstDriverStatusBlock() {
  for (const auto& entry : driverServices()) {
    std::optional<PlistDictionary> properties = entry->properties();
    if (!properties) continue;
    auto it = properties->find(ZORTALVEROx86Monitor::kStatusProperty);
    if (it == properties->end() || !it->second.isData()) continue;
    return CPUStatusBlock::fromValue(&it->second);
  }
  return std::nullopt;
}

std::shared_ptr<ZORTALVEROx86Monitor> makeMonitor() {
  return std::make_shared<ZORTALVEROx86Monitor>();
}

bool isWhitespace(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

ZORTALVEROx86Monitor::~ZORTALVEROx86Monitor() = default;

// --- Class operations --------------------------------------------------------

const ZORTALVEROx86MonitorClass& ZORTALVEROx86Monitor::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86Monitor", &ZORTALVEROx86Monitor::allSensors},
      &makeMonitor,
      &ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString};
  return object;
}

void ZORTALVEROx86Monitor::load() {
  ZORSensor::registerSensorClass(monitorClassObject().sensorClass);
}

void ZORTALVEROx86Monitor::startRefreshClock() {
  forceUpdateTime() = static_cast<std::int32_t>(timeOfDaySeconds());
}

std::int32_t ZORTALVEROx86Monitor::nextForceUpdateTime() {
  return forceUpdateTime();
}

std::optional<CPUStatusBlock> ZORTALVEROx86Monitor::statusBlockOfEntry(
    const ZORIORegistryEntry& entry) {
  // Read afresh (the driver may have replaced the block since the last look),
  // and only the block: the entry's other properties are not needed here.
  if (entry.ioKitHandle() == 0) return std::nullopt;
  std::optional<PlistValue> block =
      iokit::IORegistryEntryCreateCFProperty(entry.ioKitHandle(), kStatusProperty);
  if (!block) return std::nullopt;
  return CPUStatusBlock::fromValue(&*block);
}

bool ZORTALVEROx86Monitor::isDriverLoaded() {
  for (const auto& entry : driverServices()) {
    if (hasDriverProperties(*entry)) return true;
  }
  return false;
}

std::uint32_t ZORTALVEROx86Monitor::versionCodeOfRunningDriver() {
  auto block = firstDriverStatusBlock();
  return block ? block->driverVersion() : 0;
}

bool ZORTALVEROx86Monitor::systemIsAffectedByErratumAE18() {
  auto block = firstDriverStatusBlock();
  return block && block->hasFlag(CPUStatusBlock::kAffectedByErratumAE18);
}

bool ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString(
    const std::string& /*brand*/) {
  return true;
}

const ZORTALVEROx86MonitorClass* ZORTALVEROx86Monitor::classImplementingCPUMonitoringForSignature(
    std::uint32_t signature) {
  const std::string name = formatString("ZORTALVEROx86MonitorCPU%u", signature & ~0xFu);
  if (const ZORTALVEROx86MonitorClass* variant = ZORTALVEROx86MonitorClass::variantNamed(name)) {
    return variant;
  }
  SystemLog::writeFormat(
      "WARNING: The current implementation has no specific code to support CPUs with signature "
      "%u!\n",
      signature);
  return nullptr;
}

std::vector<std::shared_ptr<ZORSensor>> ZORTALVEROx86Monitor::allSensors() {
  std::vector<std::shared_ptr<ZORSensor>> sensors;
  for (const auto& entry : driverServices()) {
    if (!hasDriverProperties(*entry)) continue;
    auto block = statusBlockOfEntry(*entry);
    if (!block || block->driverVersion() <= kLastUnsupportedDriverVersion) continue;
    const auto signature = static_cast<std::uint32_t>(entry->intValueWithName(kSignatureProperty));
    const ZORTALVEROx86MonitorClass* variant =
        classImplementingCPUMonitoringForSignature(signature);
    if (variant == nullptr || !block->hasFlag(CPUStatusBlock::kTemperaturesReadable)) continue;
    // The block's length bounds coreCount, so this loop is as long as the block allows.
    const auto total = static_cast<std::int32_t>(block->coreCount());
    for (std::uint32_t i = 0; i < block->coreCount(); ++i) {
      if (auto sensor = temperatureSensor(*variant, entry, static_cast<std::int32_t>(i), total)) {
        sensors.push_back(std::move(sensor));
      }
    }
  }
  return sensors;
}

std::shared_ptr<ZORTALVEROx86Monitor> ZORTALVEROx86Monitor::temperatureSensor(
    const ZORTALVEROx86MonitorClass& monitorClass, const std::shared_ptr<ZORIORegistryEntry>& entry,
    std::int32_t index, std::int32_t totalCount) {
  auto sensor = monitorClass.make();
  if (!sensor || !sensor->initAsTemperatureSensorWithIORegistryEntry(entry, index, totalCount)) {
    return nullptr;
  }
  return sensor;
}

std::shared_ptr<ZORTALVEROx86Monitor> ZORTALVEROx86Monitor::frequencySensor(
    const ZORTALVEROx86MonitorClass& monitorClass,
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  auto sensor = monitorClass.make();
  if (!sensor || !sensor->initAsFrequencySensorWithIORegistryEntry(entry)) return nullptr;
  return sensor;
}

// --- Initialisers ------------------------------------------------------------

bool ZORTALVEROx86Monitor::adoptEntry(const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!entry || !hasDriverProperties(*entry)) return false;
  driverEntry_ = entry;
  cpuSignature_ = static_cast<std::uint32_t>(entry->intValueWithName(kSignatureProperty));
  return true;
}

bool ZORTALVEROx86Monitor::initAsTemperatureSensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry, std::int32_t forIndex,
    std::int32_t totalCount) {
  if (!adoptEntry(entry)) return false;
  cpuIndex_ = forIndex;
  auto block = statusBlockOfEntry(*entry);
  if (!block) return false;
  status_ = block->hasFlag(CPUStatusBlock::kLowJunctionLimit) ? 1 : 0;

  const auto number = static_cast<std::uint32_t>(forIndex);
  setUniqueIdentifier(formatString("talvero.dts.%u", number));
  // Two digits from ten cores on, so that the locations sort in core order.
  setLocationIdentifier(totalCount < 10 ? formatString("CPU Core %u", number + 1)
                                        : formatString("CPU Core %02u", number + 1));
  setSensorName(cpuBrand());
  setSensorType(1);
  setQuantityType(kTemperatureQuantity);
  setPrecision(1.0, 0.0);
  return true;
}

bool ZORTALVEROx86Monitor::initAsFrequencySensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!adoptEntry(entry)) return false;
  if (cpuFamily() != 6 || cpuModel() <= 13) return false;
  if (cpuModel() == 14) {
    status_ = 0;
  } else {
    auto block = statusBlockOfEntry(*entry);
    if (!block) return false;
    // Core 0 gives the maximum ratio when it says so; a block without cores gives nothing.
    auto core0 = block->record(0);
    if (!core0) return false;
    const std::uint64_t performance = core0->performanceStatus;
    status_ = (performance & (std::uint64_t{1} << 31)) != 0
                  ? static_cast<std::uint8_t>((performance >> 40) & 0x1F)
                  : static_cast<std::uint8_t>(busRatio(block->platformInfo()));
  }
  setUniqueIdentifier("talvero.ia32.frequency");
  setLocationIdentifier("CPU Clock Frequency");
  setSensorName(cpuBrand());
  setSensorType(1);
  setQuantityType(kFrequencyQuantity);
  setPrecision(0.0001, 0.0001);
  return true;
}

// --- Readings ----------------------------------------------------------------

std::shared_ptr<ZORSensorValueConverter> ZORTALVEROx86Monitor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(1);
  converter->setLinearFactor(1.0 / 65536.0);
  return converter;
}

std::int32_t ZORTALVEROx86Monitor::rawValue() {
  const std::uint32_t now = timeOfDaySeconds();
  const auto signedNow = static_cast<std::int32_t>(now);
  if (signedNow >= forceUpdateTime()) {
    if (driverEntry_) {
      // The driver refreshes "CPUStatus" on this write; its answer does not matter.
      iokit::IORegistryEntrySetCFProperty(driverEntry_->ioKitHandle(), kForceUpdateProperty,
                                          PlistValue::boolean(false));
    }
    forceUpdateTime() = static_cast<std::int32_t>(now + 1u);
  }

  if (!driverEntry_) return -1;
  auto block = statusBlockOfEntry(*driverEntry_);
  if (!block) return -1;

  std::optional<CPUCoreStatusRecord> record;
  if (cpuIndex_ == -1) {
    // The frequency follows the most recently refreshed core; ties go to the lower index.
    std::uint32_t newest = 0;
    for (std::uint32_t i = 0; i < block->coreCount(); ++i) {
      auto candidate = block->record(i);
      if (candidate->updateTime > newest) {
        newest = candidate->updateTime;
        record = candidate;
      }
    }
    if (!record) return -1;
  } else {
    const std::uint32_t elapsed = now - timeStampOfLastAccess_;
    timeStampOfLastAccess_ = now;
    record = block->record(cpuIndex_);
    if (!record) return -1;
    // The driver refreshes every core in turn, so the accepted age grows with
    // the core count and with the time since this sensor last looked.
    const std::uint32_t limit = elapsed * block->coreCount() * kStalenessSecondsPerCore;
    if (limit != 0 && now - record->updateTime > limit) return -1;
  }

  switch (quantityType()) {
    case kTemperatureQuantity: {
      const std::int32_t celsius = temperatureForStatusRecord(record);
      if (celsius == 0) return -1;
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(celsius) << 16);
    }
    case kFrequencyQuantity: {
      const double megahertz = frequencyForStatusRecord(record);
      if (megahertz == 0.0) return -1;
      const double fixed = std::trunc(megahertz * 65536.0);
      // Outside 32 bits (or not a number) there is no honest reading to give.
      if (!(fixed >= std::numeric_limits<std::int32_t>::min() &&
            fixed <= std::numeric_limits<std::int32_t>::max())) {
        return -1;
      }
      return static_cast<std::int32_t>(fixed);
    }
    case kInformationQuantity:
      if (record->thermalReading == 0) return -1;
      return record->thermalReading <= 9 ? 65536 : 0;
    default:
      return -1;
  }
}

std::string ZORTALVEROx86Monitor::unit() const {
  switch (quantityType()) {
    case kTemperatureQuantity:
      return "C";
    case kFrequencyQuantity:
      return "MHz";
    default:
      return "";
  }
}

// --- Processor facts ---------------------------------------------------------

std::string ZORTALVEROx86Monitor::cpuBrand() const {
  if (!driverEntry_) return "";
  return driverEntry_->stringValueWithName(kBrandProperty).value_or("");
}

std::optional<std::string> ZORTALVEROx86Monitor::cpuDisplayName() const {
  const std::string brand = cpuBrand();
  const std::size_t at = brand.find('@');
  if (at == std::string::npos) return std::nullopt;
  std::size_t begin = 0;
  std::size_t end = at;
  while (begin < end && isWhitespace(brand[begin])) ++begin;
  while (end > begin && isWhitespace(brand[end - 1])) --end;
  const std::string trimmed = brand.substr(begin, end - begin);
  // A single word (no whitespace after the first character) has no display name.
  for (std::size_t i = trimmed.size(); i-- > 1;) {
    if (isWhitespace(trimmed[i])) return trimmed.substr(i + 1);
  }
  return std::nullopt;
}

std::uint8_t ZORTALVEROx86Monitor::extendedFamiliyID() const {
  return static_cast<std::uint8_t>((cpuSignature_ & 0xFF00000u) >> 20);
}

std::uint8_t ZORTALVEROx86Monitor::extendedModelID() const {
  return static_cast<std::uint8_t>((cpuSignature_ & 0xF0000u) >> 16);
}

std::uint8_t ZORTALVEROx86Monitor::cpuFamily() const {
  const auto family = static_cast<std::uint8_t>((cpuSignature_ & 0xF00u) >> 8);
  return family < 15 ? family : static_cast<std::uint8_t>(extendedFamiliyID() + 15);
}

std::uint8_t ZORTALVEROx86Monitor::cpuModel() const {
  const auto family = static_cast<std::uint8_t>((cpuSignature_ & 0xF00u) >> 8);
  const auto model = static_cast<std::uint8_t>((cpuSignature_ & 0xF0u) >> 4);
  if (family == 6 || family == 15) return static_cast<std::uint8_t>(extendedModelID() * 16 + model);
  return model;
}

std::uint8_t ZORTALVEROx86Monitor::cpuStepping() const {
  return static_cast<std::uint8_t>(cpuSignature_ & 0xFu);
}

std::optional<std::string> ZORTALVEROx86Monitor::unifiedSensorLocation() const {
  if (quantityType() != kTemperatureQuantity) return std::nullopt;
  return formatString("%s:%s", "T", locationIdentifierRef().c_str());
}

std::uint8_t ZORTALVEROx86Monitor::maximumJunctionTemperature() const {
  return status_ != 0 ? 85 : 100;
}

std::int32_t ZORTALVEROx86Monitor::temperatureForStatusRecord(
    const std::optional<CPUCoreStatusRecord>& record) const {
  if (!record || record->thermalReading == 0) return 0;
  // Wrapping, so that a wild reading cannot overflow a signed subtraction.
  return static_cast<std::int32_t>(std::uint32_t{maximumJunctionTemperature()} -
                                   static_cast<std::uint32_t>(record->thermalReading));
}

double ZORTALVEROx86Monitor::frequencyForStatusRecord(
    const std::optional<CPUCoreStatusRecord>& /*record*/) const {
  return 0.0;
}

std::optional<std::vector<std::int32_t>> ZORTALVEROx86Monitor::sensorLimitsArray() const {
  return std::nullopt;
}

SensorLimits ZORTALVEROx86Monitor::hardwareLimits() const {
  if (quantityType() != kTemperatureQuantity) return {};
  const double junctionLimit = maximumJunctionTemperature();
  if (junctionLimit <= 0) return {};
  return {junctionLimit, junctionLimit};
}

std::optional<std::vector<std::uint64_t>> ZORTALVEROx86Monitor::turboBoostFrequenciesArray() const {
  return std::nullopt;
}

std::optional<std::vector<std::int32_t>> ZORTALVEROx86Monitor::junctionLimitsArray() const {
  if (quantityType() != kTemperatureQuantity) return std::nullopt;
  return std::vector<std::int32_t>{maximumJunctionTemperature(), 0};
}

}  // namespace zor
