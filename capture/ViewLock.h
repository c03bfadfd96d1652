#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

// Orders the data handlers against the redraw thread: an event that is either
// released (free) or taken. A waiter gives up after its time-out and goes on anyway.
class ViewLock {
 public:
  // Waits until released or the time-out passes, then takes it; true when it was released in time.
  bool waitAndTake(std::chrono::milliseconds timeout = std::chrono::milliseconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool free = released_.wait_for(lock, timeout, [this] { return free_; });
    free_ = false;
    return free;
  }
  // Waits until released or the time-out passes, leaving it as it is (the redraw thread
  // only lets the handlers finish first); true when it was released in time.
  bool waitReleased(std::chrono::milliseconds timeout = std::chrono::milliseconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return released_.wait_for(lock, timeout, [this] { return free_; });
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_ = true;
    }
    released_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool free_ = true;
};
