#include "platform/simulated/CPUMonitorDriverBehaviour.h"

#include <cmath>
#include <limits>
#include <optional>

#include "platform/Clock.h"
#include "platform/MachineEntry.h"

namespace zor {
namespace {

constexpr const char* kMonitorKey = "CPUMonitor";
constexpr const char* kStatusProperty = "CPUStatus";
constexpr const char* kForceUpdateProperty = "ForceUpdate";
constexpr const char* kThermalReadingCurve = "thermalReading";

// The published block's layout.
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kCoreCountOffset = 4;
constexpr std::size_t kRecordSize = 36;
constexpr std::size_t kUpdateTimeOffset = 0;
constexpr std::size_t kThermalReadingOffset = 8;

std::uint32_t readUInt32LE(const PlistData& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

void writeUInt32LE(PlistData& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// The curve's value now as a whole signed 32-bit reading, clamped.
std::optional<std::int32_t> thermalReadingNow(const SimulatedWave& wave, std::uint32_t core) {
  std::optional<double> value =
      wave.valueNow(std::string(kThermalReadingCurve) + "." + std::to_string(core));
  if (!value) value = wave.valueNow(kThermalReadingCurve);
  if (!value) return std::nullopt;
  const double rounded = std::round(*value);
  if (rounded <= std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  if (rounded >= std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(rounded);
}

}  // namespace

std::unique_ptr<DriverBehaviour> CPUMonitorDriverBehaviour::make(const DriverSettings& settings,
                                                                 std::string* error) {
  const PlistValue* monitor = settings.find(kMonitorKey);
  if (monitor == nullptr || !monitor->isDictionary()) {
    if (error) {
      *error = std::string("\"CPUMonitor\" is a ") +
               plistTypeName(monitor ? monitor->type() : PlistValue::Type::None) +
               ", expected a dictionary";
    }
    return nullptr;
  }
  return std::make_unique<CPUMonitorDriverBehaviour>(settings);
}

iokit::kern_return_t CPUMonitorDriverBehaviour::setProperty(MachineEntry& entry,
                                                            const std::string& key,
                                                            const PlistValue& /*value*/) {
  if (key != kForceUpdateProperty) return iokit::kIOReturnUnsupported;
  ++forceUpdates_;
  auto it = entry.properties().find(kStatusProperty);
  if (it == entry.properties().end()) return iokit::kIOReturnSuccess;
  PlistValue& status = it->second;
  const PlistData* current = status.asData();
  if (current == nullptr || current->size() < kHeaderSize) return iokit::kIOReturnSuccess;

  PlistData bytes = *current;
  const std::uint32_t now =
      static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(Clock::current().now())));
  const std::uint32_t coreCount = readUInt32LE(bytes, kCoreCountOffset);
  // Only records that lie wholly inside the block are touched, whatever the header claims.
  const std::size_t fitting = (bytes.size() - kHeaderSize) / kRecordSize;
  for (std::uint32_t core = 0; core < coreCount && core < fitting; ++core) {
    const std::size_t record = kHeaderSize + kRecordSize * core;
    writeUInt32LE(bytes, record + kUpdateTimeOffset, now);
    if (auto reading = thermalReadingNow(settings().wave(), core)) {
      writeUInt32LE(bytes, record + kThermalReadingOffset, static_cast<std::uint32_t>(*reading));
    }
  }
  status = PlistValue(std::move(bytes));
  return iokit::kIOReturnSuccess;
}

}  // namespace zor
