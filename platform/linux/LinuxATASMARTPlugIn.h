#pragma once
// The plug-in interface of an ATA disk of the running Linux machine: created
// by ATADiskDriverBehaviour for IOCreatePlugInInterfaceForService, it is one
// open of the block device (an AtaDiskSession) that lives until the plug-in
// and the interfaces it handed out are given back. Asked for the ATA
// S.M.A.R.T. interface it hands out a LinuxATASMARTInterface on its session.

#include <cstdint>
#include <memory>

#include "platform/IOCFPlugInInterface.h"
#include "platform/LedgerReferenceCount.h"
#include "platform/linux/AtaDiskSession.h"
#include "platform/linux/LinuxATADisk.h"

namespace zor {

class LinuxATASMARTPlugIn final : public iokit::IOCFPlugInInterface {
 public:
  LinuxATASMARTPlugIn(std::shared_ptr<linuxfs::LinuxATADisk> disk,
                      std::shared_ptr<linuxfs::AtaDiskSession> session,
                      std::shared_ptr<ReferenceLedger> ledger);

  iokit::kern_return_t QueryInterface(const iokit::CFUUIDBytes& interfaceID,
                                      iokit::IOUnknown** result) override;
  std::uint32_t AddRef() override { return references_.addRef(); }
  std::uint32_t Release() override;

 private:
  std::shared_ptr<linuxfs::LinuxATADisk> disk_;
  std::shared_ptr<linuxfs::AtaDiskSession> session_;
  std::shared_ptr<ReferenceLedger> ledger_;
  LedgerReferenceCount references_;
};

}  // namespace zor
