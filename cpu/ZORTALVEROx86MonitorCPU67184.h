#pragma once
// The CPU-monitor sensor of processors with signature 67184 (family 6, model
// 23): the junction limit follows the model's display name, the frequency
// knows half ratios and seven bus clocks, Xeon brands get core temperatures
// only when "EnableCoreTempReadingsForXeon10670" is set, and the frequency
// sensor exists only when "EnableFrequencyReadingsForCPU10670" is set (both
// by presence in the standard user defaults). Found by class name during
// discovery.

#include "cpu/ZORTALVEROx86Monitor.h"

namespace zor {

class ZORTALVEROx86MonitorCPU67184 : public ZORTALVEROx86Monitor {
 public:
  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  const ZORTALVEROx86MonitorClass& monitorClass() const override { return monitorClassObject(); }

  // Any brand while the Xeon key is present; otherwise brands without "Xeon".
  static bool isSupportingTemperatureSensingForBrandString(const std::string& brand);

  bool initAsTemperatureSensorWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry,
                                                  std::int32_t forIndex,
                                                  std::int32_t totalCount) override;
  bool initAsFrequencySensorWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry) override;

  // By display name: E7/E8/Q8/Q9... 100, QX9650 95, QX9770 85, anything else 105.
  std::uint8_t maximumJunctionTemperature() const override;
  double frequencyForStatusRecord(const std::optional<CPUCoreStatusRecord>& record) const override;
  std::optional<std::vector<std::int32_t>> sensorLimitsArray() const override {
    return junctionLimitsArray();
  }
};

}  // namespace zor
