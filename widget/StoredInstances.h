#pragma once
// The widget instances whose choices one machine's dictionary in the widget
// preferences holds. Every instance W owns the keys "W:..." there; a tab of
// the widget is an instance of its own, so without a bound the file (and the
// time every write takes) grows with every tab ever opened. The controller
// asks, on each write, which instances to forget: the least recently used
// beyond the bound, judged by each instance's "W:LastUsed" date (an
// instance without one, stored by an older version, counts as the oldest).

#include <cstddef>
#include <string>
#include <vector>

#include "platform/PropertyList.h"

namespace zor {

class StoredInstances {
 public:
  static constexpr std::size_t kMaximum = 256;
  static constexpr const char* kLastUsedKey = "LastUsed";

  struct Forgotten {
    std::size_t instances = 0;
    std::vector<std::string> keys;  // every key the forgotten instances own
  };

  // What to remove from `machine` so that at most `maximum` instances remain,
  // `keep` (the instance writing now, stored or not yet) always among them.
  static Forgotten leastRecentlyUsed(const PlistDictionary& machine, const std::string& keep,
                                     std::size_t maximum = kMaximum);
};

}  // namespace zor
