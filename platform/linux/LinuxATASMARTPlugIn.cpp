#include "platform/linux/LinuxATASMARTPlugIn.h"

#include "platform/IOATASMARTInterface.h"
#include "platform/linux/LinuxATASMARTInterface.h"

namespace zor {

using namespace iokit;

LinuxATASMARTPlugIn::LinuxATASMARTPlugIn(std::shared_ptr<linuxfs::LinuxATADisk> disk,
                                         std::shared_ptr<linuxfs::AtaDiskSession> session,
                                         std::shared_ptr<ReferenceLedger> ledger)
    : disk_(std::move(disk)),
      session_(std::move(session)),
      ledger_(ledger),
      references_(std::move(ledger)) {}

kern_return_t LinuxATASMARTPlugIn::QueryInterface(const CFUUIDBytes& interfaceID,
                                                  IOUnknown** result) {
  if (result == nullptr) return kIOReturnBadArgument;
  *result = nullptr;
  if (interfaceID == kIOCFPlugInInterfaceID) {
    AddRef();
    *result = this;
    return kIOReturnSuccess;
  }
  if (interfaceID != kIOATASMARTInterfaceID) return kIOReturnUnsupported;
  *result = new LinuxATASMARTInterface(disk_, session_, ledger_);
  return kIOReturnSuccess;
}

std::uint32_t LinuxATASMARTPlugIn::Release() {
  std::uint32_t left = references_.release();
  if (left == 0) delete this;
  return left;
}

}  // namespace zor
