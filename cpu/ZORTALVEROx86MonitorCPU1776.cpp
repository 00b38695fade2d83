#include "cpu/ZORTALVEROx86MonitorCPU1776.h"

namespace zor {

const ZORTALVEROx86MonitorClass& ZORTALVEROx86MonitorCPU1776::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86MonitorCPU1776", &ZORTALVEROx86Monitor::allSensors},
      []() -> std::shared_ptr<ZORTALVEROx86Monitor> {
        return std::make_shared<ZORTALVEROx86MonitorCPU1776>();
      },
      &ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString};
  return object;
}

double ZORTALVEROx86MonitorCPU1776::frequencyForStatusRecord(
    const std::optional<CPUCoreStatusRecord>& record) const {
  if (!record) return 0.0;
  const std::uint32_t ratio = busRatio(record->performanceStatus);
  if (ratio > maximumBusRatio()) return 0.0;
  // Codes 0 to 5 only; the upper 32 bits of the code are not looked at.
  const auto code = static_cast<std::uint32_t>(record->busSpeedCode);
  if (code > 5) return 0.0;
  return ratio * kBusClocks[code];
}

}  // namespace zor
