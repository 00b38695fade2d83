#include "platform/simulated/HIDIdleDriverBehaviour.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/Clock.h"
#include "platform/MachineEntry.h"

namespace zor {

namespace {
constexpr const char* kIdleTime = "HIDIdleTime";
}  // namespace

HIDIdleDriverBehaviour::HIDIdleDriverBehaviour(DriverSettings settings, double inputEverySeconds)
    : DriverBehaviour(std::move(settings)), inputEverySeconds_(inputEverySeconds) {}

std::unique_ptr<DriverBehaviour> HIDIdleDriverBehaviour::make(const DriverSettings& settings,
                                                              std::string* error) {
  const PlistValue* idle = settings.find("HIDIdle");
  if (idle == nullptr) return std::make_unique<DriverBehaviour>(settings);
  const PlistValue* every = idle->find("InputEverySeconds");
  std::optional<double> seconds;
  if (every != nullptr && (every->isInteger() || every->isReal())) seconds = every->realValue();
  // A period of zero would divide by zero; an endless one would overflow the counter.
  if (!seconds || !std::isfinite(*seconds) || !(*seconds > 0) || *seconds > 1.0e9) {
    if (error) *error = "\"HIDIdle\" needs a number \"InputEverySeconds\" between 0 and 1e9";
    return nullptr;
  }
  return std::make_unique<HIDIdleDriverBehaviour>(settings, *seconds);
}

void HIDIdleDriverBehaviour::propertiesWillBeRead(MachineEntry& entry) {
  auto it = entry.properties().find(kIdleTime);
  if (it == entry.properties().end()) return;
  double now = Clock::current().now();
  double sinceInput = std::fmod(now, inputEverySeconds_);
  if (sinceInput < 0) sinceInput += inputEverySeconds_;
  auto nanoseconds = static_cast<std::uint64_t>(sinceInput * 1.0e9);
  PlistValue& value = it->second;
  if (value.isInteger()) {
    value = PlistValue::unsignedInteger(nanoseconds);
  } else if (value.isData() && value.asData()->size() == sizeof nanoseconds) {
    PlistData bytes(sizeof nanoseconds);
    std::memcpy(bytes.data(), &nanoseconds, sizeof nanoseconds);
    value = PlistValue(std::move(bytes));
  }
}

}  // namespace zor
