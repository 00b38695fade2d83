#include "platform/simulated/SimulatedATASMARTPlugIn.h"

#include "platform/IOATASMARTInterface.h"
#include "platform/simulated/SimulatedATASMARTInterface.h"

namespace zor {

using namespace iokit;

SimulatedATASMARTPlugIn::SimulatedATASMARTPlugIn(std::shared_ptr<SimulatedATASMARTDisk> disk,
                                                 std::shared_ptr<ReferenceLedger> ledger)
    : disk_(std::move(disk)), ledger_(ledger), references_(std::move(ledger)) {
  ++disk_->counters().opens;
}

SimulatedATASMARTPlugIn::~SimulatedATASMARTPlugIn() {
  ++disk_->counters().closes;
}

kern_return_t SimulatedATASMARTPlugIn::QueryInterface(const CFUUIDBytes& interfaceID,
                                                      IOUnknown** result) {
  if (result == nullptr) return kIOReturnBadArgument;
  *result = nullptr;
  if (interfaceID == kIOCFPlugInInterfaceID) {
    AddRef();
    *result = this;
    return kIOReturnSuccess;
  }
  if (interfaceID != kIOATASMARTInterfaceID) return kIOReturnUnsupported;
  if (disk_->fails("QueryInterface")) return kIOReturnError;
  *result = new SimulatedATASMARTInterface(disk_, ledger_);
  return kIOReturnSuccess;
}

std::uint32_t SimulatedATASMARTPlugIn::Release() {
  std::uint32_t left = references_.release();
  if (left == 0) delete this;
  return left;
}

}  // namespace zor
