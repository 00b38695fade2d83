#include "cpu/ZORTALVEROx86MonitorCPU67296.h"

namespace zor {

const ZORTALVEROx86MonitorClass& ZORTALVEROx86MonitorCPU67296::monitorClassObject() {
  static const ZORTALVEROx86MonitorClass object{
      {"ZORTALVEROx86MonitorCPU67296", &ZORTALVEROx86Monitor::allSensors},
      []() -> std::shared_ptr<ZORTALVEROx86Monitor> {
        return std::make_shared<ZORTALVEROx86MonitorCPU67296>();
      },
      &ZORTALVEROx86Monitor::isSupportingTemperatureSensingForBrandString};
  return object;
}

}  // namespace zor
