#pragma once
// One entry of a machine's hardware registry, built from an entry
// dictionary of its description: its class names, name, properties (every key
// that is not structure), children in registry order, and the driver
// behaviour behind it. Owned by MachineRegistry; driver behaviours get it
// to read and change the entry's published properties.

#include <memory>
#include <string>
#include <vector>

#include "platform/DriverBehaviour.h"
#include "platform/IOKitTypes.h"
#include "platform/PropertyList.h"
#include "platform/ReferenceLedger.h"

namespace zor {

class MachineEntry {
 public:
  MachineEntry(std::string plane, std::string className, std::vector<std::string> superclasses,
               std::string name, PlistDictionary properties,
               std::shared_ptr<ReferenceLedger> ledger);

  const std::string& plane() const { return plane_; }
  const std::string& className() const { return className_; }
  const std::vector<std::string>& superclasses() const { return superclasses_; }
  // True when `name` is the entry's class or one of its superclasses, exactly.
  bool matchesClass(const std::string& name) const;
  const std::string& name() const { return name_; }

  PlistDictionary& properties() { return properties_; }
  const PlistDictionary& properties() const { return properties_; }

  MachineEntry* parent() const { return parent_; }
  const std::vector<std::unique_ptr<MachineEntry>>& children() const { return children_; }
  MachineEntry& addChild(std::unique_ptr<MachineEntry> child);

  iokit::io_registry_entry_t handle() const { return handle_; }
  void setHandle(iokit::io_registry_entry_t handle) { handle_ = handle; }

  DriverBehaviour& behaviour() const { return *behaviour_; }
  void setBehaviour(std::unique_ptr<DriverBehaviour> behaviour);

  ReferenceLedger& ledger() const { return *ledger_; }
  const std::shared_ptr<ReferenceLedger>& sharedLedger() const { return ledger_; }

 private:
  std::string plane_;
  std::string className_;
  std::vector<std::string> superclasses_;
  std::string name_;
  PlistDictionary properties_;
  MachineEntry* parent_ = nullptr;
  std::vector<std::unique_ptr<MachineEntry>> children_;
  iokit::io_registry_entry_t handle_ = 0;
  std::unique_ptr<DriverBehaviour> behaviour_;
  std::shared_ptr<ReferenceLedger> ledger_;
};

}  // namespace zor
