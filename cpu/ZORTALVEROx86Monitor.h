#pragma once
// A sensor of an x86 processor watched by the CPU-monitoring kernel driver:
// one temperature sensor per core (from the core's digital thermal sensor
// reading, counted down from the junction temperature limit) and a clock
// frequency sensor, all read from the status block that the driver publishes
// as "CPUStatus" on its "com_talvero_driver_TALVEROx86Monitoring" service.
// Readings are 16.16 fixed point. This class holds the mechanism and the
// defaults; the rules of each processor family (junction limit, bus clock,
// turbo ratios) come from the variants, chosen by processor signature.
// Registered with the sensor-class registry by the plug-in load function;
// the widget controller reaches its sensors through ZORSensor::allSensors().
//
// Objects are made in two steps: the class object's make() (which runs
// `init`), then one of the bool init... initialisers, which variants
// override; the static factories do both and give null on failure.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cpu/CPUStatusBlock.h"
#include "cpu/ZORTALVEROx86MonitorClass.h"
#include "sensors/ZORSensor.h"

namespace zor {

class ZORIORegistryEntry;

class ZORTALVEROx86Monitor : public ZORSensor {
 public:
  // The driver's registry class and the properties read from and written to it.
  static constexpr const char* kDriverClassName = "com_talvero_driver_TALVEROx86Monitoring";
  static constexpr const char* kBrandProperty = "CPUBrand";
  static constexpr const char* kSignatureProperty = "CPUSignature";
  static constexpr const char* kStatusProperty = "CPUStatus";
  static constexpr const char* kForceUpdateProperty = "ForceUpdate";

  // `init`: no entry, cpuIndex -1, time stamp, signature and status 0.
  ZORTALVEROx86Monitor() = default;
  ~ZORTALVEROx86Monitor() override;

  // --- Class operations -----------------------------------------------------
  static const ZORTALVEROx86MonitorClass& monitorClassObject();
  // Class-load hook: registers the class with the sensor-class registry.
  static void load();
  // Class-load hook: starts the refresh clock (the next "ForceUpdate" may go out now).
  static void startRefreshClock();
  // Whole seconds from which the next "ForceUpdate" write may go out (all sensors share it).
  static std::int32_t nextForceUpdateTime();

  // The entry's status block as it is now; nothing when it is absent, no
  // data, or too short for what it announces.
  static std::optional<CPUStatusBlock> statusBlockOfEntry(const ZORIORegistryEntry& entry);
  static bool isDriverLoaded();
  // driverVersion of the first driver service with a readable status block; 0 when none.
  static std::uint32_t versionCodeOfRunningDriver();
  // statusFlags bit 2 of that same service; false when none.
  static bool systemIsAffectedByErratumAE18();
  // True: every brand is supported here; a variant may refuse brands.
  static bool isSupportingTemperatureSensingForBrandString(const std::string& brand);
  // The variant named "ZORTALVEROx86MonitorCPU%u" after the signature with its
  // stepping cleared; null and a warning line when there is none.
  static const ZORTALVEROx86MonitorClass* classImplementingCPUMonitoringForSignature(
      std::uint32_t signature);
  // One temperature sensor per core of every usable driver service.
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();

  // make() + initAsTemperatureSensorWithIORegistryEntry; null on failure.
  static std::shared_ptr<ZORTALVEROx86Monitor> temperatureSensor(
      const ZORTALVEROx86MonitorClass& monitorClass,
      const std::shared_ptr<ZORIORegistryEntry>& entry, std::int32_t index,
      std::int32_t totalCount);
  // make() + initAsFrequencySensorWithIORegistryEntry; null on failure.
  static std::shared_ptr<ZORTALVEROx86Monitor> frequencySensor(
      const ZORTALVEROx86MonitorClass& monitorClass,
      const std::shared_ptr<ZORIORegistryEntry>& entry);

  // --- Instance operations --------------------------------------------------
  // The class object of this object's class.
  virtual const ZORTALVEROx86MonitorClass& monitorClass() const { return monitorClassObject(); }
  const ZORSensorClass& sensorClass() const override { return monitorClass().sensorClass; }

  // Linear, factor 1/65536: readings have 16 fraction bits.
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  // Asks the driver for a refresh at most once per second (process-wide) and
  // reads this sensor's record; -1 when there is no reading.
  std::int32_t rawValue() override;
  // "C" for temperatures, "MHz" for the frequency, "" otherwise.
  std::string unit() const override;

  virtual bool initAsTemperatureSensorWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry, std::int32_t forIndex,
      std::int32_t totalCount);
  virtual bool initAsFrequencySensorWithIORegistryEntry(
      const std::shared_ptr<ZORIORegistryEntry>& entry);

  std::int32_t cpuIndex() const { return cpuIndex_; }
  std::uint32_t cpuSignature() const { return cpuSignature_; }
  std::uint32_t timeStampOfLastAccess() const { return timeStampOfLastAccess_; }
  const std::shared_ptr<ZORIORegistryEntry>& driverEntry() const { return driverEntry_; }
  // The driver's "CPUBrand", read afresh; "" when it is gone.
  std::string cpuBrand() const;
  // The word before the "@" of the brand ("Q9550"), or nothing.
  std::optional<std::string> cpuDisplayName() const;

  std::uint8_t extendedFamiliyID() const;
  std::uint8_t extendedModelID() const;
  std::uint8_t cpuFamily() const;
  std::uint8_t cpuModel() const;
  std::uint8_t cpuStepping() const;

  // "T:" and the location identifier for temperature sensors; nothing otherwise.
  std::optional<std::string> unifiedSensorLocation() const;
  // Degrees Celsius: 85 with the low-limit flag, else 100.
  virtual std::uint8_t maximumJunctionTemperature() const;
  std::uint8_t maximumBusRatio() const { return status_; }
  // Degrees Celsius; 0 when there is no record or no reading.
  std::int32_t temperatureForStatusRecord(const std::optional<CPUCoreStatusRecord>& record) const;
  // MHz; 0.0 (no reading) here.
  virtual double frequencyForStatusRecord(const std::optional<CPUCoreStatusRecord>& record) const;
  // The temperature limits (junction limit, then 0); nothing here.
  virtual std::optional<std::vector<std::int32_t>> sensorLimitsArray() const;
  // A core's temperature sensor: the junction limit, above which the core
  // throttles, as both upper and critical limit; none for the frequency sensor.
  SensorLimits hardwareLimits() const override;
  // Turbo frequencies in Hz by rising active-core count; nothing here.
  virtual std::optional<std::vector<std::uint64_t>> turboBoostFrequenciesArray() const;

 protected:
  // Bus clocks in MHz by bus-speed code; these decimal values exactly.
  static constexpr std::array<double, 7> kBusClocks = {266.67, 133.33, 200.0, 166.67,
                                                       333.33, 100.0,  400.0};

  // The limits rule the variants share: for temperatures {junction limit, 0}.
  std::optional<std::vector<std::int32_t>> junctionLimitsArray() const;
  // Bits 8..12 of a performance status word: the bus ratio.
  static std::uint32_t busRatio(std::uint64_t performanceStatus) {
    return static_cast<std::uint32_t>((performanceStatus >> 8) & 0x1F);
  }

 private:
  // Checks the entry and keeps it with its signature; false when the entry
  // lacks one of the three properties.
  bool adoptEntry(const std::shared_ptr<ZORIORegistryEntry>& entry);

  std::shared_ptr<ZORIORegistryEntry> driverEntry_;
  std::int32_t cpuIndex_ = -1;
  std::uint32_t timeStampOfLastAccess_ = 0;
  std::uint32_t cpuSignature_ = 0;
  // hasLowTjMaxValue for temperature sensors, maximumBusRatio for the frequency sensor.
  std::uint8_t status_ = 0;
};

}  // namespace zor
