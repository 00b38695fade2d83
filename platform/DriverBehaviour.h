#pragma once
// The driver behind a registry entry, chosen from the entry's
// "ZORSimulation" dictionary by the table in DriverBehaviourTable.h. This base is
// the behaviour of an entry with no driver of its own: it opens no user
// client, creates no plug-in and refuses property writes. The registry checks
// "OpenError" before it asks the behaviour to open anything, so subclasses
// need not.
//
// Subclasses override what their driver does: the simulated drivers
// (platform/simulated) answer from the profile, the live ones (platform/linux)
// read the running machine.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/DriverSettings.h"
#include "platform/IOCFPlugInInterface.h"
#include "platform/IOKitTypes.h"
#include "platform/PropertyList.h"
#include "platform/UserClientConnection.h"

namespace zor {

class MachineEntry;

class DriverBehaviour {
 public:
  explicit DriverBehaviour(DriverSettings settings) : settings_(std::move(settings)) {}
  virtual ~DriverBehaviour() = default;

  const DriverSettings& settings() const { return settings_; }

  // Opens a user client of `type`; 0 and a connection on success.
  virtual iokit::kern_return_t openUserClient(MachineEntry& entry, std::uint32_t type,
                                              std::unique_ptr<UserClientConnection>* connection);
  // A property write (IORegistryEntrySetCFProperty) reaches the driver here;
  // the driver decides what changes.
  virtual iokit::kern_return_t setProperty(MachineEntry& entry, const std::string& key,
                                           const PlistValue& value);
  // Called before any property of the entry is read, so a driver can bring
  // its published values up to date.
  virtual void propertiesWillBeRead(MachineEntry& entry);
  // The "ZORSimulation" dictionary that replays this entry in a profile.
  // Simulated drivers are their settings; a live driver turns what it reads
  // into simulated keys (a fresh value as a property, "SMCKeys", ...), so a
  // machine written out as a profile replays what it showed.
  virtual PlistDictionary recordedSettings(MachineEntry& entry);
  // Creates a plug-in interface carrying one reference (count it in
  // entry.ledger() while it lives); 0 on success.
  virtual iokit::kern_return_t createPlugInInterface(MachineEntry& entry,
                                                     const iokit::CFUUIDBytes& pluginType,
                                                     const iokit::CFUUIDBytes& interfaceType,
                                                     iokit::IOCFPlugInInterface** plugIn,
                                                     std::int32_t* score);

 private:
  DriverSettings settings_;
};

}  // namespace zor
