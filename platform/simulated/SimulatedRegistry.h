#pragma once
// The hardware registry and driver services of a simulated machine: the
// "Registry" (service plane) and "DeviceTree" trees of a machine profile,
// served through the IOKitBackend interface. Every handle it hands out
// carries a counted reference; outstandingReferences() tells tests what has
// not been given back (handles, iterators, open connections, plug-ins).
// A handle whose references are all given back is no longer valid.
// Built by SimulatedMachine; tests may reach entries and swap behaviours.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/IOKitBackend.h"
#include "platform/PropertyList.h"
#include "platform/simulated/ReferenceLedger.h"
#include "platform/simulated/SimulatedEntry.h"
#include "platform/simulated/UserClientConnection.h"

namespace zor {

class SimulatedRegistry final : public iokit::IOKitBackend {
 public:
  // Builds both trees from a profile's root dictionary. Null and a reason
  // naming the entry when a structure key has the wrong type or a driver's
  // settings are malformed; nothing is half-built.
  static std::shared_ptr<SimulatedRegistry> build(const PlistDictionary& profile,
                                                  std::string* error);

  std::int64_t outstandingReferences() const { return ledger_->outstanding(); }
  std::size_t openConnectionCount() const { return connections_.size(); }
  // Structure calls made through open connections, for cost checks.
  std::uint64_t structureCallCount() const { return structureCalls_; }

  SimulatedEntry* serviceRoot() const { return serviceRoot_.get(); }
  SimulatedEntry* deviceTreeRoot() const { return deviceTreeRoot_.get(); }
  // The entry behind a handle, without touching its references; null if none.
  SimulatedEntry* entryForHandle(iokit::io_object_t handle) const;
  // The first service-plane entry, in registry order, named `name`; null if none.
  SimulatedEntry* findEntryNamed(const std::string& name) const;
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
  SimulatedRegistry();
  struct Iterator {
    std::vector<SimulatedEntry*> services;
    std::size_t next = 0;
  };
  // A live object behind a handle: an entry, an iterator or a connection.
  struct HandleRecord {
    std::uint32_t references = 0;
    SimulatedEntry* entry = nullptr;
    std::unique_ptr<Iterator> iterator;
  };

  iokit::io_object_t newHandle();
  // Adds one reference on a handle (entries only) and returns it.
  iokit::io_object_t handOut(SimulatedEntry& entry);
  SimulatedEntry* liveEntry(iokit::io_object_t handle) const;
  void indexTree(SimulatedEntry& root, std::vector<SimulatedEntry*>* order);

  std::shared_ptr<ReferenceLedger> ledger_;
  std::unique_ptr<SimulatedEntry> serviceRoot_;
  std::unique_ptr<SimulatedEntry> deviceTreeRoot_;
  std::vector<SimulatedEntry*> serviceOrder_;  // document order
  std::map<iokit::io_object_t, HandleRecord> handles_;
  std::map<iokit::io_connect_t, std::unique_ptr<UserClientConnection>> connections_;
  std::map<iokit::IOCFPlugInInterface*, SimulatedEntry*> plugIns_;
  iokit::io_object_t nextHandle_ = 0x1003;
  std::uint64_t structureCalls_ = 0;
};

}  // namespace zor
