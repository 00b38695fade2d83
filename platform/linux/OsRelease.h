#pragma once
// The operating system's own description of itself: /etc/os-release (or
// /usr/lib/os-release, where distributions keep the original), a list of
// KEY=value lines whose values may be quoted as in a shell. Read by
// LinuxMachine for the system's name and version.

#include <map>
#include <optional>
#include <string>

#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

class OsRelease {
 public:
  // Nothing when neither file can be read.
  static std::optional<OsRelease> read(const LinuxRoot& root);
  // The fields of one file's text; lines that are not assignments are skipped.
  static OsRelease parse(const std::string& text);

  // A field's value, or nothing when the file does not give it (or gives "").
  std::optional<std::string> field(const std::string& key) const;
  // "PRETTY_NAME", else "NAME VERSION", else "NAME"; "Linux" when none is given.
  std::string prettyName() const;

 private:
  std::map<std::string, std::string> fields_;
};

}  // namespace zor::linuxfs
