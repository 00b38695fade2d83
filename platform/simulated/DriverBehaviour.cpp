#include "platform/simulated/DriverBehaviour.h"

namespace zor {

iokit::kern_return_t DriverBehaviour::openUserClient(
    SimulatedEntry& /*entry*/, std::uint32_t /*type*/,
    std::unique_ptr<UserClientConnection>* /*connection*/) {
  return iokit::kIOReturnUnsupported;
}

iokit::kern_return_t DriverBehaviour::setProperty(SimulatedEntry& /*entry*/,
                                                  const std::string& /*key*/,
                                                  const PlistValue& /*value*/) {
  return iokit::kIOReturnUnsupported;
}

void DriverBehaviour::propertiesWillBeRead(SimulatedEntry& /*entry*/) {}

iokit::kern_return_t DriverBehaviour::createPlugInInterface(
    SimulatedEntry& /*entry*/, const iokit::CFUUIDBytes& /*pluginType*/,
    const iokit::CFUUIDBytes& /*interfaceType*/, iokit::IOCFPlugInInterface** /*plugIn*/,
    std::int32_t* /*score*/) {
  return iokit::kIOReturnUnsupported;
}

}  // namespace zor
