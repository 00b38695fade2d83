#include "platform/Clock.h"

#include <chrono>

namespace zor {
namespace {
std::shared_ptr<Clock>& installedClock() {
  static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
  return clock;
}
}  // namespace

Clock& Clock::current() {
  return *installedClock();
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
  installedClock() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

double SystemClock::now() const {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

ScopedManualClock::ScopedManualClock(double start) : clock_(std::make_shared<ManualClock>(start)) {
  Clock::setCurrent(clock_);
}

ScopedManualClock::~ScopedManualClock() {
  Clock::setCurrent(nullptr);
}

}  // namespace zor
