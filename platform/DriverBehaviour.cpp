#include "platform/DriverBehaviour.h"

namespace zor {

iokit::kern_return_t DriverBehaviour::openUserClient(
    MachineEntry& /*entry*/, std::uint32_t /*type*/,
    std::unique_ptr<UserClientConnection>* /*connection*/) {
  return iokit::kIOReturnUnsupported;
}

iokit::kern_return_t DriverBehaviour::setProperty(MachineEntry& /*entry*/,
                                                  const std::string& /*key*/,
                                                  const PlistValue& /*value*/) {
  return iokit::kIOReturnUnsupported;
}

void DriverBehaviour::propertiesWillBeRead(MachineEntry& /*entry*/) {}

PlistDictionary DriverBehaviour::recordedSettings(MachineEntry& /*entry*/) {
  return settings_.raw();
}

iokit::kern_return_t DriverBehaviour::createPlugInInterface(
    MachineEntry& /*entry*/, const iokit::CFUUIDBytes& /*pluginType*/,
    const iokit::CFUUIDBytes& /*interfaceType*/, iokit::IOCFPlugInInterface** /*plugIn*/,
    std::int32_t* /*score*/) {
  return iokit::kIOReturnUnsupported;
}

}  // namespace zor
