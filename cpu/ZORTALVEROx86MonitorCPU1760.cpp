#include "cpu/ZORTALVEROx86MonitorCPU1760.h"

namespace zor {

const ZORTALVEROx86MonitorClass& ZORTALVEROx86MonitorCPU1760::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86MonitorCPU1760", &ZORTALVEROx86Monitor::allSensors},
      []() -> std::shared_ptr<ZORTALVEROx86Monitor> {
        return std::make_shared<ZORTALVEROx86MonitorCPU1760>();
      },
      &ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString};
  return object;
}

double ZORTALVEROx86MonitorCPU1760::frequencyForStatusRecord(
    const std::optional<CPUCoreStatusRecord>& record) const {
  if (!record) return 0.0;
  // The whole code counts: a code with any upper bit set names no clock.
  double clock = 0.0;
  switch (record->busSpeedCode) {
    case 3:
      clock = kBusClocks[3];
      break;
    case 5:
      clock = kBusClocks[5];
      break;
    case 1:
      clock = kBusClocks[1];
      break;
    default:
      return 0.0;
  }
  return busRatio(record->performanceStatus) * clock;
}

}  // namespace zor
