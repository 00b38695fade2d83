#include "platform/simulated/SimulatedATASMARTPlugIn.h"

#include "platform/simulated/SimulatedATASMARTInterface.h"

namespace zor {

using namespace iokit;

SimulatedATASMARTPlugIn::SimulatedATASMARTPlugIn(std::shared_ptr<SimulatedATASMARTDisk> disk,
                                                 std::shared_ptr<ReferenceLedger> ledger)
    : ATASMARTPlugIn(std::move(ledger)), disk_(std::move(disk)) {
  ++disk_->counters().opens;
}

SimulatedATASMARTPlugIn::~SimulatedATASMARTPlugIn() {
  ++disk_->counters().closes;
}

kern_return_t SimulatedATASMARTPlugIn::makeSMARTInterface(IOUnknown** result) {
  if (disk_->fails("QueryInterface")) return kIOReturnError;
  *result = new SimulatedATASMARTInterface(disk_, ledger_);
  return kIOReturnSuccess;
}

}  // namespace zor
