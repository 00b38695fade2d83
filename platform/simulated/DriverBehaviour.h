#pragma once
// The driver behind a simulated registry entry, chosen from the entry's
// "ZORSimulation" dictionary by the table in DriverBehaviours.h. This base is
// the behaviour of an entry with no driver of its own: it opens no user
// client, creates no plug-in and refuses property writes. The registry checks
// "OpenError" before it asks the behaviour to open anything, so subclasses
// need not.
//
// Subclasses (the SMC, S.M.A.R.T., CPU-monitor and sensor drivers) override
// what their driver does.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/IOCFPlugInInterface.h"
#include "platform/IOKitTypes.h"
#include "platform/PropertyList.h"
#include "platform/simulated/SimulationSettings.h"
#include "platform/simulated/UserClientConnection.h"

namespace zor {

class SimulatedEntry;

class DriverBehaviour {
 public:
  explicit DriverBehaviour(SimulationSettings settings) : settings_(std::move(settings)) {}
  virtual ~DriverBehaviour() = default;

  const SimulationSettings& settings() const { return settings_; }

  // Opens a user client of `type`; 0 and a connection on success.
  virtual iokit::kern_return_t openUserClient(SimulatedEntry& entry, std::uint32_t type,
                                              std::unique_ptr<UserClientConnection>* connection);
  // A property write (IORegistryEntrySetCFProperty) reaches the driver here;
  // the driver decides what changes.
  virtual iokit::kern_return_t setProperty(SimulatedEntry& entry, const std::string& key,
                                           const PlistValue& value);
  // Called before any property of the entry is read, so a driver can bring
  // its published values up to date.
  virtual void propertiesWillBeRead(SimulatedEntry& entry);
  // Creates a plug-in interface carrying one reference (count it in
  // entry.ledger() while it lives); 0 on success.
  virtual iokit::kern_return_t createPlugInInterface(SimulatedEntry& entry,
                                                     const iokit::CFUUIDBytes& pluginType,
                                                     const iokit::CFUUIDBytes& interfaceType,
                                                     iokit::IOCFPlugInInterface** plugIn,
                                                     std::int32_t* score);

 private:
  SimulationSettings settings_;
};

}  // namespace zor
