#pragma once
// An ATA disk of the running Linux machine as its S.M.A.R.T. objects share
// it: the block device to open and which failures have been logged. Each
// open (a plug-in interface) gets its own AtaDiskSession; every failure is
// logged once per disk and kind, so a disk that cannot be read says why
// once and its readings are simply -1. A disk in standby is not a failure:
// it is skipped without a word. Shared by LinuxATASMARTPlugIn,
// LinuxATASMARTInterface and ATADiskDriverBehaviour.

#include <memory>
#include <set>
#include <string>

#include "platform/IOKitTypes.h"
#include "platform/linux/AtaDiskSession.h"

namespace zor::linuxfs {

class LinuxATADisk {
 public:
  explicit LinuxATADisk(std::string device) : device_(std::move(device)) {}

  const std::string& device() const { return device_; }
  // A session on the disk; null (the failure logged) when it cannot be opened.
  std::shared_ptr<AtaDiskSession> open();
  // The return code of a session's outcome, logging a failure the first time.
  iokit::kern_return_t report(AtaDiskSession::Outcome outcome);
  // The log line of a failure (empty for Done and Asleep).
  std::string describe(AtaDiskSession::Outcome outcome) const;

 private:
  std::string device_;
  std::set<AtaDiskSession::Outcome> logged_;
};

}  // namespace zor::linuxfs
