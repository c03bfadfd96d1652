#include "capture/Clock.h"

#include <ctime>

namespace {
constexpr double kOleUnixEpochDays = 25569.0;  // 1970-01-01 as an OLE date
}

uint64_t MonotonicClock::frequency() const {
  timespec res{};
  if (clock_getres(CLOCK_MONOTONIC, &res) != 0) return 0;
  return 1000000000ull;
}

uint64_t monotonicNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

uint64_t MonotonicClock::ticks() const { return monotonicNanoseconds(); }

double MonotonicClock::now() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &local);
  return oleDateFromUnixLocal(double(ts.tv_sec + local.tm_gmtoff) + ts.tv_nsec / 1e9);
}

double oleDateFromUnixLocal(double s) { return s / 86400.0 + kOleUnixEpochDays; }
double unixLocalFromOleDate(double d) { return (d - kOleUnixEpochDays) * 86400.0; }
