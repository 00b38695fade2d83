#include "platform/SystemBackend.h"

namespace zor {
namespace {

struct Installed {
  std::shared_ptr<SystemBackend> backend;
  std::uint64_t generation = 0;
};

Installed& installed() {
  static Installed state;
  return state;
}

}  // namespace

SystemBackend* SystemBackend::current() {
  return installed().backend.get();
}

void SystemBackend::setCurrent(std::shared_ptr<SystemBackend> backend) {
  installed().backend = std::move(backend);
  ++installed().generation;
}

std::uint64_t SystemBackend::generation() {
  return installed().generation;
}

}  // namespace zor
