#include "platform/linux/LinuxATASMARTInterface.h"

#include <algorithm>
#include <cstring>

namespace zor {

using namespace iokit;

LinuxATASMARTInterface::LinuxATASMARTInterface(std::shared_ptr<linuxfs::LinuxATADisk> disk,
                                               std::shared_ptr<linuxfs::AtaDiskSession> session,
                                               std::shared_ptr<ReferenceLedger> ledger)
    : disk_(std::move(disk)), session_(std::move(session)), references_(std::move(ledger)) {}

kern_return_t LinuxATASMARTInterface::QueryInterface(const CFUUIDBytes& interfaceID,
                                                     IOUnknown** result) {
  if (result == nullptr) return kIOReturnBadArgument;
  *result = nullptr;
  if (interfaceID != kIOATASMARTInterfaceID) return kIOReturnUnsupported;
  AddRef();
  *result = this;
  return kIOReturnSuccess;
}

std::uint32_t LinuxATASMARTInterface::Release() {
  std::uint32_t left = references_.release();
  if (left == 0) delete this;
  return left;
}

kern_return_t LinuxATASMARTInterface::SMARTEnableDisableOperations(bool enable) {
  if (!enable) return kIOReturnUnsupported;
  return disk_->report(session_->enable());
}

kern_return_t LinuxATASMARTInterface::SMARTReturnStatus(bool* exceededCondition) {
  if (exceededCondition == nullptr) return kIOReturnBadArgument;
  return disk_->report(session_->returnStatus(exceededCondition));
}

kern_return_t LinuxATASMARTInterface::SMARTReadData(ATASMARTData* data) {
  if (data == nullptr) return kIOReturnBadArgument;
  return disk_->report(session_->readData(data));
}

kern_return_t LinuxATASMARTInterface::SMARTReadDataThresholds(ATASMARTDataThresholds* data) {
  if (data == nullptr) return kIOReturnBadArgument;
  return disk_->report(session_->readThresholds(data));
}

kern_return_t LinuxATASMARTInterface::GetATAIdentifyData(void* buffer, std::uint32_t inSize,
                                                         std::uint32_t* outSize) {
  if (outSize != nullptr) *outSize = 0;
  if (buffer == nullptr) return kIOReturnBadArgument;
  linuxfs::AtaDiskSession::Page page{};
  kern_return_t result = disk_->report(session_->identify(&page));
  if (result != kIOReturnSuccess) return result;
  std::uint32_t count = std::min<std::uint32_t>(inSize, kATADefaultSectorSize);
  std::memcpy(buffer, page.data(), count);
  if (outSize != nullptr) *outSize = count;
  return kIOReturnSuccess;
}

}  // namespace zor
