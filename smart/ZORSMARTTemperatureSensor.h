#pragma once
// The temperature of one accepted S.M.A.R.T. disk as a sensor. Reading a
// disk's S.M.A.R.T. data can wake a sleeping disk or load a busy bus, so the
// sensor shields the disk: it reads at most once per disk-access interval
// (60 s) and answers from its cache in between, it leaves the disk alone
// while the user has been idle longer than the disk-saver interval (off
// unless set), and it distrusts a reading that is missing or jumps by more
// than 15 degrees, answering the previous value for up to 11 such readings
// in a row. The user defaults "DebugSMARTAccess" and "TraceSMARTTemperatures"
// switch on its diagnostics by their presence. Registered with the sensor
// class registry by the plug-in load function; the widget reads it like any
// other sensor.
//
// Sensors are made in two steps (make_shared, then initWithSMARTStorageDevice);
// sensorWithSMARTStorageDevice does both and gives null on failure.

#include <cstdint>
#include <memory>
#include <vector>

#include "sensors/ZORSensor.h"

namespace zor {

class ZORIORegistryEntry;
class ZORSMARTStorageDevice;

class ZORSMARTTemperatureSensor : public ZORSensor {
 public:
  static constexpr std::uint32_t kDefaultDiskAccessInterval = 60;
  // Beyond this many degrees a new reading is not trusted at once.
  static constexpr std::int64_t kTrustedTemperatureStep = 15;
  // Suspect readings refused in a row before one is accepted anyway.
  static constexpr std::uint8_t kMaximumRetries = 11;

  // `init`: no device, access interval 60 s, disk saver off, no cached reading.
  ZORSMARTTemperatureSensor();
  ~ZORSMARTTemperatureSensor() override;

  static const ZORSensorClass& classObject();
  // Class-load hook: registers the family with the sensor class registry.
  static void load();
  // One sensor per accepted disk whose temperature reads now.
  static std::vector<std::shared_ptr<ZORSensor>> allSensors();
  // Drops the kept HID system entry, giving back its reference (tests, and
  // before the machine behind the registry goes away).
  static void forgetHIDSystemEntry();
  // The user's idle time from the HID system's idle counter, in nanoseconds; 0 when unknown.
  static std::uint64_t userIdleTime();

  static std::shared_ptr<ZORSMARTTemperatureSensor> sensorWithSMARTStorageDevice(
      std::shared_ptr<ZORSMARTStorageDevice> device);
  // Reads the disk's temperature once; false (no sensor) when there is no
  // device or its temperature cannot be read.
  bool initWithSMARTStorageDevice(std::shared_ptr<ZORSMARTStorageDevice> device);

  const ZORSensorClass& sensorClass() const override { return classObject(); }
  // Identity: raw values are whole degrees Celsius.
  std::shared_ptr<ZORSensorValueConverter> valueConverter() const override;
  std::int32_t rawValue() override;
  std::string unit() const override { return "C"; }

  const std::shared_ptr<ZORSMARTStorageDevice>& sourceDevice() const { return smartDevice_; }
  void setDiskAccessInterval(std::uint32_t seconds) { diskAccessInterval_ = seconds; }
  void setDiskSaverInterval(std::uint32_t seconds) { diskSaverInterval_ = seconds; }
  std::uint32_t diskAccessInterval() const { return diskAccessInterval_; }
  std::uint32_t diskSaverInterval() const { return diskSaverInterval_; }
  std::uint8_t numberOfRetries() const { return numberOfRetries_; }

 private:
  std::shared_ptr<ZORSMARTStorageDevice> smartDevice_;
  std::uint32_t diskAccessInterval_ = kDefaultDiskAccessInterval;
  // Whole seconds of the wall clock; 64 bits so the comparison survives 2038.
  std::int64_t nextMinimumAccessTime_ = 0;
  std::uint32_t diskSaverInterval_ = 0;
  std::int32_t temperatureCache_ = -1;
  std::uint8_t numberOfRetries_ = 0;
};

}  // namespace zor
