#pragma once
#include <QObject>
#include <QProgressBar>
#include <QTimer>
#include <functional>

#include "tools/BackgroundJob.h"

// A dialog's long job (a search, an export): it runs beside the window, a bar shows its
// progress polled every 50 ms, and its end reaches the dialog once, on the window thread.
class PolledJob {
 public:
  PolledJob() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
  }
  ~PolledJob() { job_.cancel(); }
  PolledJob(const PolledJob&) = delete;
  PolledJob& operator=(const PolledJob&) = delete;

  // The bar a job fills, 0 to 100.
  static QProgressBar* makeBar(QWidget* parent, const char* objectName) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(objectName));
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
  }
  void setup(QProgressBar* bar, std::function<void()> finished) {
    bar_ = bar;
    finished_ = std::move(finished);
  }
  // False while one runs.
  bool start(BackgroundJob::Work work) {
    if (busy()) return false;
    bar_->setValue(0);
    pending_ = true;
    job_.start(std::move(work));
    timer_.start();
    return true;
  }
  // Started, and its end not yet handed to the dialog.
  bool busy() const { return job_.running() || pending_; }
  // The Stop button: the job ends at its next look at the flag; its end comes as usual.
  void stop() {
    job_.requestStop();
    bar_->setValue(0);
  }
  // Stop and wait, the end handed over at once: a recording starts or the file changes.
  void cancel() {
    if (!busy()) return;
    job_.cancel();
    finish();
  }

 private:
  void poll() {
    bar_->setValue(job_.control().percent());
    if (!job_.running()) finish();
  }
  void finish() {
    timer_.stop();
    job_.join();
    if (!pending_) return;
    pending_ = false;
    if (finished_) finished_();
  }

  BackgroundJob job_;
  QTimer timer_;
  QProgressBar* bar_ = nullptr;
  std::function<void()> finished_;
  bool pending_ = false;
};
