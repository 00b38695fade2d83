#pragma once
// One reference the registry and driver services handed out: a registry
// handle (given back with IOObjectRelease), a user-client connection
// (IOServiceClose) or a plug-in interface (IODestroyPlugInInterface). It
// keeps a weak reference to the backend that gave it out and gives the
// reference back to that backend only: handle numbers restart with every
// machine, so a number of a machine that is gone may name a live object of
// the machine installed since. When its backend is gone there is nothing to
// give back (a plug-in object is still released). Used by the registry
// entries, the SMC controller and the S.M.A.R.T. disk access.

#include <memory>

#include "platform/IOCFPlugInInterface.h"
#include "platform/IOKitBackend.h"
#include "platform/IOKitTypes.h"

namespace zor::iokit {

class IOReference {
 public:
  IOReference() = default;
  ~IOReference() { reset(); }
  IOReference(IOReference&& other) noexcept;
  IOReference& operator=(IOReference&& other) noexcept;
  IOReference(const IOReference&) = delete;
  IOReference& operator=(const IOReference&) = delete;

  // Each takes over one reference the caller got from the installed backend.
  static IOReference adoptObject(io_object_t object);
  static IOReference adoptConnection(io_connect_t connection);
  static IOReference adoptPlugIn(IOCFPlugInInterface* plugIn);

  explicit operator bool() const { return handle_ != 0 || plugIn_ != nullptr; }
  io_object_t handle() const { return handle_; }
  IOCFPlugInInterface* plugIn() const { return plugIn_; }
  // True while the backend that gave this out is the installed one, so a
  // call by number reaches the object it names.
  bool belongsToCurrentBackend() const;
  // Gives the reference back now (to its own backend) and holds nothing.
  void reset();

 private:
  enum class Kind { none, object, connection, plugIn };
  IOReference(Kind kind, io_object_t handle, IOCFPlugInInterface* plugIn);

  Kind kind_ = Kind::none;
  io_object_t handle_ = 0;
  IOCFPlugInInterface* plugIn_ = nullptr;
  std::weak_ptr<IOKitBackend> backend_;
};

}  // namespace zor::iokit
