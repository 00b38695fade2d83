#pragma once
// The CPU-monitor sensor of processors with signature 1760 (family 6, model
// 14): the frequency comes from three bus clocks chosen by the whole 64-bit
// bus-speed code. Found by class name during discovery.

#include "cpu/ZORTALVEROx86Monitor.h"

namespace zor {

class ZORTALVEROx86MonitorCPU1760 : public ZORTALVEROx86Monitor {
 public:
  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  const ZORTALVEROx86MonitorClass& monitorClass() const override { return monitorClassObject(); }

  double frequencyForStatusRecord(const std::optional<CPUCoreStatusRecord>& record) const override;
  std::optional<std::vector<std::int32_t>> sensorLimitsArray() const override {
    return junctionLimitsArray();
  }
};

}  // namespace zor
