#include "platform/linux/SgIoTransport.h"

#include "platform/linux/LinuxSgIoTransport.h"

namespace zor::linuxfs {
namespace {

SgIoTransport::Opener& installedOpener() {
  static SgIoTransport::Opener opener;
  return opener;
}

}  // namespace

std::unique_ptr<SgIoTransport> SgIoTransport::open(const std::string& path, int* error) {
  if (const Opener& opener = installedOpener()) return opener(path, error);
  return LinuxSgIoTransport::open(path, error);
}

SgIoTransport::ScopedOpener::ScopedOpener(Opener opener) : previous_(std::move(installedOpener())) {
  installedOpener() = std::move(opener);
}

SgIoTransport::ScopedOpener::~ScopedOpener() {
  installedOpener() = std::move(previous_);
}

}  // namespace zor::linuxfs
