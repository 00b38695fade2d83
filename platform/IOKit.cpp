#include "platform/IOKit.h"

namespace zor::iokit {

std::optional<PlistDictionary> IOServiceMatching(const char* name) {
  if (name == nullptr) return std::nullopt;
  return PlistDictionary{{kIOProviderClassKey, PlistValue(std::string(name))}};
}

kern_return_t IOServiceGetMatchingServices(mach_port_t /*masterPort*/,
                                           std::optional<PlistDictionary> matching,
                                           io_iterator_t* existing) {
  if (existing == nullptr) return kIOReturnBadArgument;
  *existing = 0;
  if (!matching) return kIOReturnBadArgument;
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  return backend->getMatchingServices(*matching, existing);
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
  IOKitBackend* backend = IOKitBackend::current();
  return backend == nullptr ? 0 : backend->iteratorNext(iterator);
}

kern_return_t IOObjectRetain(io_object_t object) {
  IOKitBackend* backend = IOKitBackend::current();
  return backend == nullptr ? kIOReturnBadArgument : backend->objectRetain(object);
}

kern_return_t IOObjectRelease(io_object_t object) {
  IOKitBackend* backend = IOKitBackend::current();
  return backend == nullptr ? kIOReturnBadArgument : backend->objectRelease(object);
}

io_registry_entry_t IORegistryEntryFromPath(mach_port_t /*masterPort*/, const char* path) {
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr || path == nullptr) return 0;
  return backend->entryFromPath(path);
}

kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const char* plane,
                                            io_registry_entry_t* parent) {
  if (parent == nullptr) return kIOReturnBadArgument;
  *parent = 0;
  IOKitBackend* backend = IOKitBackend::current();
  if (plane == nullptr) return kIOReturnBadArgument;
  if (backend == nullptr) return kIOReturnNoDevice;
  return backend->getParentEntry(entry, plane, parent);
}

kern_return_t IORegistryEntryGetChildEntry(io_registry_entry_t entry, const char* plane,
                                           io_registry_entry_t* child) {
  if (child == nullptr) return kIOReturnBadArgument;
  *child = 0;
  IOKitBackend* backend = IOKitBackend::current();
  if (plane == nullptr) return kIOReturnBadArgument;
  if (backend == nullptr) return kIOReturnNoDevice;
  return backend->getChildEntry(entry, plane, child);
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                PlistDictionary* properties,
                                                IOOptionBits /*options*/) {
  if (properties == nullptr) return kIOReturnBadArgument;
  properties->clear();
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  kern_return_t result = backend->createProperties(entry, properties);
  if (result != kIOReturnSuccess) properties->clear();
  return result;
}

std::optional<PlistValue> IORegistryEntryCreateCFProperty(io_registry_entry_t entry,
                                                          const std::string& key,
                                                          IOOptionBits /*options*/) {
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return std::nullopt;
  return backend->createProperty(entry, key);
}

kern_return_t IORegistryEntrySetCFProperty(io_registry_entry_t entry, const std::string& key,
                                           const PlistValue& value) {
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  return backend->setProperty(entry, key, value);
}

kern_return_t IOServiceOpen(io_service_t service, task_port_t /*owningTask*/, std::uint32_t type,
                            io_connect_t* connection) {
  if (connection == nullptr) return kIOReturnBadArgument;
  *connection = 0;
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  return backend->serviceOpen(service, type, connection);
}

kern_return_t IOServiceClose(io_connect_t connection) {
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  return backend->serviceClose(connection);
}

kern_return_t IOConnectMethodStructureIStructureO(io_connect_t connection, std::uint32_t index,
                                                  std::size_t inputSize, std::size_t* outputSize,
                                                  const void* input, void* output) {
  if (outputSize == nullptr) return kIOReturnBadArgument;
  if ((input == nullptr && inputSize != 0) || (output == nullptr && *outputSize != 0)) {
    return kIOReturnBadArgument;
  }
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  std::span<const std::uint8_t> in(static_cast<const std::uint8_t*>(input), inputSize);
  std::span<std::uint8_t> out(static_cast<std::uint8_t*>(output), *outputSize);
  return backend->callStructureMethod(connection, index, in, out, outputSize);
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, const CFUUIDBytes& pluginType,
                                                const CFUUIDBytes& interfaceType,
                                                IOCFPlugInInterface** plugIn, std::int32_t* score) {
  if (plugIn == nullptr || score == nullptr) return kIOReturnBadArgument;
  *plugIn = nullptr;
  *score = 0;
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) return kIOReturnNoDevice;
  kern_return_t result =
      backend->createPlugInInterface(service, pluginType, interfaceType, plugIn, score);
  if (result != kIOReturnSuccess) *plugIn = nullptr;
  return result;
}

kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface* plugIn) {
  if (plugIn == nullptr) return kIOReturnBadArgument;
  IOKitBackend* backend = IOKitBackend::current();
  if (backend == nullptr) {
    // With no backend there is no bookkeeping to update; the object still goes.
    plugIn->Release();
    return kIOReturnSuccess;
  }
  return backend->destroyPlugInInterface(plugIn);
}

}  // namespace zor::iokit
