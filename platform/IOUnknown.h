#pragma once
// The root of the platform's plug-in interfaces: an object with counted
// references that hands out further interfaces by type identifier. The
// plug-in interface (IOCFPlugInInterface) and the interfaces it yields (for
// example the ATA S.M.A.R.T. interface used by the disk sensors) derive from it.
// The object returned by QueryInterface for an identifier is of the class that
// the identifier names; it carries one reference that the caller gives back
// with Release.

#include <cstdint>

#include "platform/IOKitTypes.h"

namespace zor::iokit {

class IOUnknown {
 public:
  virtual ~IOUnknown() = default;
  // 0 and a referenced interface in `*result` on success; on failure `*result` is null.
  virtual kern_return_t QueryInterface(const CFUUIDBytes& interfaceID, IOUnknown** result) = 0;
  virtual std::uint32_t AddRef() = 0;
  // Gives back one reference; the object is gone when the count reaches 0.
  virtual std::uint32_t Release() = 0;
};

}  // namespace zor::iokit
