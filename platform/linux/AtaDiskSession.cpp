#include "platform/linux/AtaDiskSession.h"

#include <cerrno>
#include <numeric>

namespace zor::linuxfs {
namespace {

using Outcome = AtaDiskSession::Outcome;
using Protocol = AtaPassThrough::Protocol;

constexpr std::uint32_t kTimeoutMilliseconds = 5000;

// ATA commands and the SMART command's features (ATA8-ACS).
constexpr std::uint8_t kIdentifyDevice = 0xEC;
constexpr std::uint8_t kCheckPowerMode = 0xE5;
constexpr std::uint8_t kSMART = 0xB0;
constexpr std::uint8_t kReadData = 0xD0;
constexpr std::uint8_t kReadThresholds = 0xD1;
constexpr std::uint8_t kEnableOperations = 0xD8;
constexpr std::uint8_t kReturnStatus = 0xDA;
// Every SMART command carries C2h in LBA high and 4Fh in LBA mid; RETURN
// STATUS answers 2Ch/F4h there when a threshold is exceeded.
constexpr std::uint32_t kSMARTSignature = 0xC24F00;
constexpr std::uint32_t kSMARTExceeded = 0x2CF400;
constexpr std::uint32_t kLbaMidHigh = 0xFFFF00;
// Sense keys that do not report an error, and the status register's error
// and device-fault bits.
constexpr std::uint8_t kNoSense = 0x00;
constexpr std::uint8_t kRecoveredError = 0x01;
constexpr std::uint8_t kErrorBits = 0x21;
// The driver-status value of a command the kernel gave up on.
constexpr std::uint16_t kDriverTimedOut = 0x06;
// IDENTIFY DEVICE word 255: signature A5h in the low byte, then the checksum.
constexpr std::size_t kIntegrityWord = 510;
constexpr std::uint8_t kIntegritySignature = 0xA5;

bool sumsToZero(const AtaDiskSession::Page& page) {
  return std::accumulate(page.begin(), page.end(), 0u) % 256 == 0;
}

Outcome requestFailure(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return Outcome::NoCommandPermission;
    case ENODEV:
    case ENXIO:
    case ENOENT:
      return Outcome::Gone;
    case ETIMEDOUT:
      return Outcome::TimedOut;
    default:
      return Outcome::DiskError;
  }
}

}  // namespace

Outcome AtaDiskSession::run(const Registers& registers, Protocol protocol,
                            std::span<std::uint8_t> dataIn, Registers* answer) {
  const bool wantRegisters = answer != nullptr;
  auto block = AtaPassThrough::commandBlock(registers, protocol, wantRegisters);
  SgIoTransport::Answer got = transport_->execute(block, dataIn, kTimeoutMilliseconds);
  if (got.error != 0) return requestFailure(got.error);
  if (got.hostStatus == SgIoTransport::kHostTimedOut) return Outcome::TimedOut;
  if (got.hostStatus == SgIoTransport::kHostNoConnect) return Outcome::Gone;
  if (got.hostStatus != 0) return Outcome::DiskError;
  if ((got.driverStatus & 0x0F) == kDriverTimedOut) return Outcome::TimedOut;
  auto sense = AtaPassThrough::decodeSense(got.sense);
  if (got.status == SgIoTransport::kCheckCondition) {
    if (!sense) return Outcome::SenseMismatch;
    // An error reported as such (aborted command, medium error, ...).
    if (sense->key != kNoSense && sense->key != kRecoveredError) return Outcome::DiskError;
    // Otherwise only the registers returned as asked (or unasked) are a success.
    if (!AtaPassThrough::isRegisterReturn(*sense)) {
      bool errorBits = sense->registers && (sense->registers->command & kErrorBits) != 0;
      return errorBits ? Outcome::DiskError : Outcome::SenseMismatch;
    }
  } else if (got.status != SgIoTransport::kGood) {
    return Outcome::DiskError;
  } else if (wantRegisters) {
    // Asked for the registers and got none: the answer does not fit.
    if (!sense || !AtaPassThrough::isRegisterReturn(*sense)) return Outcome::SenseMismatch;
  }
  if (wantRegisters) *answer = *sense->registers;
  if (!dataIn.empty() && got.residual != 0) return Outcome::ShortPage;
  return Outcome::Done;
}

Outcome AtaDiskSession::powerState() {
  if (power_) return *power_;
  Registers in;
  in.command = kCheckPowerMode;
  Registers out;
  Outcome outcome = run(in, Protocol::NonData, {}, &out);
  if (outcome == Outcome::Done) {
    // 00h standby, 01h standby (ACS-4), 40h NV cache with the media spun down.
    if (out.count == 0x00 || out.count == 0x01 || out.count == 0x40) outcome = Outcome::Asleep;
  }
  power_ = outcome;
  return outcome;
}

Outcome AtaDiskSession::identify(Page* page) {
  if (Outcome power = powerState(); power != Outcome::Done) return power;
  Registers in;
  in.count = 1;
  in.command = kIdentifyDevice;
  Outcome outcome = run(in, Protocol::PioDataIn, *page, nullptr);
  if (outcome != Outcome::Done) return outcome;
  // Word 0 bit 15 set is a packet device's answer, not an ATA disk's.
  if (((*page)[1] & 0x80) != 0) return Outcome::MalformedPage;
  if ((*page)[kIntegrityWord] == kIntegritySignature && !sumsToZero(*page)) {
    return Outcome::BadChecksum;
  }
  return Outcome::Done;
}

Outcome AtaDiskSession::readSMARTPage(std::uint8_t feature, Page* page) {
  if (Outcome power = powerState(); power != Outcome::Done) return power;
  Registers in;
  in.features = feature;
  in.count = 1;
  in.lba = kSMARTSignature;
  in.command = kSMART;
  Outcome outcome = run(in, Protocol::PioDataIn, *page, nullptr);
  if (outcome != Outcome::Done) return outcome;
  // A page starts with its revision number, never 0, and sums to 0.
  if ((*page)[0] == 0 && (*page)[1] == 0) return Outcome::MalformedPage;
  return sumsToZero(*page) ? Outcome::Done : Outcome::BadChecksum;
}

Outcome AtaDiskSession::readData(Page* page) {
  return readSMARTPage(kReadData, page);
}

Outcome AtaDiskSession::readThresholds(Page* page) {
  return readSMARTPage(kReadThresholds, page);
}

Outcome AtaDiskSession::returnStatus(bool* thresholdExceeded) {
  if (Outcome power = powerState(); power != Outcome::Done) return power;
  Registers in;
  in.features = kReturnStatus;
  in.lba = kSMARTSignature;
  in.command = kSMART;
  Registers out;
  Outcome outcome = run(in, Protocol::NonData, {}, &out);
  if (outcome != Outcome::Done) return outcome;
  if ((out.lba & kLbaMidHigh) == kSMARTSignature) {
    *thresholdExceeded = false;
  } else if ((out.lba & kLbaMidHigh) == kSMARTExceeded) {
    *thresholdExceeded = true;
  } else {
    return Outcome::SenseMismatch;
  }
  return Outcome::Done;
}

Outcome AtaDiskSession::enable() {
  if (Outcome power = powerState(); power != Outcome::Done) return power;
  Registers in;
  in.features = kEnableOperations;
  in.lba = kSMARTSignature;
  in.command = kSMART;
  return run(in, Protocol::NonData, {}, nullptr);
}

}  // namespace zor::linuxfs
