#pragma once
// Where the running machine's files are read from: "/" on the machine itself,
// or a recorded file tree (DIR/sys, DIR/proc, DIR/etc) for tests, demos and
// bug reports. Every reader of the Linux backend asks this for paths, so a
// recorded tree and the live machine go through the same code.

#include <optional>
#include <string>
#include <vector>

namespace zor::linuxfs {

class LinuxRoot {
 public:
  // An empty or "/" directory is the live machine.
  explicit LinuxRoot(std::string directory = "/");

  bool isLiveMachine() const { return prefix_.empty(); }
  const std::string& directory() const { return directory_; }
  // `absolute` ("/sys/class/hwmon") as a path to open.
  std::string path(const std::string& absolute) const;
  // The reverse of path(): the machine's own name for an opened path.
  std::string machinePath(const std::string& opened) const;

  // A small text attribute (sysfs, procfs, /etc) with trailing line breaks
  // and blanks removed; nothing when it cannot be read or is a folder.
  std::optional<std::string> readText(const std::string& absolute) const;
  // A whole file as it stands; nothing when it cannot be read.
  std::optional<std::string> readFile(const std::string& absolute) const;
  // Names in a folder, sorted, without "." and ".."; empty when there is none.
  std::vector<std::string> list(const std::string& absolute) const;
  // Where a link points, resolved inside the root; nothing for a dangling link.
  std::optional<std::string> resolve(const std::string& absolute) const;

 private:
  std::string directory_;
  std::string prefix_;  // "" for the live machine, else the directory without a trailing '/'
};

}  // namespace zor::linuxfs
