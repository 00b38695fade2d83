#pragma once
// The live SG_IO transport: a block device opened read-only and
// non-blocking (the kernel still lets a reader send ATA pass-through when
// the process holds CAP_SYS_RAWIO), one SG_IO request per command. Made by
// SgIoTransport::open unless a test installed another opener.

#include <memory>
#include <string>

#include "platform/linux/SgIoTransport.h"

namespace zor::linuxfs {

class LinuxSgIoTransport final : public SgIoTransport {
 public:
  // Null and the errno when the device cannot be opened.
  static std::unique_ptr<SgIoTransport> open(const std::string& path, int* error);
  ~LinuxSgIoTransport() override;
  LinuxSgIoTransport(const LinuxSgIoTransport&) = delete;
  LinuxSgIoTransport& operator=(const LinuxSgIoTransport&) = delete;

  Answer execute(std::span<const std::uint8_t> commandBlock, std::span<std::uint8_t> dataIn,
                 std::uint32_t timeoutMilliseconds) override;

 private:
  explicit LinuxSgIoTransport(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace zor::linuxfs
