#include "platform/simulated/ATASMARTDriverBehaviour.h"

#include "platform/IOATASMARTInterface.h"
#include "platform/MachineEntry.h"
#include "platform/simulated/SimulatedATASMARTPlugIn.h"

namespace zor {

using namespace iokit;

ATASMARTDriverBehaviour::ATASMARTDriverBehaviour(DriverSettings settings,
                                                 std::shared_ptr<SimulatedATASMARTDisk> disk)
    : DriverBehaviour(std::move(settings)), disk_(std::move(disk)) {}

std::unique_ptr<DriverBehaviour> ATASMARTDriverBehaviour::make(const DriverSettings& settings,
                                                               std::string* error) {
  const PlistValue* description = settings.find("ATASMART");
  if (description == nullptr) return std::make_unique<DriverBehaviour>(settings);
  auto disk = SimulatedATASMARTDisk::parse(*description, settings.wave(), error);
  if (!disk) return nullptr;
  return std::make_unique<ATASMARTDriverBehaviour>(settings, std::move(disk));
}

SimulatedATASMARTDisk* ATASMARTDriverBehaviour::diskOf(const MachineEntry& entry) {
  auto* behaviour = dynamic_cast<const ATASMARTDriverBehaviour*>(&entry.behaviour());
  return behaviour == nullptr ? nullptr : &behaviour->disk();
}

kern_return_t ATASMARTDriverBehaviour::createPlugInInterface(MachineEntry& entry,
                                                             const CFUUIDBytes& pluginType,
                                                             const CFUUIDBytes& interfaceType,
                                                             IOCFPlugInInterface** plugIn,
                                                             std::int32_t* score) {
  if (plugIn == nullptr) return kIOReturnBadArgument;
  *plugIn = nullptr;
  if (pluginType != kIOATASMARTUserClientTypeID || interfaceType != kIOCFPlugInInterfaceID) {
    return kIOReturnUnsupported;
  }
  *plugIn = new SimulatedATASMARTPlugIn(disk_, entry.sharedLedger());
  if (score != nullptr) *score = 0;
  return kIOReturnSuccess;
}

}  // namespace zor
