#include "platform/ATASMARTPlugIn.h"

#include "platform/IOATASMARTInterface.h"

namespace zor {

using namespace iokit;

kern_return_t ATASMARTPlugIn::QueryInterface(const CFUUIDBytes& interfaceID, IOUnknown** result) {
  if (result == nullptr) return kIOReturnBadArgument;
  *result = nullptr;
  if (interfaceID == kIOCFPlugInInterfaceID) {
    AddRef();
    *result = this;
    return kIOReturnSuccess;
  }
  if (interfaceID != kIOATASMARTInterfaceID) return kIOReturnUnsupported;
  return makeSMARTInterface(result);
}

std::uint32_t ATASMARTPlugIn::Release() {
  std::uint32_t left = references_.release();
  if (left == 0) delete this;
  return left;
}

}  // namespace zor
