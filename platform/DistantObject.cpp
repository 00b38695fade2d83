#include "platform/DistantObject.h"

#include "platform/PortConnection.h"
#include "platform/SequentialArchiver.h"

namespace zor {

std::shared_ptr<DistantObject> DistantObject::proxyWithLocal(
    std::shared_ptr<Archivable> local, std::shared_ptr<PortConnection> connection) {
  if (!local || !connection) return nullptr;
  auto proxy = std::make_shared<DistantObject>();
  proxy->reference_ = connection->exportObject(local);
  proxy->local_ = std::move(local);
  proxy->connection_ = std::move(connection);
  return proxy;
}

void DistantObject::encodeWithCoder(SequentialArchiver& coder) const {
  coder.encodeUInt32(reference_);
}

bool DistantObject::initWithCoder(SequentialArchiver& coder) {
  return coder.decodeUInt32(reference_);
}

}  // namespace zor
