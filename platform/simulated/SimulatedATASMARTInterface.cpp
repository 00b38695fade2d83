#include "platform/simulated/SimulatedATASMARTInterface.h"

namespace zor {

using namespace iokit;

SimulatedATASMARTInterface::SimulatedATASMARTInterface(std::shared_ptr<SimulatedATASMARTDisk> disk,
                                                       std::shared_ptr<ReferenceLedger> ledger)
    : disk_(std::move(disk)), references_(std::move(ledger)) {}

kern_return_t SimulatedATASMARTInterface::QueryInterface(const CFUUIDBytes& interfaceID,
                                                         IOUnknown** result) {
  if (result == nullptr) return kIOReturnBadArgument;
  *result = nullptr;
  if (interfaceID != kIOATASMARTInterfaceID) return kIOReturnUnsupported;
  AddRef();
  *result = this;
  return kIOReturnSuccess;
}

std::uint32_t SimulatedATASMARTInterface::Release() {
  std::uint32_t left = references_.release();
  if (left == 0) delete this;
  return left;
}

kern_return_t SimulatedATASMARTInterface::SMARTEnableDisableOperations(bool enable) {
  return disk_->enable(enable);
}

kern_return_t SimulatedATASMARTInterface::SMARTReturnStatus(bool* exceededCondition) {
  return disk_->returnStatus(exceededCondition);
}

kern_return_t SimulatedATASMARTInterface::SMARTReadData(ATASMARTData* data) {
  return disk_->readData(data);
}

kern_return_t SimulatedATASMARTInterface::SMARTReadDataThresholds(ATASMARTDataThresholds* data) {
  return disk_->readThresholds(data);
}

kern_return_t SimulatedATASMARTInterface::GetATAIdentifyData(void* buffer, std::uint32_t inSize,
                                                             std::uint32_t* outSize) {
  return disk_->identify(buffer, inSize, outSize);
}

}  // namespace zor
