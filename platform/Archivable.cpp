#include "platform/Archivable.h"

#include "platform/DistantObject.h"
#include "platform/PortCoder.h"

namespace zor {

std::shared_ptr<Archivable> Archivable::replacementObjectForPortCoder(PortCoder&) {
  return weak_from_this().lock();
}

std::shared_ptr<Archivable> Archivable::replacementByCopyUnlessByref(PortCoder& coder) {
  std::shared_ptr<Archivable> self = weak_from_this().lock();
  if (self && coder.isByref()) return DistantObject::proxyWithLocal(self, coder.connection());
  return self;
}

}  // namespace zor
