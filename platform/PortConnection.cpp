#include "platform/PortConnection.h"

#include "platform/Archivable.h"

namespace zor {

std::uint32_t PortConnection::exportObject(const std::shared_ptr<Archivable>& local) {
  for (std::size_t i = 0; i < exported_.size(); ++i) {
    if (exported_[i] == local) return static_cast<std::uint32_t>(i + 1);
  }
  exported_.push_back(local);
  return static_cast<std::uint32_t>(exported_.size());
}

std::shared_ptr<Archivable> PortConnection::localObjectForReference(std::uint32_t reference) const {
  if (reference == 0 || reference > exported_.size()) return nullptr;
  return exported_[reference - 1];
}

}  // namespace zor
