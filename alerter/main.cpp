// klaxor: the alerter that Vorlog's triggers start. Its command line says what to do.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "alerter/KlaxorTexts.h"
#include "alerter/ui/AlertWindow.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  // The switches are taken as they stand: Qt must not read "-session..." or "-reverse"
  // out of them, so it sees the program name only.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("Klaxor"));
  std::signal(SIGPIPE, SIG_IGN);

  Klaxor::useKlaxorTexts();
  Texts::setLanguageOffset(Klaxor::languageOffsetFor(QLocale::system()));

  AlertWindow window(arguments, userPath());

  // Ended by the session or by kill: close as the close button does, so the window is
  // counted out and its command line's sound stops.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) == 0) {
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
      char byte;
      [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &byte, 1);
      window.btnCloseClick();
    });
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, onSignal);
  }

  // For measuring: KLAXOR_VISIBLE_STAMP=1 prints the wall clock in microseconds when
  // the window is fully visible and then closes it.
  if (!qEnvironmentVariableIsEmpty("KLAXOR_VISIBLE_STAMP")) {
    QObject::connect(&window, &AlertWindow::fullyVisible, &window, [&window] {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::printf("visible %lld\n",
                  static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
      std::fflush(stdout);
      window.btnCloseClick();
    });
  }
  window.start();
  return QApplication::exec();
}
