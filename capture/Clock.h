#pragma once
#include <cstdint>

// The high-resolution counter and the wall clock that time stamps count from.
class Clock {
 public:
  virtual ~Clock() = default;
  // Ticks per second; 0 when the system has no usable counter.
  virtual uint64_t frequency() const = 0;
  virtual uint64_t ticks() const = 0;
  // Current local date-time as an OLE Automation date (days since 1899-12-30).
  virtual double now() const = 0;
  // The counter reading at a CLOCK_MONOTONIC time in nanoseconds, taken where bytes
  // were read; a clock not tied to the system counter answers with its reading now.
  virtual uint64_t ticksAtMonotonic(uint64_t) const { return ticks(); }
};

// CLOCK_MONOTONIC in nanoseconds, local time from CLOCK_REALTIME.
class MonotonicClock : public Clock {
 public:
  uint64_t frequency() const override;
  uint64_t ticks() const override;
  double now() const override;
  uint64_t ticksAtMonotonic(uint64_t monotonicNs) const override { return monotonicNs; }
};

// CLOCK_MONOTONIC now, in nanoseconds: what devices stamp their reads with.
uint64_t monotonicNanoseconds();

// A clock the caller sets; for tests and simulations on an injected time line.
class ManualClock : public Clock {
 public:
  explicit ManualClock(double startDate = 46000.5, uint64_t freq = 1000000000ull) : date_(startDate), freq_(freq) {}
  uint64_t frequency() const override { return freq_; }
  uint64_t ticks() const override { return ticks_; }
  double now() const override { return date_ + (freq_ ? double(ticks_ - startTicks_) / double(freq_) / 86400.0 : 0); }
  void setTicks(uint64_t t) { ticks_ = t; }
  void advance(uint64_t dt) { ticks_ += dt; }
  // Restarts the wall clock at a date, keeping the counter where it is.
  void setDate(double date) {
    date_ = date;
    startTicks_ = ticks_;
  }

 private:
  double date_;
  uint64_t freq_;
  uint64_t ticks_ = 1;
  uint64_t startTicks_ = 1;
};

// Converts an OLE Automation date to Unix seconds (local time interpreted as UTC) and back.
double oleDateFromUnixLocal(double unixLocalSeconds);
double unixLocalFromOleDate(double oleDate);
