#pragma once
// The hardware registry and driver services, called the way the platform's
// IOKit is called: service matching and iteration, counted references on
// handles, path lookup, parent and child entries, properties, user-client
// connections with structure calls, and plug-in interfaces. Every call
// forwards to the installed IOKitBackend. Used by the registry entries, the
// SMC connection, the S.M.A.R.T. disk access and the CPU-monitor sensors.
//
// Handles carry references: every handle a call hands out (iterator, service,
// entry) must be given back with IOObjectRelease. Property values are plain
// PlistValue copies and need no release.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/IOCFPlugInInterface.h"
#include "platform/IOKitBackend.h"
#include "platform/IOKitTypes.h"
#include "platform/PropertyList.h"

namespace zor::iokit {

// The task that opens user clients (the own process).
inline task_port_t mach_task_self() {
  return 1;
}

// A matching dictionary for services of registry class `name` (or a subclass);
// nothing for a null name.
std::optional<PlistDictionary> IOServiceMatching(const char* name);
// Consumes `matching`; 0 and an iterator (with a reference) on success.
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort,
                                           std::optional<PlistDictionary> matching,
                                           io_iterator_t* existing);
// The next service with a reference, or 0 at the end.
io_object_t IOIteratorNext(io_iterator_t iterator);
kern_return_t IOObjectRetain(io_object_t object);
kern_return_t IOObjectRelease(io_object_t object);

// `path` is "<plane>:<path>", e.g. "IODeviceTree:/rom"; a referenced entry or 0.
io_registry_entry_t IORegistryEntryFromPath(mach_port_t masterPort, const char* path);
kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const char* plane,
                                            io_registry_entry_t* parent);
// The first child in the plane.
kern_return_t IORegistryEntryGetChildEntry(io_registry_entry_t entry, const char* plane,
                                           io_registry_entry_t* child);

// All properties of the entry; on failure `*properties` is left empty.
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                PlistDictionary* properties,
                                                IOOptionBits options = 0);
// One property, or nothing when the entry lacks it (or the handle is bad).
std::optional<PlistValue> IORegistryEntryCreateCFProperty(io_registry_entry_t entry,
                                                          const std::string& key,
                                                          IOOptionBits options = 0);
// Hands the write to the entry's driver.
kern_return_t IORegistryEntrySetCFProperty(io_registry_entry_t entry, const std::string& key,
                                           const PlistValue& value);

// Opens a user client of `type` on the service; 0 and a connection on success.
kern_return_t IOServiceOpen(io_service_t service, task_port_t owningTask, std::uint32_t type,
                            io_connect_t* connection);
// Closes the connection and gives back its reference (no IOObjectRelease).
kern_return_t IOServiceClose(io_connect_t connection);
// One structure call: `inputSize` bytes in, at most `*outputSize` bytes out;
// `*outputSize` becomes the size the driver wrote.
kern_return_t IOConnectMethodStructureIStructureO(io_connect_t connection, std::uint32_t index,
                                                  std::size_t inputSize, std::size_t* outputSize,
                                                  const void* input, void* output);

// 0 and a plug-in interface (given back with IODestroyPlugInInterface) on success.
kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, const CFUUIDBytes& pluginType,
                                                const CFUUIDBytes& interfaceType,
                                                IOCFPlugInInterface** plugIn, std::int32_t* score);
kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface* plugIn);

}  // namespace zor::iokit
