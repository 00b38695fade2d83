#include "platform/PortCoder.h"

#include "platform/Archivable.h"
#include "platform/PortConnection.h"

namespace zor {

PortCoder::PortCoder(std::shared_ptr<PortConnection> connection, bool byref)
    : connection_(std::move(connection)), byref_(byref) {}

PortCoder::PortCoder(std::shared_ptr<PortConnection> connection, std::string bytes)
    : SequentialArchiver(std::move(bytes)), connection_(std::move(connection)) {}

std::shared_ptr<Archivable> PortCoder::encodePortObject(const std::shared_ptr<Archivable>& object) {
  std::shared_ptr<Archivable> replacement =
      object ? object->replacementObjectForPortCoder(*this) : nullptr;
  encodeObject(replacement.get());
  return replacement;
}

}  // namespace zor
