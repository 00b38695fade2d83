#pragma once
// The plug-in interface of an ATA disk of the running Linux machine: created
// by ATADiskDriverBehaviour for IOCreatePlugInInterfaceForService, it is one
// open of the block device (an AtaDiskSession) that lives until the plug-in
// and the interfaces it handed out are given back. Asked for the ATA
// S.M.A.R.T. interface it hands out a LinuxATASMARTInterface on its session.

#include <cstdint>
#include <memory>

#include "platform/ATASMARTPlugIn.h"
#include "platform/linux/AtaDiskSession.h"
#include "platform/linux/LinuxATADisk.h"

namespace zor {

class LinuxATASMARTPlugIn final : public ATASMARTPlugIn {
 public:
  LinuxATASMARTPlugIn(std::shared_ptr<linuxfs::LinuxATADisk> disk,
                      std::shared_ptr<linuxfs::AtaDiskSession> session,
                      std::shared_ptr<ReferenceLedger> ledger);

 private:
  iokit::kern_return_t makeSMARTInterface(iokit::IOUnknown** result) override;

  std::shared_ptr<linuxfs::LinuxATADisk> disk_;
  std::shared_ptr<linuxfs::AtaDiskSession> session_;
};

}  // namespace zor
