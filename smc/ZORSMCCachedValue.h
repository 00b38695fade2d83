#pragma once
// The last value read for one SMC key and the wall-clock time it was read.
// The SMC connection keeps one per key it has read and answers a repeated
// read from it while it is younger than the process-wide expiry time, so a
// sensor polled often costs the SMC at most one read per expiry period.

#include "smc/_ZORSMCValue.h"

namespace zor {

class ZORSMCCachedValue {
 public:
  // Every field 0: never valid.
  ZORSMCCachedValue() = default;

  // The expiry time shared by every entry of the process (1 second at
  // start); read at every validity check, so a change affects entries
  // already stored. Only values above 0 are taken: 0, negatives and NaN
  // leave the setting as it was.
  static void setCacheExpireTime(double seconds);
  static double cacheExpireTime();

  // Copies the whole record and stamps the current time; null changes nothing.
  void setCachedValue(const _ZORSMCValue* value);
  // The stored record, all 32 bytes.
  _ZORSMCValue cachedValue() const { return value_; }
  // True while (now - timestamp) <= expiry time; a clock set backwards keeps
  // the entry valid until it has caught up.
  bool isValid() const;
  double timestamp() const { return timestamp_; }

 private:
  double timestamp_ = 0.0;
  // An entry never set is invalid whatever the expiry time, even one longer
  // than the time since 1970.
  bool stored_ = false;
  _ZORSMCValue value_{};
};

}  // namespace zor
