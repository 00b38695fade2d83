#include "platform/RegularFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace zor {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string tooLarge(std::size_t limit) {
  constexpr std::size_t kMegabyte = 1024 * 1024;
  return "larger than " + (limit % kMegabyte == 0 ? std::to_string(limit / kMegabyte) + " MB"
                                                  : std::to_string(limit) + " bytes");
}

}  // namespace

RegularFileReader::Result RegularFileReader::read(const std::string& path, std::size_t limit) {
  Result result;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    result.outcome = errno == ENOENT ? Outcome::Absent : Outcome::Failed;
    result.error = std::strerror(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.outcome = Outcome::NotRegular;
    result.error = "not a regular file";
    return result;
  }
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    result.outcome = Outcome::TooLarge;
    result.error = tooLarge(limit);
    return result;
  }
  // The size may change while reading (a file being appended to): the limit
  // is kept on what is read, not on what fstat said.
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.error = std::strerror(errno);
      return result;
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<std::size_t>(got) > limit) {
      result.outcome = Outcome::TooLarge;
      result.error = tooLarge(limit);
      return result;
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  result.outcome = Outcome::Read;
  result.bytes = std::move(bytes);
  return result;
}

}  // namespace zor
