#pragma once
// One sysfs attribute kept open for repeated reads: sysfs lets a reader read
// the value again from offset 0, so a fresh reading is one pread on a
// descriptor opened at discovery, with no path walk. Used by the Linux
// backend's live drivers (hardware-monitor channels and the SMC's keys).

#include <cstdint>
#include <optional>
#include <string>

namespace zor::linuxfs {

class SysfsAttribute {
 public:
  SysfsAttribute() = default;
  // Opens `path` read-only; isOpen() tells whether that worked.
  explicit SysfsAttribute(const std::string& path);
  ~SysfsAttribute();
  SysfsAttribute(SysfsAttribute&& other) noexcept;
  SysfsAttribute& operator=(SysfsAttribute&& other) noexcept;
  SysfsAttribute(const SysfsAttribute&) = delete;
  SysfsAttribute& operator=(const SysfsAttribute&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // The attribute's text now (trailing line break removed); nothing when the
  // read fails (EIO, ENXIO, EAGAIN from a busy chip, a chip that is gone).
  std::optional<std::string> readText() const;
  // The text as a whole decimal integer (sign allowed, trailing blanks allowed);
  // nothing for empty text, garbage or a value outside 64 bits.
  std::optional<std::int64_t> readInteger() const;
  // The errno of the last failed read, 0 after a good one.
  int lastError() const { return lastError_; }

 private:
  int fd_ = -1;
  mutable int lastError_ = 0;
};

// Whole-text decimal integer parsing shared by every sysfs reader.
std::optional<std::int64_t> parseSysfsInteger(const std::string& text);

}  // namespace zor::linuxfs
