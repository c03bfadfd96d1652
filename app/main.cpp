// vorlog: monitors and records a serial link in a window.
#include <QApplication>
#include <QTimer>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

#include "app/MainForm.h"
#include "app/MainTexts.h"
#include "app/MessageForm.h"
#include "app/StartupArgs.h"
#include "recording/CaptureSession.h"
#include "settings/StopSignals.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace {

// Milliseconds since the kernel started this process (its start time counts in clock ticks).
long long msSinceProcessStart() {
  QFile stat(QStringLiteral("/proc/self/stat"));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  const QByteArray line = stat.readAll();
  // The command name in parentheses may hold blanks; the fields after it are plain.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 20) return -1;
  const double startSeconds = fields[19].toDouble() / double(sysconf(_SC_CLK_TCK));
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<long long>((double(now.tv_sec) + double(now.tv_nsec) / 1e9 - startSeconds) * 1000.0);
}

// VmRSS of this process in kB, as /proc/self/status tells it.
long long residentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // A file size limit must turn into a failed write we can report, not a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  QApplication::setApplicationName(QStringLiteral("Vorlog"));

  const QStringList args = app.arguments().mid(1);
  const StartupOptions opts = parseStartupOptions(args);
  if (!opts.error.isEmpty()) {
    std::fprintf(stderr, "vorlog: %s\n", qPrintable(Texts::text(TextNo::UnknownOption).arg(opts.error)));
    return 2;
  }
  if (!ensureUserPath()) std::fprintf(stderr, "vorlog: cannot create the user folder %s\n", qPrintable(userPath()));

  // The message box exists before the main window: start-up may need it.
  TMessageForm messageForm;
  messageForm.InitialLoads();
  GuiMessages messages(messageForm);
  TProgressForm progress;

  MainFormOptions options;
  options.arguments = args;
  options.userPath = userPath();
  options.simulate = opts.simulate;
  options.scenario = opts.scenario;
  options.replay = opts.replay;
  TFormMain main(options, messages, &progress);
  QApplication::setApplicationDisplayName(Texts::text(TextNo::AppTitle));
  if (opts.record) main.setBeginRecordingAtStart(true);
  main.show();
  StopSignals stopSignals;
  QObject::connect(&stopSignals, &StopSignals::received, &main, &TFormMain::endOnSignal);

  if (opts.gotoEvent >= 0) {
    QObject::connect(&main, &TFormMain::startupFinished, &main, [&] { main.showEventAtTop(opts.gotoEvent); });
  }
  if (opts.exitWhenShown) {
    QObject::connect(&main, &TFormMain::startupFinished, &main, [&] {
      // Once the events now queued (the first paint among them) are done.
      QTimer::singleShot(0, &main, [&] {
        std::printf("%s\n", qPrintable(Texts::text(TextNo::ShownAfter).arg(msSinceProcessStart()).arg(residentKb())));
        std::fflush(stdout);
        main.closeWithoutQuestions();
      });
    });
  }
  if (!opts.screenshot.isEmpty()) {
    QTimer::singleShot(opts.screenshotDelayMs, &main, [&] {
      const bool ok = main.grab().save(opts.screenshot);
      if (!ok) std::fprintf(stderr, "vorlog: cannot write %s\n", qPrintable(opts.screenshot));
      main.closeWithoutQuestions();
    });
  }
  return QApplication::exec();
}
