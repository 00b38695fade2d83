#include "platform/IOKitBackend.h"

namespace zor::iokit {
namespace {

std::shared_ptr<IOKitBackend>& installedBackend() {
  static std::shared_ptr<IOKitBackend> backend;
  return backend;
}

std::uint64_t& installedGeneration() {
  static std::uint64_t generation = 0;
  return generation;
}

}  // namespace

IOKitBackend* IOKitBackend::current() {
  return installedBackend().get();
}

void IOKitBackend::setCurrent(std::shared_ptr<IOKitBackend> backend) {
  installedBackend() = std::move(backend);
  ++installedGeneration();
}

std::uint64_t IOKitBackend::generation() {
  return installedGeneration();
}

}  // namespace zor::iokit
