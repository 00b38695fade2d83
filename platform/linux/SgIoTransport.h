#pragma once
// The seam between the ATA S.M.A.R.T. reader and a disk: one SCSI command
// through the kernel's SG_IO request on a block device, with no data or with
// data read from the disk (nothing here can send data to a disk). The live
// implementation is LinuxSgIoTransport; tests install an opener that hands
// out transports answering from recorded pages. Used by AtaDiskSession.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zor::linuxfs {

class SgIoTransport {
 public:
  // What came back: the request's errno (0 when the kernel took it), the
  // SCSI status, the host adapter's and the driver's status, the sense data
  // and the bytes of the data buffer left unfilled.
  struct Answer {
    int error = 0;
    std::uint8_t status = 0;
    std::uint16_t hostStatus = 0;
    std::uint16_t driverStatus = 0;
    std::vector<std::uint8_t> sense;
    std::int32_t residual = 0;
  };
  static constexpr std::uint8_t kGood = 0x00;
  static constexpr std::uint8_t kCheckCondition = 0x02;
  static constexpr std::uint16_t kHostNoConnect = 0x01;
  static constexpr std::uint16_t kHostTimedOut = 0x03;

  // Opens a block device (a path as opened on this machine); null and the
  // errno when it cannot be opened.
  using Opener = std::function<std::unique_ptr<SgIoTransport>(const std::string& path, int* error)>;

  virtual ~SgIoTransport() = default;
  // Sends `commandBlock`; `dataIn` (empty for none) receives what the disk sends.
  virtual Answer execute(std::span<const std::uint8_t> commandBlock, std::span<std::uint8_t> dataIn,
                         std::uint32_t timeoutMilliseconds) = 0;

  // Opens `path` with the installed opener (the live one unless a test installed another).
  static std::unique_ptr<SgIoTransport> open(const std::string& path, int* error);
  // Installs an opener for the life of the object (tests).
  class ScopedOpener {
   public:
    explicit ScopedOpener(Opener opener);
    ~ScopedOpener();
    ScopedOpener(const ScopedOpener&) = delete;
    ScopedOpener& operator=(const ScopedOpener&) = delete;

   private:
    Opener previous_;
  };
};

}  // namespace zor::linuxfs
