#include "platform/IOKitBackend.h"

namespace zor::iokit {
namespace {

std::shared_ptr<IOKitBackend>& installedBackend() {
  static std::shared_ptr<IOKitBackend> backend;
  return backend;
}

}  // namespace

IOKitBackend* IOKitBackend::current() {
  return installedBackend().get();
}

void IOKitBackend::setCurrent(std::shared_ptr<IOKitBackend> backend) {
  installedBackend() = std::move(backend);
}

std::shared_ptr<IOKitBackend> IOKitBackend::currentShared() {
  return installedBackend();
}

}  // namespace zor::iokit
