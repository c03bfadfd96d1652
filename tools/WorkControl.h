#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>

// What a long job (search, export) shares with whoever watches it: a stop request and
// how far it got. The worker writes, the window's timer or the CLI's progress line reads.
struct WorkControl {
  std::atomic<bool> stop{false};
  std::atomic<int64_t> done{0};   // records handled so far
  std::atomic<int64_t> total{0};  // records the job will handle

  bool stopRequested() const { return stop.load(std::memory_order_relaxed); }
  void requestStop() { stop.store(true, std::memory_order_relaxed); }
  void reset(int64_t totalRecords) {
    stop = false;
    done = 0;
    total = totalRecords;
  }
  // 0 to 100, computed in 64 bits.
  int percent() const {
    const int64_t t = total.load(std::memory_order_relaxed);
    if (t <= 0) return 0;
    return int(std::clamp<int64_t>(done.load(std::memory_order_relaxed) * 100 / t, 0, 100));
  }
};
