#pragma once
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "cli/Console.h"
#include "settings/StopSignals.h"
#include "tools/WorkControl.h"

// Runs a long job of the command line (an export, a report) on a thread beside the
// event loop. The loop shows the job's progress line on a terminal every 100 ms (not
// with --quiet) and turns Ctrl-C, SIGTERM and SIGHUP into the job's stop request.
inline void runBesideEventLoop(WorkControl& control, bool quiet, const std::function<void()>& work,
                               const std::function<QString()>& progressText) {
  std::atomic<bool> finished{false};
  StopSignals stopSignals;
  QObject::connect(&stopSignals, &StopSignals::received, [&] { control.requestStop(); });
  std::thread worker([&] {
    work();
    finished = true;
  });
  const bool showProgress = !quiet && ::isatty(STDERR_FILENO);
  const auto line = [&] { return QStringLiteral("\r") + progressText() + QStringLiteral("   "); };
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (finished)
      QCoreApplication::exit(0);
    else if (showProgress)
      printErr(line());
  });
  poll.start(100);
  QCoreApplication::exec();
  worker.join();
  if (showProgress) printErr(line() + QLatin1Char('\n'));
}
