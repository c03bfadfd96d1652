// vorlog: monitors and records a serial link in a window.
#include <QApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/MainForm.h"
#include "app/MainTexts.h"
#include "app/MessageForm.h"
#include "app/StartupArgs.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

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
  TFormMain main(options, messages, &progress);
  QApplication::setApplicationDisplayName(Texts::text(TextNo::AppTitle));
  if (opts.record) main.setBeginRecordingAtStart(true);
  main.show();

  if (!opts.screenshot.isEmpty()) {
    QTimer::singleShot(opts.screenshotDelayMs, &main, [&] {
      const bool ok = main.grab().save(opts.screenshot);
      if (!ok) std::fprintf(stderr, "vorlog: cannot write %s\n", qPrintable(opts.screenshot));
      main.closeWithoutQuestions();
    });
  }
  return QApplication::exec();
}
