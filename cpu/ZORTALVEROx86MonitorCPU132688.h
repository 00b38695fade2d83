#pragma once
// The CPU-monitor sensor of processors with signature 132688 (family 6, model
// 37): the rules of signature 67232, with turbo ratios for up to six
// active cores. Found by class name during discovery.

#include "cpu/ZORTALVEROx86MonitorCPU67232.h"

namespace zor {

class ZORTALVEROx86MonitorCPU132688 : public ZORTALVEROx86MonitorCPU67232 {
 public:
  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  const ZORTALVEROx86MonitorClass& monitorClass() const override { return monitorClassObject(); }

  std::uint32_t maxTurboBoostCoreCount() const override { return 6; }
};

}  // namespace zor
