#include "platform/DriverBehaviourTable.h"

#include "platform/linux/HwmonDriverBehaviour.h"
#include "platform/simulated/ATASMARTDriverBehaviour.h"
#include "platform/simulated/CPUMonitorDriverBehaviour.h"
#include "platform/simulated/HIDIdleDriverBehaviour.h"
#include "platform/simulated/LivePropertyDriverBehaviour.h"
#include "platform/simulated/SMCDriverBehaviour.h"
#include "platform/simulated/SensorDriverBehaviour.h"

namespace zor {
namespace {

// One row per driver. Drivers that serve their own keys come before "Wave",
// which they may use as well; "Wave" alone makes a hardware sensor service.
constexpr DriverBehaviourRow kRows[] = {
    {"ATASMART", &ATASMARTDriverBehaviour::make},
    {"CPUMonitor", &CPUMonitorDriverBehaviour::make},
    {"SMCKeys", &SMCDriverBehaviour::make},
    {"HIDIdle", &HIDIdleDriverBehaviour::make},
    {"LiveProperties", &LivePropertyDriverBehaviour::make},
    {"Wave", &SensorDriverBehaviour::make},
    // Live drivers of the running Linux machine.
    {"HwmonInput", &HwmonDriverBehaviour::make},
};

}  // namespace

std::span<const DriverBehaviourRow> driverBehaviourTable() {
  return kRows;
}

std::unique_ptr<DriverBehaviour> makeDriverBehaviour(const DriverSettings& settings,
                                                     std::string* error) {
  for (const DriverBehaviourRow& row : driverBehaviourTable()) {
    if (settings.find(row.key) != nullptr) return row.factory(settings, error);
  }
  return std::make_unique<DriverBehaviour>(settings);
}

}  // namespace zor
