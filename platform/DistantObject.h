#pragma once
// A proxy that stands for an object of this process on a connection: what a
// port coder sends when it asks for an object by reference. It is written as
// the reference number under which the connection exported the object.
// Used by the replacement rule of the converter and the sensor description.

#include <cstdint>
#include <memory>

#include "platform/Archivable.h"

namespace zor {

class PortConnection;

class DistantObject : public Archivable {
 public:
  // A proxy for `local` on `connection`; null when either is missing.
  static std::shared_ptr<DistantObject> proxyWithLocal(std::shared_ptr<Archivable> local,
                                                       std::shared_ptr<PortConnection> connection);

  const std::shared_ptr<Archivable>& local() const { return local_; }
  const std::shared_ptr<PortConnection>& connection() const { return connection_; }
  std::uint32_t reference() const { return reference_; }

  std::string archiveClassName() const override { return "DistantObject"; }
  void encodeWithCoder(SequentialArchiver& coder) const override;
  // Reads the reference number only; the receiving side resolves it.
  bool initWithCoder(SequentialArchiver& coder) override;

 private:
  std::shared_ptr<Archivable> local_;
  std::shared_ptr<PortConnection> connection_;
  std::uint32_t reference_ = 0;
};

}  // namespace zor
