#pragma once
// The upper limits a hardware-monitor chip publishes beside a channel's
// "_input": "<channel>_max" (the chip warns above it) and "<channel>_crit"
// (above it the part is in danger), in the kernel's units, turned into the
// channel's published units like its readings. Chips leave unset limit
// registers at 0, which no upper limit of a working part is, so a limit of
// zero or below counts as none; so does one that is unreadable or out of the
// kind's range. Read once when the chip is scanned (limits are settings, not
// readings). Used by HwmonScanner.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/HwmonKind.h"
#include "platform/linux/LinuxRoot.h"

namespace zor::linuxfs {

struct HwmonLimits {
  std::optional<std::int32_t> max;
  std::optional<std::int32_t> crit;

  // The limits of channel `channel` ("temp2") of `kind` in the chip folder `folder`.
  static HwmonLimits read(const LinuxRoot& root, const std::string& folder,
                          const std::string& channel, const HwmonKind& kind);
};

}  // namespace zor::linuxfs
