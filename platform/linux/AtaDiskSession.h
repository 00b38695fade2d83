#pragma once
// One open of an ATA disk (through the SCSI/ATA translation layer) for the
// S.M.A.R.T. commands the S.M.A.R.T. family uses: IDENTIFY DEVICE, SMART
// READ DATA, SMART READ THRESHOLDS, SMART RETURN STATUS and SMART ENABLE
// OPERATIONS, each an ATA PASS-THROUGH(16) over the transport. Before the
// first of them it asks CHECK POWER MODE, and a disk in standby (or one that
// cannot tell) is sent nothing more, so it is never spun up. Every answer is
// checked: the request, the SCSI and host status, the sense data, a short
// transfer, the page's checksum. Nothing here sends data to the disk; SMART
// ENABLE is the only command that changes it. Used by the Linux S.M.A.R.T.
// plug-in objects and the disk driver's dump.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/linux/AtaPassThrough.h"
#include "platform/linux/SgIoTransport.h"

namespace zor::linuxfs {

class AtaDiskSession {
 public:
  using Page = std::array<std::uint8_t, 512>;

  enum class Outcome {
    Done,
    Asleep,               // in standby: skipped, not woken
    NoOpenPermission,     // the device could not be opened: EACCES, EPERM
    NoCommandPermission,  // the kernel refused the pass-through command
    Gone,                 // removed, or no longer answering
    TimedOut,
    DiskError,      // the disk or the adapter reported an error
    SenseMismatch,  // sense data that does not fit the command
    ShortPage,
    MalformedPage,
    BadChecksum,
  };

  explicit AtaDiskSession(std::unique_ptr<SgIoTransport> transport)
      : transport_(std::move(transport)) {}

  Outcome identify(Page* page);
  Outcome readData(Page* page);
  Outcome readThresholds(Page* page);
  Outcome returnStatus(bool* thresholdExceeded);
  Outcome enable();
  // What CHECK POWER MODE said: Done when the disk is spinning, Asleep in
  // standby, the failure otherwise. Asked once per session.
  Outcome powerState();

 private:
  using Registers = AtaPassThrough::Registers;
  // One command; `answer` receives the returned registers when asked for.
  Outcome run(const Registers& registers, AtaPassThrough::Protocol protocol,
              std::span<std::uint8_t> dataIn, Registers* answer);
  Outcome readSMARTPage(std::uint8_t feature, Page* page);

  std::unique_ptr<SgIoTransport> transport_;
  std::optional<Outcome> power_;
};

}  // namespace zor::linuxfs
