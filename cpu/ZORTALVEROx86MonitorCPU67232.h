#pragma once
// The CPU-monitor sensor of processors with signature 67232 (family 6, model
// 26) and the base of the later families that share its rules: the junction
// limit is the temperature target the driver reads from the processor (100
// with a warning when the driver could not read it), and the turbo
// frequencies come from the turbo-ratio word of the status block. No
// frequency rule of its own: its frequency sensor never reads. Found by
// class name during discovery.

#include "cpu/ZORTALVEROx86Monitor.h"

namespace zor {

class ZORTALVEROx86MonitorCPU67232 : public ZORTALVEROx86Monitor {
 public:
  // `init`: the inherited one, then tJMax 0.
  ZORTALVEROx86MonitorCPU67232() = default;

  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  const ZORTALVEROx86MonitorClass& monitorClass() const override { return monitorClassObject(); }

  bool initAsTemperatureSensorWithIORegistryEntry(const std::shared_ptr<ZORIORegistryEntry>& entry,
                                                  std::int32_t forIndex,
                                                  std::int32_t totalCount) override;

  std::uint8_t maximumJunctionTemperature() const override { return tJMax_; }
  std::optional<std::vector<std::int32_t>> sensorLimitsArray() const override {
    return junctionLimitsArray();
  }
  // Hz, by rising active-core count; zero ratios are skipped. Nothing when
  // the block is gone or says its turbo ratios are not valid.
  std::optional<std::vector<std::uint64_t>> turboBoostFrequenciesArray() const override;

  // How many bytes of the turbo-ratio word are used.
  virtual std::uint32_t maxTurboBoostCoreCount() const { return 4; }
  // Hz per turbo ratio step.
  std::uint64_t turboBoostBaseFrequency() const { return 133333333; }

 private:
  std::uint8_t tJMax_ = 0;
};

}  // namespace zor
