#pragma once
// The ATA S.M.A.R.T. interface of a simulated disk, handed out by the disk's
// plug-in interface (SimulatedATASMARTPlugIn) through QueryInterface. Every
// call goes to the shared SimulatedATASMARTDisk, which answers from the
// profile and counts the access. Its references are counted in the machine's
// ledger, so a test sees an interface that was never released.

#include <cstdint>
#include <memory>

#include "platform/IOATASMARTInterface.h"
#include "platform/LedgerReferenceCount.h"
#include "platform/simulated/SimulatedATASMARTDisk.h"

namespace zor {

class SimulatedATASMARTInterface final : public iokit::IOATASMARTInterface {
 public:
  SimulatedATASMARTInterface(std::shared_ptr<SimulatedATASMARTDisk> disk,
                             std::shared_ptr<ReferenceLedger> ledger);

  iokit::kern_return_t QueryInterface(const iokit::CFUUIDBytes& interfaceID,
                                      iokit::IOUnknown** result) override;
  std::uint32_t AddRef() override { return references_.addRef(); }
  std::uint32_t Release() override;

  iokit::kern_return_t SMARTEnableDisableOperations(bool enable) override;
  iokit::kern_return_t SMARTReturnStatus(bool* exceededCondition) override;
  iokit::kern_return_t SMARTReadData(iokit::ATASMARTData* data) override;
  iokit::kern_return_t SMARTReadDataThresholds(iokit::ATASMARTDataThresholds* data) override;
  iokit::kern_return_t GetATAIdentifyData(void* buffer, std::uint32_t inSize,
                                          std::uint32_t* outSize) override;

 private:
  std::shared_ptr<SimulatedATASMARTDisk> disk_;
  LedgerReferenceCount references_;
};

}  // namespace zor
