#pragma once
// The CPU-monitor sensor of processors with signature 1776 (family 6, model
// 15): the frequency is the bus ratio times one of six bus clocks, and a
// ratio above the processor's maximum gives no reading. Found by class name
// during discovery.

#include "cpu/ZORTALVEROx86Monitor.h"

namespace zor {

class ZORTALVEROx86MonitorCPU1776 : public ZORTALVEROx86Monitor {
 public:
  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  const ZORTALVEROx86MonitorClass& monitorClass() const override { return monitorClassObject(); }

  double frequencyForStatusRecord(const std::optional<CPUCoreStatusRecord>& record) const override;
  std::optional<std::vector<std::int32_t>> sensorLimitsArray() const override {
    return junctionLimitsArray();
  }
};

}  // namespace zor
