#pragma once
// Runs the event loop until done() or the deadline; never sleeps longer than a tick.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  QTimer tick;
  tick.start(1);
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}
