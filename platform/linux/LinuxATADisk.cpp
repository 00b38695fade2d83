#include "platform/linux/LinuxATADisk.h"

#include <cerrno>

#include "platform/SystemLog.h"

namespace zor::linuxfs {

using Outcome = AtaDiskSession::Outcome;

std::shared_ptr<AtaDiskSession> LinuxATADisk::open() {
  int error = 0;
  auto transport = SgIoTransport::open(device_, &error);
  if (transport) return std::make_shared<AtaDiskSession>(std::move(transport));
  report(error == EACCES || error == EPERM ? Outcome::NoOpenPermission : Outcome::Gone);
  return nullptr;
}

std::string LinuxATADisk::describe(Outcome outcome) const {
  const std::string& d = device_;
  switch (outcome) {
    case Outcome::Done:
    case Outcome::Asleep:
      return "";
    case Outcome::NoOpenPermission:
      return "S.M.A.R.T.: no permission to open " + d +
             ": its temperature needs membership in the \"disk\" group and CAP_SYS_RAWIO "
             "(sudo usermod -aG disk $USER; sudo setcap cap_sys_rawio+ep <program>), or root\n";
    case Outcome::NoCommandPermission:
      return "S.M.A.R.T.: the kernel refused ATA pass-through to " + d +
             ": its temperature needs CAP_SYS_RAWIO (sudo setcap cap_sys_rawio+ep <program>), "
             "or root\n";
    case Outcome::Gone:
      return "S.M.A.R.T.: " + d + " is gone or does not answer\n";
    case Outcome::TimedOut:
      return "S.M.A.R.T.: " + d + " did not answer in time\n";
    case Outcome::DiskError:
      return "S.M.A.R.T.: " + d + " reported an error to an ATA command\n";
    case Outcome::SenseMismatch:
      return "S.M.A.R.T.: " + d + " answered with sense data that does not fit the command\n";
    case Outcome::ShortPage:
      return "S.M.A.R.T.: " + d + " sent a short page\n";
    case Outcome::MalformedPage:
      return "S.M.A.R.T.: " + d + " sent a malformed page\n";
    case Outcome::BadChecksum:
      return "S.M.A.R.T.: " + d + " sent a page with a wrong checksum\n";
  }
  return "";
}

iokit::kern_return_t LinuxATADisk::report(Outcome outcome) {
  if (outcome == Outcome::Done) return iokit::kIOReturnSuccess;
  if (outcome == Outcome::Asleep) return iokit::kIOReturnNotReady;
  if (logged_.insert(outcome).second) SystemLog::write(describe(outcome));
  switch (outcome) {
    case Outcome::NoOpenPermission:
    case Outcome::NoCommandPermission:
      return iokit::kIOReturnNotPermitted;
    case Outcome::Gone:
      return iokit::kIOReturnNoDevice;
    default:
      return iokit::kIOReturnError;
  }
}

}  // namespace zor::linuxfs
