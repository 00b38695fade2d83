#pragma once
// The ATA S.M.A.R.T. interface of a disk of the running Linux machine, handed
// out by LinuxATASMARTPlugIn through QueryInterface. Every call is one
// command of the plug-in's session (after its one CHECK POWER MODE): a disk
// in standby answers kIOReturnNotReady and is sent nothing. Switching
// S.M.A.R.T. off is refused: the only command this sends that changes the
// disk is SMART ENABLE. References are counted in the machine's ledger.

#include <memory>

#include "platform/IOATASMARTInterface.h"
#include "platform/LedgerReferenceCount.h"
#include "platform/linux/AtaDiskSession.h"
#include "platform/linux/LinuxATADisk.h"

namespace zor {

class LinuxATASMARTInterface final : public iokit::IOATASMARTInterface {
 public:
  LinuxATASMARTInterface(std::shared_ptr<linuxfs::LinuxATADisk> disk,
                         std::shared_ptr<linuxfs::AtaDiskSession> session,
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
  std::shared_ptr<linuxfs::LinuxATADisk> disk_;
  std::shared_ptr<linuxfs::AtaDiskSession> session_;
  LedgerReferenceCount references_;
};

}  // namespace zor
