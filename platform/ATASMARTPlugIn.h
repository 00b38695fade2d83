#pragma once
// What every backend's ATA disk plug-in shares: it answers QueryInterface for
// itself and for the ATA S.M.A.R.T. interface, and counts its references in
// the backend's ledger, deleting itself with the last one. Each backend says
// only how its S.M.A.R.T. interface is made (the simulated and the Linux
// disk plug-ins derive from it).

#include <cstdint>
#include <memory>

#include "platform/IOCFPlugInInterface.h"
#include "platform/LedgerReferenceCount.h"

namespace zor {

class ATASMARTPlugIn : public iokit::IOCFPlugInInterface {
 public:
  iokit::kern_return_t QueryInterface(const iokit::CFUUIDBytes& interfaceID,
                                      iokit::IOUnknown** result) final;
  std::uint32_t AddRef() final { return references_.addRef(); }
  std::uint32_t Release() final;

 protected:
  explicit ATASMARTPlugIn(std::shared_ptr<ReferenceLedger> ledger)
      : ledger_(ledger), references_(std::move(ledger)) {}
  // Sets *result to a new S.M.A.R.T. interface, or answers why there is none.
  virtual iokit::kern_return_t makeSMARTInterface(iokit::IOUnknown** result) = 0;

  std::shared_ptr<ReferenceLedger> ledger_;

 private:
  LedgerReferenceCount references_;
};

}  // namespace zor
