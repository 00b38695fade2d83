#include "platform/linux/LinuxRoot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace zor::linuxfs {
namespace {

// sysfs and procfs attributes are small; a bigger "attribute" is not one.
constexpr std::size_t kMaximumTextSize = 64 * 1024;

std::optional<std::string> readDescriptor(int fd, std::size_t limit) {
  std::string bytes;
  char buffer[4096];
  while (bytes.size() < limit) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

std::optional<std::string> readPath(const std::string& path, std::size_t limit) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  auto bytes = readDescriptor(fd, limit);
  ::close(fd);
  return bytes;
}

}  // namespace

LinuxRoot::LinuxRoot(std::string directory)
    : directory_(directory.empty() ? std::string(1, '/') : std::move(directory)),
      prefix_(directory_) {
  while (!prefix_.empty() && prefix_.back() == '/') prefix_.pop_back();
}

std::string LinuxRoot::path(const std::string& absolute) const {
  return prefix_ + absolute;
}

std::string LinuxRoot::machinePath(const std::string& opened) const {
  if (!prefix_.empty() && opened.compare(0, prefix_.size(), prefix_) == 0) {
    return opened.substr(prefix_.size());
  }
  return opened;
}

std::optional<std::string> LinuxRoot::readText(const std::string& absolute) const {
  auto text = readPath(path(absolute), kMaximumTextSize);
  if (!text) return std::nullopt;
  while (!text->empty() && (text->back() == '\n' || text->back() == ' ' || text->back() == '\t' ||
                            text->back() == '\r')) {
    text->pop_back();
  }
  return text;
}

std::optional<std::string> LinuxRoot::readFile(const std::string& absolute) const {
  return readPath(path(absolute), SIZE_MAX);
}

std::vector<std::string> LinuxRoot::list(const std::string& absolute) const {
  std::vector<std::string> names;
  DIR* folder = ::opendir(path(absolute).c_str());
  if (folder == nullptr) return names;
  while (dirent* item = ::readdir(folder)) {
    std::string name = item->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> LinuxRoot::resolve(const std::string& absolute) const {
  // Recorded trees hold links relative to their own folders ("../../devices/..."),
  // as sysfs does, so resolving the opened path and mapping back stays inside the root.
  char resolved[PATH_MAX];
  if (::realpath(path(absolute).c_str(), resolved) == nullptr) return std::nullopt;
  std::string opened = resolved;
  if (!prefix_.empty()) {
    char base[PATH_MAX];
    if (::realpath(prefix_.c_str(), base) == nullptr) return std::nullopt;
    std::string root = base;
    if (opened.compare(0, root.size(), root) != 0) return std::nullopt;
    if (opened.size() == root.size()) return std::string("/");
    opened.erase(0, root.size());
    return opened;
  }
  return opened;
}

}  // namespace zor::linuxfs
