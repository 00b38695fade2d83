#pragma once
// The hardware registry and driver services of a machine: the
// "Registry" (service plane) and "DeviceTree" trees of a machine's
// description, whichever backend wrote it,
// served through the IOKitBackend interface. Every handle it hands out
// carries a counted reference; outstandingReferences() tells tests what has
// not been given back (handles, iterators, open connections, plug-ins).
// A handle whose references are all given back is no longer valid.
// Built by Machine; tests may reach entries and swap behaviours.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/IOKitBackend.h"
#include "platform/MachineEntry.h"
#include "platform/PropertyList.h"
#include "platform/ReferenceLedger.h"
#include "platform/UserClientConnection.h"

namespace zor {

class MachineRegistry final : public iokit::IOKitBackend {
 public:
  // Builds both trees from a profile's root dictionary. Null and a reason
  // naming the entry when a structure key has the wrong type or a driver's
  // settings are malformed; nothing is half-built.
  static std::shared_ptr<MachineRegistry> build(const PlistDictionary& profile, std::string* error);

  std::int64_t outstandingReferences() const { return ledger_->outstanding(); }
  std::size_t openConnectionCount() const { return connections_.size(); }
  // Structure calls made through open connections, for cost checks.
  std::uint64_t structureCallCount() const { return structureCalls_; }

  MachineEntry* serviceRoot() const { return serviceRoot_.get(); }
  MachineEntry* deviceTreeRoot() const { return deviceTreeRoot_.get(); }
  // The entry behind a handle, without touching its references; null if none.
  MachineEntry* entryForHandle(iokit::io_object_t handle) const;
  // The first service-plane entry, in registry order, named `name`; null if none.
  MachineEntry* findEntryNamed(const std::string& name) const;
  // References now held on a handle (0 for an unknown one).
  std::uint32_t referenceCount(iokit::io_object_t handle) const;

  // IOKitBackend
  iokit::kern_return_t getMatchingServices(const PlistDictionary& matching,
                                           iokit::io_iterator_t* iterator) override;
  iokit::io_object_t iteratorNext(iokit::io_iterator_t iterator) override;
  iokit::kern_return_t objectRetain(iokit::io_object_t object) override;
  iokit::kern_return_t objectRelease(iokit::io_object_t object) override;
  iokit::io_registry_entry_t entryFromPath(const std::string& planeAndPath) override;
  iokit::kern_return_t getParentEntry(iokit::io_registry_entry_t entry, const std::string& plane,
                                      iokit::io_registry_entry_t* parent) override;
  iokit::kern_return_t getChildEntry(iokit::io_registry_entry_t entry, const std::string& plane,
                                     iokit::io_registry_entry_t* child) override;
  iokit::kern_return_t createProperties(iokit::io_registry_entry_t entry,
                                        PlistDictionary* properties) override;
  std::optional<PlistValue> createProperty(iokit::io_registry_entry_t entry,
                                           const std::string& key) override;
  iokit::kern_return_t setProperty(iokit::io_registry_entry_t entry, const std::string& key,
                                   const PlistValue& value) override;
  iokit::kern_return_t serviceOpen(iokit::io_service_t service, std::uint32_t type,
                                   iokit::io_connect_t* connection) override;
  iokit::kern_return_t serviceClose(iokit::io_connect_t connection) override;
  iokit::kern_return_t callStructureMethod(iokit::io_connect_t connection, std::uint32_t selector,
                                           std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output,
                                           std::size_t* outputSize) override;
  iokit::kern_return_t createPlugInInterface(iokit::io_service_t service,
                                             const iokit::CFUUIDBytes& pluginType,
                                             const iokit::CFUUIDBytes& interfaceType,
                                             iokit::IOCFPlugInInterface** plugIn,
                                             std::int32_t* score) override;
  iokit::kern_return_t destroyPlugInInterface(iokit::IOCFPlugInInterface* plugIn) override;

 private:
  MachineRegistry();
  struct Iterator {
    std::vector<MachineEntry*> services;
    std::size_t next = 0;
  };
  // A live object behind a handle: an entry, an iterator or a connection.
  struct HandleRecord {
    std::uint32_t references = 0;
    MachineEntry* entry = nullptr;
    std::unique_ptr<Iterator> iterator;
  };

  iokit::io_object_t newHandle();
  // Adds one reference on a handle (entries only) and returns it.
  iokit::io_object_t handOut(MachineEntry& entry);
  MachineEntry* liveEntry(iokit::io_object_t handle) const;
  void indexTree(MachineEntry& root, std::vector<MachineEntry*>* order);

  std::shared_ptr<ReferenceLedger> ledger_;
  std::unique_ptr<MachineEntry> serviceRoot_;
  std::unique_ptr<MachineEntry> deviceTreeRoot_;
  std::vector<MachineEntry*> serviceOrder_;  // document order
  std::map<iokit::io_object_t, HandleRecord> handles_;
  std::map<iokit::io_connect_t, std::unique_ptr<UserClientConnection>> connections_;
  std::map<iokit::IOCFPlugInInterface*, MachineEntry*> plugIns_;
  iokit::io_object_t nextHandle_ = 0x1003;
  std::uint64_t structureCalls_ = 0;
};

}  // namespace zor
