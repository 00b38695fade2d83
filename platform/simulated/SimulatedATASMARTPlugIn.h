#pragma once
// The plug-in interface of a simulated S.M.A.R.T. disk: created by the disk's
// driver behaviour for IOCreatePlugInInterfaceForService (one open of the
// disk) and gone when its last reference is given back (one close). Asked for
// the ATA S.M.A.R.T. interface it hands out a SimulatedATASMARTInterface,
// unless the profile makes "QueryInterface" fail.

#include <cstdint>
#include <memory>

#include "platform/IOCFPlugInInterface.h"
#include "platform/LedgerReferenceCount.h"
#include "platform/simulated/SimulatedATASMARTDisk.h"

namespace zor {

class SimulatedATASMARTPlugIn final : public iokit::IOCFPlugInInterface {
 public:
  // Counts one open on the disk.
  SimulatedATASMARTPlugIn(std::shared_ptr<SimulatedATASMARTDisk> disk,
                          std::shared_ptr<ReferenceLedger> ledger);
  // Counts one close on the disk.
  ~SimulatedATASMARTPlugIn() override;

  iokit::kern_return_t QueryInterface(const iokit::CFUUIDBytes& interfaceID,
                                      iokit::IOUnknown** result) override;
  std::uint32_t AddRef() override { return references_.addRef(); }
  std::uint32_t Release() override;

 private:
  std::shared_ptr<SimulatedATASMARTDisk> disk_;
  std::shared_ptr<ReferenceLedger> ledger_;
  LedgerReferenceCount references_;
};

}  // namespace zor
