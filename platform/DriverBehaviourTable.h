#pragma once
// The table that maps a "ZORSimulation" key to the driver behaviour it
// stands for. An entry gets the behaviour of the first row (in table order)
// whose key its "ZORSimulation" dictionary has; an entry with none of them
// gets the plain DriverBehaviour. A new driver adds one row here and its own
// files; the registry code does not change. Used by MachineRegistry.

#include <memory>
#include <span>
#include <string>

#include "platform/DriverBehaviour.h"
#include "platform/DriverSettings.h"

namespace zor {

// Builds the behaviour from the entry's settings; null and a reason (which
// refuses the whole profile) when the driver's own keys are malformed.
using DriverBehaviourFactory = std::unique_ptr<DriverBehaviour> (*)(const DriverSettings& settings,
                                                                    std::string* error);

struct DriverBehaviourRow {
  const char* key;
  DriverBehaviourFactory factory;
};

std::span<const DriverBehaviourRow> driverBehaviourTable();

// The behaviour for one entry's settings, by the table; null and a reason on failure.
std::unique_ptr<DriverBehaviour> makeDriverBehaviour(const DriverSettings& settings,
                                                     std::string* error);

}  // namespace zor
