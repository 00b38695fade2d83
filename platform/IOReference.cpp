#include "platform/IOReference.h"

#include <utility>

namespace zor::iokit {

IOReference::IOReference(Kind kind, io_object_t handle, IOCFPlugInInterface* plugIn)
    : kind_(kind), handle_(handle), plugIn_(plugIn), backend_(IOKitBackend::currentShared()) {}

IOReference::IOReference(IOReference&& other) noexcept
    : kind_(std::exchange(other.kind_, Kind::none)),
      handle_(std::exchange(other.handle_, 0)),
      plugIn_(std::exchange(other.plugIn_, nullptr)),
      backend_(std::move(other.backend_)) {}

IOReference& IOReference::operator=(IOReference&& other) noexcept {
  if (this != &other) {
    reset();
    kind_ = std::exchange(other.kind_, Kind::none);
    handle_ = std::exchange(other.handle_, 0);
    plugIn_ = std::exchange(other.plugIn_, nullptr);
    backend_ = std::move(other.backend_);
  }
  return *this;
}

IOReference IOReference::adoptObject(io_object_t object) {
  return object == 0 ? IOReference() : IOReference(Kind::object, object, nullptr);
}

IOReference IOReference::adoptConnection(io_connect_t connection) {
  return connection == 0 ? IOReference() : IOReference(Kind::connection, connection, nullptr);
}

IOReference IOReference::adoptPlugIn(IOCFPlugInInterface* plugIn) {
  return plugIn == nullptr ? IOReference() : IOReference(Kind::plugIn, 0, plugIn);
}

bool IOReference::belongsToCurrentBackend() const {
  std::shared_ptr<IOKitBackend> owner = backend_.lock();
  return owner != nullptr && owner.get() == IOKitBackend::current();
}

void IOReference::reset() {
  std::shared_ptr<IOKitBackend> owner = backend_.lock();
  switch (kind_) {
    case Kind::none:
      break;
    case Kind::object:
      if (owner) owner->objectRelease(handle_);
      break;
    case Kind::connection:
      if (owner) owner->serviceClose(handle_);
      break;
    case Kind::plugIn:
      // The object is ours to release even when its registry is gone.
      if (owner) {
        owner->destroyPlugInInterface(plugIn_);
      } else {
        plugIn_->Release();
      }
      break;
  }
  kind_ = Kind::none;
  handle_ = 0;
  plugIn_ = nullptr;
  backend_.reset();
}

}  // namespace zor::iokit
