#include "cpu/ZORTALVEROx86MonitorCPU67184.h"

#include "platform/UserDefaults.h"

namespace zor {
namespace {

constexpr const char* kXeonKey = "EnableCoreTempReadingsForXeon10670";
constexpr const char* kFrequencyKey = "EnableFrequencyReadingsForCPU10670";

}  // namespace

const ZORTALVEROx86MonitorClass& ZORTALVEROx86MonitorCPU67184::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86MonitorCPU67184", &ZORTALVEROx86Monitor::allSensors},
      []() -> std::shared_ptr<ZORTALVEROx86Monitor> {
        return std::make_shared<ZORTALVEROx86MonitorCPU67184>();
      },
      &ZORTALVEROx86MonitorCPU67184::isSupportingTemperatureSensingForBrandString};
  return object;
}

bool ZORTALVEROx86MonitorCPU67184::isSupportingTemperatureSensingForBrandString(
    const std::string& brand) {
  // Only the key's presence counts, whatever its value.
  if (UserDefaults::standard().hasKey(kXeonKey)) return true;
  return brand.find("Xeon") == std::string::npos;
}

bool ZORTALVEROx86MonitorCPU67184::initAsTemperatureSensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry, std::int32_t forIndex,
    std::int32_t totalCount) {
  if (!ZORTALVEROx86Monitor::initAsTemperatureSensorWithIORegistryEntry(entry, forIndex,
                                                                        totalCount)) {
    return false;
  }
  return monitorClass().isSupportingTemperatureSensingForBrandString(cpuBrand());
}

bool ZORTALVEROx86MonitorCPU67184::initAsFrequencySensorWithIORegistryEntry(
    const std::shared_ptr<ZORIORegistryEntry>& entry) {
  if (!UserDefaults::standard().hasKey(kFrequencyKey)) return false;
  return ZORTALVEROx86Monitor::initAsFrequencySensorWithIORegistryEntry(entry);
}

std::uint8_t ZORTALVEROx86MonitorCPU67184::maximumJunctionTemperature() const {
  // The status block's low-limit flag is not used for this family.
  const std::optional<std::string> name = cpuDisplayName();
  if (!name) return 105;
  for (const char* prefix : {"E7", "E8", "Q8", "Q9"}) {
    if (name->starts_with(prefix)) return 100;
  }
  if (*name == "QX9650") return 95;
  if (*name == "QX9770") return 85;
  return 105;
}

double ZORTALVEROx86MonitorCPU67184::frequencyForStatusRecord(
    const std::optional<CPUCoreStatusRecord>& record) const {
  if (!record) return 0.0;
  double ratio = busRatio(record->performanceStatus);
  if ((record->performanceStatus & (std::uint64_t{1} << 14)) != 0) ratio += 0.5;
  // Codes 0 to 6 only; the upper 32 bits of the code are not looked at. No
  // cap by the maximum ratio for this family.
  const auto code = static_cast<std::uint32_t>(record->busSpeedCode);
  if (code >= kBusClocks.size()) return 0.0;
  return ratio * kBusClocks[code];
}

}  // namespace zor
