#pragma once
// What stands behind the hardware registry and driver calls of IOKit.h: the
// simulated machine (platform/simulated) or, later, the running machine. One
// backend is installed for the process; the free functions forward to it and
// fail (0, null or an error code) while none is installed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/IOCFPlugInInterface.h"
#include "platform/IOKitTypes.h"
#include "platform/PropertyList.h"

namespace zor::iokit {

class IOKitBackend {
 public:
  virtual ~IOKitBackend() = default;

  // The installed backend, or null.
  static IOKitBackend* current();
  // Installs a backend for the whole process; null removes it.
  static void setCurrent(std::shared_ptr<IOKitBackend> backend);
  // The installed backend as an owner. A handle belongs to the backend that
  // gave it out: holders keep a weak reference to it so they never release a
  // handle of a machine that is gone into the one installed since.
  static std::shared_ptr<IOKitBackend> currentShared();

  virtual kern_return_t getMatchingServices(const PlistDictionary& matching,
                                            io_iterator_t* iterator) = 0;
  virtual io_object_t iteratorNext(io_iterator_t iterator) = 0;
  virtual kern_return_t objectRetain(io_object_t object) = 0;
  virtual kern_return_t objectRelease(io_object_t object) = 0;
  // `planeAndPath` is the plane name, a colon and the path ("IODeviceTree:/rom").
  virtual io_registry_entry_t entryFromPath(const std::string& planeAndPath) = 0;
  virtual kern_return_t getParentEntry(io_registry_entry_t entry, const std::string& plane,
                                       io_registry_entry_t* parent) = 0;
  virtual kern_return_t getChildEntry(io_registry_entry_t entry, const std::string& plane,
                                      io_registry_entry_t* child) = 0;
  virtual kern_return_t createProperties(io_registry_entry_t entry,
                                         PlistDictionary* properties) = 0;
  virtual std::optional<PlistValue> createProperty(io_registry_entry_t entry,
                                                   const std::string& key) = 0;
  virtual kern_return_t setProperty(io_registry_entry_t entry, const std::string& key,
                                    const PlistValue& value) = 0;
  virtual kern_return_t serviceOpen(io_service_t service, std::uint32_t type,
                                    io_connect_t* connection) = 0;
  virtual kern_return_t serviceClose(io_connect_t connection) = 0;
  // `output` is the caller's whole output buffer; `*outputSize` becomes the size written.
  virtual kern_return_t callStructureMethod(io_connect_t connection, std::uint32_t selector,
                                            std::span<const std::uint8_t> input,
                                            std::span<std::uint8_t> output,
                                            std::size_t* outputSize) = 0;
  virtual kern_return_t createPlugInInterface(io_service_t service, const CFUUIDBytes& pluginType,
                                              const CFUUIDBytes& interfaceType,
                                              IOCFPlugInInterface** plugIn,
                                              std::int32_t* score) = 0;
  virtual kern_return_t destroyPlugInInterface(IOCFPlugInInterface* plugIn) = 0;
};

}  // namespace zor::iokit
