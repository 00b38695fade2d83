#include "smc/ZORSMCCachedValue.h"

#include "platform/Clock.h"

namespace zor {
namespace {

double& expireTime() {
  static double seconds = 1.0;
  return seconds;
}

}  // namespace

void ZORSMCCachedValue::setCacheExpireTime(double seconds) {
  // Written so that NaN fails the test as well.
  if (seconds > 0.0) expireTime() = seconds;
}

double ZORSMCCachedValue::cacheExpireTime() {
  return expireTime();
}

void ZORSMCCachedValue::setCachedValue(const _ZORSMCValue* value) {
  if (value == nullptr) return;
  value_ = *value;
  stored_ = true;
  timestamp_ = Clock::current().now();
}

bool ZORSMCCachedValue::isValid() const {
  if (!stored_) return false;
  return expireTime() >= Clock::current().now() - timestamp_;
}

}  // namespace zor
