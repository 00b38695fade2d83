#include "platform/linux/LinuxSgIoTransport.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace zor::linuxfs {
namespace {

constexpr std::size_t kSenseBufferSize = 32;

}  // namespace

std::unique_ptr<SgIoTransport> LinuxSgIoTransport::open(const std::string& path, int* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  if (error) *error = 0;
  return std::unique_ptr<SgIoTransport>(new LinuxSgIoTransport(fd));
}

LinuxSgIoTransport::~LinuxSgIoTransport() {
  ::close(fd_);
}

SgIoTransport::Answer LinuxSgIoTransport::execute(std::span<const std::uint8_t> commandBlock,
                                                  std::span<std::uint8_t> dataIn,
                                                  std::uint32_t timeoutMilliseconds) {
  Answer answer;
  std::uint8_t sense[kSenseBufferSize] = {};
  sg_io_hdr_t request{};
  request.interface_id = 'S';
  request.cmdp = const_cast<unsigned char*>(commandBlock.data());
  request.cmd_len = static_cast<unsigned char>(commandBlock.size());
  request.dxfer_direction = dataIn.empty() ? SG_DXFER_NONE : SG_DXFER_FROM_DEV;
  request.dxferp = dataIn.empty() ? nullptr : dataIn.data();
  request.dxfer_len = static_cast<unsigned int>(dataIn.size());
  request.sbp = sense;
  request.mx_sb_len = sizeof sense;
  request.timeout = timeoutMilliseconds;
  if (::ioctl(fd_, SG_IO, &request) != 0) {
    answer.error = errno;
    return answer;
  }
  answer.status = request.status;
  answer.hostStatus = request.host_status;
  answer.driverStatus = request.driver_status;
  answer.residual = request.resid;
  std::size_t senseLength = std::min<std::size_t>(request.sb_len_wr, sizeof sense);
  answer.sense.assign(sense, sense + senseLength);
  return answer;
}

}  // namespace zor::linuxfs
