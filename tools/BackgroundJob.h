#pragma once
#include <atomic>
#include <functional>
#include <thread>

#include "tools/WorkControl.h"

// Runs one long job (a search, an export) on a thread of its own, so that the window
// stays responsive and a recording goes on. The owner polls running() and the
// control's progress; results travel in whatever the work function captured.
class BackgroundJob {
 public:
  using Work = std::function<void(WorkControl&)>;

  BackgroundJob() = default;
  ~BackgroundJob() { cancel(); }
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // False while another job runs. control().total is the work's to set.
  bool start(Work work) {
    if (running()) return false;
    join();
    control_.reset(0);
    running_ = true;
    thread_ = std::thread([this, w = std::move(work)] {
      w(control_);
      running_ = false;
    });
    return true;
  }
  bool running() const { return running_.load(); }
  void requestStop() { control_.requestStop(); }
  // Waits for the job to end; its results are then complete.
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  // Stop and wait: for a file that changes under the job, or the window closing.
  void cancel() {
    requestStop();
    join();
  }
  WorkControl& control() { return control_; }
  const WorkControl& control() const { return control_; }

 private:
  WorkControl control_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};
