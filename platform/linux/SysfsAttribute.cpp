#include "platform/linux/SysfsAttribute.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace zor::linuxfs {

SysfsAttribute::SysfsAttribute(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    lastError_ = errno;
    return;
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
    lastError_ = EISDIR;
    ::close(fd_);
    fd_ = -1;
  }
}

SysfsAttribute::~SysfsAttribute() {
  if (fd_ >= 0) ::close(fd_);
}

SysfsAttribute::SysfsAttribute(SysfsAttribute&& other) noexcept
    : fd_(other.fd_), lastError_(other.lastError_) {
  other.fd_ = -1;
}

SysfsAttribute& SysfsAttribute::operator=(SysfsAttribute&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    lastError_ = other.lastError_;
    other.fd_ = -1;
  }
  return *this;
}

std::optional<std::string> SysfsAttribute::readText() const {
  if (fd_ < 0) return std::nullopt;
  // Attributes are at most a page; one pread from 0 gets the whole value.
  char buffer[4096];
  ssize_t got = ::pread(fd_, buffer, sizeof buffer, 0);
  if (got < 0) {
    lastError_ = errno;
    return std::nullopt;
  }
  lastError_ = 0;
  std::string text(buffer, static_cast<std::size_t>(got));
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::optional<std::int64_t> SysfsAttribute::readInteger() const {
  auto text = readText();
  if (!text) return std::nullopt;
  return parseSysfsInteger(*text);
}

std::optional<std::int64_t> parseSysfsInteger(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  if (end == 0) return std::nullopt;
  const char* first = text.data();
  if (*first == '+') ++first;
  std::int64_t value = 0;
  auto [stop, error] = std::from_chars(first, text.data() + end, value);
  if (error != std::errc() || stop != text.data() + end) return std::nullopt;
  return value;
}

}  // namespace zor::linuxfs
