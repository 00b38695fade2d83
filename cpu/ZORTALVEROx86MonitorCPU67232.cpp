#include "cpu/ZORTALVEROx86MonitorCPU67232.h"

#include "platform/SystemLog.h"
#include "registry/ZORIORegistryEntry.h"

namespace zor {
namespace {

// Used when the driver could not read the processor's temperature target.
constexpr std::uint8_t kFallbackJunctionLimit = 100;

}  // namespace

const ZORTALVEROx86MonitorClass& ZORTALVEROx86MonitorCPU67232::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86MonitorCPU67232", &ZORTALVEROx86Monitor::allSensors},
      []() -> std::shared_ptr<ZORTALVEROx86Monitor> {
        return std::make_shared<ZORTALVEROx86MonitorCPU67232>();
      },
      &ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString};
  return object;
}

bool ZORTALVEROx86MonitorCPU67232::initAsTemperatureSensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry, std::int32_t forIndex,
    std::int32_t totalCount) {
  if (!ZORTALVEROx86Monitor::initAsTemperatureSensorWithIORegistryEntry(entry, forIndex,
                                                                        totalCount)) {
    return false;
  }
  auto block = statusBlockOfEntry(*entry);
  if (!block) return false;
  if (block->hasFlag(CPUStatusBlock::kJunctionLimitValid)) {
    tJMax_ = block->junctionTemperatureLimit();
  } else {
    SystemLog::writeFormat(
        "%s: WARNING: could not determine temperature target (processor core %d)!\n",
        monitorClass().name().c_str(), forIndex);
    tJMax_ = kFallbackJunctionLimit;
  }
  return true;
}

std::optional<std::vector<std::uint64_t>> ZORTALVEROx86MonitorCPU67232::turboBoostFrequenciesArray()
    const {
  if (!driverEntry()) return std::nullopt;
  auto block = statusBlockOfEntry(*driverEntry());
  if (!block || !block->hasFlag(CPUStatusBlock::kTurboRatioLimitsValid)) return std::nullopt;
  std::uint64_t ratios = block->turboRatioLimits();
  const std::uint32_t count = maxTurboBoostCoreCount();
  std::vector<std::uint64_t> frequencies;
  frequencies.reserve(count);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint64_t ratio = ratios & 0xFF;
    if (ratio != 0) frequencies.push_back(turboBoostBaseFrequency() * ratio);
    ratios >>= 8;
  }
  return frequencies;
}

}  // namespace zor
