#pragma once
// A sequential archiver that carries objects between processes over a
// connection. Before an object is written the coder asks it for its
// replacement (replacementObjectForPortCoder): objects travel by copy unless
// the coder asks for references (isByref), in which case a distant-object
// proxy is written instead. Used by the sensor model's portable objects.

#include <memory>

#include "platform/SequentialArchiver.h"

namespace zor {

class Archivable;
class PortConnection;

class PortCoder : public SequentialArchiver {
 public:
  PortCoder(std::shared_ptr<PortConnection> connection, bool byref);
  // A coder that decodes `bytes` received on `connection`.
  PortCoder(std::shared_ptr<PortConnection> connection, std::string bytes);

  bool isByref() const { return byref_; }
  const std::shared_ptr<PortConnection>& connection() const { return connection_; }

  // Writes the object's replacement; the none object when there is none.
  // Returns the object that was written.
  std::shared_ptr<Archivable> encodePortObject(const std::shared_ptr<Archivable>& object);

 private:
  std::shared_ptr<PortConnection> connection_;
  bool byref_ = false;
};

}  // namespace zor
