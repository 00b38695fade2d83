#pragma once
// The wall clock behind one interface. Production code asks Clock::current();
// tests install a ManualClock and move time by hand, so nothing sleeps to wait
// for a cache or an access interval to pass.

#include <memory>

namespace zor {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970-01-01 00:00:00 UTC.
  virtual double now() const = 0;

  static Clock& current();
  // Installs a clock for the whole process; null restores the system clock.
  static void setCurrent(std::shared_ptr<Clock> clock);
};

class SystemClock final : public Clock {
 public:
  double now() const override;
};

class ManualClock final : public Clock {
 public:
  explicit ManualClock(double start = 1.0e9) : now_(start) {}
  double now() const override { return now_; }
  void set(double seconds) { now_ = seconds; }
  void advance(double seconds) { now_ += seconds; }

 private:
  double now_;
};

// Installs a ManualClock for the life of the object (tests).
class ScopedManualClock {
 public:
  explicit ScopedManualClock(double start = 1.0e9);
  ~ScopedManualClock();
  ScopedManualClock(const ScopedManualClock&) = delete;
  ScopedManualClock& operator=(const ScopedManualClock&) = delete;
  ManualClock& clock() { return *clock_; }
  void advance(double seconds) { clock_->advance(seconds); }

 private:
  std::shared_ptr<ManualClock> clock_;
};

}  // namespace zor
