#pragma once
// The plug-in interface of a simulated S.M.A.R.T. disk: created by the disk's
// driver behaviour for IOCreatePlugInInterfaceForService (one open of the
// disk) and gone when its last reference is given back (one close). Asked for
// the ATA S.M.A.R.T. interface it hands out a SimulatedATASMARTInterface,
// unless the profile makes "QueryInterface" fail.

#include <cstdint>
#include <memory>

#include "platform/ATASMARTPlugIn.h"
#include "platform/simulated/SimulatedATASMARTDisk.h"

namespace zor {

class SimulatedATASMARTPlugIn final : public ATASMARTPlugIn {
 public:
  // Counts one open on the disk.
  SimulatedATASMARTPlugIn(std::shared_ptr<SimulatedATASMARTDisk> disk,
                          std::shared_ptr<ReferenceLedger> ledger);
  // Counts one close on the disk.
  ~SimulatedATASMARTPlugIn() override;

 private:
  iokit::kern_return_t makeSMARTInterface(iokit::IOUnknown** result) override;

  std::shared_ptr<SimulatedATASMARTDisk> disk_;
};

}  // namespace zor
