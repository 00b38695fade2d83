#pragma once
// The CPU-monitor sensor of processors with signature 67296 (family 6, model
// 30): the rules of signature 67232. Found by class name during discovery.

#include "cpu/ZORTALVEROx86MonitorCPU67232.h"

namespace zor {

class ZORTALVEROx86MonitorCPU67296 : public ZORTALVEROx86MonitorCPU67232 {
 public:
  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  const ZORTALVEROx86MonitorClass& monitorClass() const override { return monitorClassObject(); }
};

}  // namespace zor
