#include "platform/linux/LinuxATASMARTPlugIn.h"

#include "platform/linux/LinuxATASMARTInterface.h"

namespace zor {

using namespace iokit;

LinuxATASMARTPlugIn::LinuxATASMARTPlugIn(std::shared_ptr<linuxfs::LinuxATADisk> disk,
                                         std::shared_ptr<linuxfs::AtaDiskSession> session,
                                         std::shared_ptr<ReferenceLedger> ledger)
    : ATASMARTPlugIn(std::move(ledger)), disk_(std::move(disk)), session_(std::move(session)) {}

kern_return_t LinuxATASMARTPlugIn::makeSMARTInterface(IOUnknown** result) {
  *result = new LinuxATASMARTInterface(disk_, session_, ledger_);
  return kIOReturnSuccess;
}

}  // namespace zor
