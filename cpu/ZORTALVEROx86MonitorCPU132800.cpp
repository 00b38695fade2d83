#include "cpu/ZORTALVEROx86MonitorCPU132800.h"

namespace zor {

const ZORTALVEROx86MonitorClass& ZORTALVEROx86MonitorCPU132800::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86MonitorCPU132800", &ZORTALVEROx86Monitor::allSensors},
      []() -> std::shared_ptr<ZORTALVEROx86Monitor> {
        return std::make_shared<ZORTALVEROx86MonitorCPU132800>();
      },
      &ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString};
  return object;
}

}  // namespace zor
