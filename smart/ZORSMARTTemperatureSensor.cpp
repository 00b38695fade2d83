#include "smart/ZORSMARTTemperatureSensor.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "registry/ZORIORegistryEntry.h"
#include "sensors/ZORSensorValueConverter.h"
#include "smart/ZORSMARTStorageDevice.h"

namespace zor {

namespace {

struct Diagnostics {
  bool debug = false;
  bool trace = false;
};

Diagnostics& diagnostics() {
  static Diagnostics flags;
  return flags;
}

std::shared_ptr<ZORIORegistryEntry>& keptHIDSystemEntry() {
  static std::shared_ptr<ZORIORegistryEntry> entry;
  return entry;
}

constexpr const char* kIdleTime = "HIDIdleTime";

// Replaces each "%@" of a localized format, in order, with the next argument;
// "%%" is a percent sign. Other characters, "%" included, stay as they are.
std::string fillObjectFormat(const std::string& format,
                             std::initializer_list<std::string_view> arguments) {
  std::string out;
  auto next = arguments.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() &&
        (format[i + 1] == '@' || format[i + 1] == '%')) {
      if (format[i + 1] == '%') {
        out += '%';
      } else if (next != arguments.end()) {
        out += *next++;
      }
      ++i;
      continue;
    }
    out += format[i];
  }
  return out;
}

std::int64_t wholeSecondsNow() {
  return static_cast<std::int64_t>(std::floor(Clock::current().now()));
}

}  // namespace

ZORSMARTTemperatureSensor::ZORSMARTTemperatureSensor() {
  setQuantityType(1);
}

ZORSMARTTemperatureSensor::~ZORSMARTTemperatureSensor() = default;

const ZORSensorClass& ZORSMARTTemperatureSensor::classObject() {
  static const ZORSensorClass object{"ZORSMARTTemperatureSensor",
                                     &ZORSMARTTemperatureSensor::allSensors};
  return object;
}

void ZORSMARTTemperatureSensor::load() {
  ZORSensor::registerSensorClass(classObject());
}

std::vector<std::shared_ptr<ZORSensor>> ZORSMARTTemperatureSensor::allSensors() {
  Diagnostics& flags = diagnostics();
  // Presence counts, not the value: a stored false switches the mode on too.
  flags.debug = UserDefaults::standard().hasKey("DebugSMARTAccess");
  flags.trace = UserDefaults::standard().hasKey("TraceSMARTTemperatures");
  if (flags.debug) {
    SystemLog::write("Enabled debug mode for S.M.A.R.T. temperature access ---\n");
    ZORSMARTStorageDevice::setDebugMode(true);
  }
  if (flags.trace) SystemLog::write("Enabled trace mode for S.M.A.R.T. temperature sensors ---\n");

  std::vector<std::shared_ptr<ZORSensor>> sensors;
  for (auto& device : ZORSMARTStorageDevice::allSMARTDevicesRestrictToTemperatureSupport(true)) {
    auto sensor = sensorWithSMARTStorageDevice(device);
    if (!sensor) continue;
    if (flags.debug) {
      SystemLog::writeFormat("   Sensor detected successfully: %s\n",
                             sensor->description().c_str());
    }
    sensors.push_back(std::move(sensor));
  }
  if (flags.debug) SystemLog::write("Analysis of S.M.A.R.T. temperature sensors completed ---\n");
  return sensors;
}

std::shared_ptr<ZORSMARTTemperatureSensor> ZORSMARTTemperatureSensor::sensorWithSMARTStorageDevice(
    std::shared_ptr<ZORSMARTStorageDevice> device) {
  auto sensor = std::make_shared<ZORSMARTTemperatureSensor>();
  if (!sensor->initWithSMARTStorageDevice(std::move(device))) return nullptr;
  return sensor;
}

bool ZORSMARTTemperatureSensor::initWithSMARTStorageDevice(
    std::shared_ptr<ZORSMARTStorageDevice> device) {
  if (!device) return false;
  std::int64_t now = wholeSecondsNow();
  temperatureCache_ = device->temperature();
  nextMinimumAccessTime_ = now + diskAccessInterval_;
  // A disk without a readable temperature gets no sensor.
  if (temperatureCache_ == -1) return false;
  smartDevice_ = std::move(device);
  std::string product = smartDevice_->productName();
  std::string serial = smartDevice_->serialNumber();
  setUniqueIdentifier("smart." + product + "." + serial);
  Bundle& main = Bundle::mainBundle();
  setLocationIdentifier(
      fillObjectFormat(main.localizedString("SMART Disk %@ (%@)", ""), {product, serial}));
  setSensorName(main.localizedString("S.M.A.R.T. Hard Disk Sensor", ""));
  setSensorType(1);
  setQuantityType(1);
  setPrecision(1.0, 0.0);
  if (diagnostics().trace) {
    SystemLog::writeFormat(
        "Tracing access to S.M.A.R.T. temperature values of device '%s', serial numer '%s'.\n",
        product.c_str(), serial.c_str());
  }
  return true;
}

std::shared_ptr<ZORSensorValueConverter> ZORSMARTTemperatureSensor::valueConverter() const {
  auto converter = std::make_shared<ZORSensorValueConverter>();
  converter->setConversionFunctionType(0);
  return converter;
}

void ZORSMARTTemperatureSensor::forgetHIDSystemEntry() {
  keptHIDSystemEntry().reset();
}

std::uint64_t ZORSMARTTemperatureSensor::userIdleTime() {
  std::shared_ptr<ZORIORegistryEntry>& kept = keptHIDSystemEntry();
  if (!kept) {
    auto entries = ZORIORegistryEntry::serviceObjectsMatchingName(std::string("IOHIDSystem"));
    std::size_t count = entries ? entries->size() : 0;
    if (count != 1) {
      SystemLog::writeFormat("Found %u entries for the HID subsystem, ignoring all...\n",
                             static_cast<unsigned>(count));
      return 0;
    }
    std::optional<PlistDictionary> properties = entries->front()->properties();
    auto it = properties ? properties->find(kIdleTime) : PlistDictionary::iterator();
    if (!properties || it == properties->end() || !(it->second.isNumber() || it->second.isData())) {
      return 0;
    }
    kept = entries->front();
  }
  std::optional<PlistDictionary> properties = kept->properties();
  if (!properties) return 0;
  auto it = properties->find(kIdleTime);
  if (it == properties->end()) return 0;
  const PlistValue& value = it->second;
  if (value.isNumber()) return static_cast<std::uint64_t>(value.integerValue().value_or(0));
  if (const PlistData* bytes = value.asData(); bytes != nullptr && bytes->size() == 8) {
    // The counter's own 8 bytes, in the machine's byte order.
    std::uint64_t nanoseconds = 0;
    std::memcpy(&nanoseconds, bytes->data(), sizeof nanoseconds);
    return nanoseconds;
  }
  SystemLog::writeFormat("HID subsystem entry does not contain expected class (is %s).\n",
                         plistTypeName(value.type()));
  return 0;
}

std::int32_t ZORSMARTTemperatureSensor::rawValue() {
  bool trace = diagnostics().trace;
  std::uint64_t idle = userIdleTime();
  if (idle != 0 && diskSaverInterval_ != 0) {
    double idleSeconds = static_cast<double>(idle) / 1.0e9;
    if (idleSeconds > diskSaverInterval_) {
      if (trace) {
        SystemLog::writeFormat(
            "*** rejecting access to S.M.A.R.T. value: disk saver is enabled (%f) and user was "
            "idle for (%f).\n",
            static_cast<double>(diskSaverInterval_), idleSeconds);
      }
      return -1;
    }
  }
  std::int64_t now = wholeSecondsNow();
  if (now < nextMinimumAccessTime_) return temperatureCache_;
  if (!smartDevice_) return -1;
  std::int32_t reading = smartDevice_->temperature();
  nextMinimumAccessTime_ = now + diskAccessInterval_;
  // In 64 bits: a raw counter taken as a temperature may lie anywhere in 32 bits.
  std::int64_t step = static_cast<std::int64_t>(reading) - temperatureCache_;
  bool suspect = reading == -1 || step > kTrustedTemperatureStep || -step > kTrustedTemperatureStep;
  if (suspect) {
    if (trace) {
      SystemLog::writeFormat(
          "*** S.M.A.R.T. device problem detected when accessing temperature sensor (%u "
          "retries):\n",
          static_cast<unsigned>(numberOfRetries_));
      if (reading == -1) {
        SystemLog::write(
            "*** Reason: the device did not return a value. Device error or bus access blocked.\n");
      } else {
        SystemLog::writeFormat("*** Reason: not trusting the value %d. Previous value was %d.\n",
                               reading, temperatureCache_);
      }
    }
    if (numberOfRetries_ < kMaximumRetries) {
      ++numberOfRetries_;
      // The next call reads the disk again at once.
      nextMinimumAccessTime_ = now;
      return temperatureCache_;
    }
  }
  numberOfRetries_ = 0;
  temperatureCache_ = reading;
  return reading;
}

}  // namespace zor
