#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "capture/TapLink.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/CliRecording.h"
#include "recording/CaptureSession.h"
#include "recording/RecordFileName.h"
#include "settings/StopSignals.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace TextNo {
constexpr int AppendOrReplace = 9403, BaudValue = 9404, DataBitsValue = 9405, ParityValue = 9406;
constexpr int StopBitsValue = 9407, DurationValue = 9408, ComRange = 9412;
constexpr int Connect = 9376, SettingsApplied = 9377, SettingsRefused = 9378, TapUsage = 9379, LinkMissing = 9380;
constexpr int Dropped = 9391, NotOffered = 9500;
constexpr int SerialError = 2000;
}  // namespace TextNo

namespace {
class CliUi : public RecorderUi {};
}  // namespace

// Relays a serial device to a program on this machine through a pseudo-terminal and
// records both directions: what the program sends as D1, what the device sends as D2.
int runTap(const QStringList& in) {
  const Args a = Args::parse(in, {"link", "baud", "data-bits", "parity", "stop-bits", "duration"},
                             {"append", "replace", "quiet"});
  auto usage = [](const QString& why) {
    printErr(QStringLiteral("vorlog-cli tap: %1\n").arg(why));
    return 2;
  };
  if (!a.error.isEmpty()) return usage(a.error);
  if (a.positional.size() != 2) return usage(Texts::text(TextNo::TapUsage));
  if (!a.has("link") || a.value("link").isEmpty()) return usage(Texts::text(TextNo::LinkMissing));
  if (a.has("append") && a.has("replace")) return usage(Texts::text(TextNo::AppendOrReplace));

  bool ok = true;
  LineSettings settings;
  settings.baud = a.has("baud") ? a.value("baud").toInt(&ok) : 9600;
  if (!ok || settings.baud <= 0) return usage(Texts::text(TextNo::BaudValue));
  settings.dataBits = a.has("data-bits") ? a.value("data-bits").toInt(&ok) : 8;
  if (!ok || settings.dataBits < 5 || settings.dataBits > 8) return usage(Texts::text(TextNo::DataBitsValue));
  const QString parity = a.has("parity") ? a.value("parity").toUpper() : QStringLiteral("N");
  if (!QStringList{"N", "E", "O", "M", "S"}.contains(parity)) return usage(Texts::text(TextNo::ParityValue));
  const QString stop = a.has("stop-bits") ? a.value("stop-bits") : QStringLiteral("1");
  if (!QStringList{"1", "1.5", "2"}.contains(stop)) return usage(Texts::text(TextNo::StopBitsValue));
  double duration = 0;
  if (a.has("duration")) {
    duration = a.value("duration").toDouble(&ok);
    if (!ok || duration <= 0) return usage(Texts::text(TextNo::DurationValue));
  }

  MonotonicClock clock;
  ConsoleMessages messages;
  CliUi ui;
  ensureUserPath();
  CaptureSession s(clock, messages, ui, userPath());

  // The device as everywhere else: a COM number of the numbering or a path.
  QString device = a.positional[0];
  QString t = device.trimmed();
  if (t.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) t = t.mid(3);
  const int com = t.toInt(&ok);
  if (ok) {
    if (com < 1 || com > PortRegistry::kMaxCom) return usage(Texts::text(TextNo::ComRange).arg(PortRegistry::kMaxCom));
    s.registry.scan();
    device = s.registry.pathFor(com);
    if (device.isEmpty()) {
      QString why;
      s.registry.IsPortAvailable(com, &why);
      const PortFailure f = portOpenFailure(true, com, QString(), why);
      VORLOG_REPORT(messages, TextNo::SerialError, f.message, f.extra);
      return 1;
    }
  }

  TapLink tap(device, a.value("link"));
  s.registry.useTap(&tap);
  s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
  s.ports.selectComA(1);
  s.ports.selectComB(2);
  s.ports.selectLineSettings(QString::number(settings.baud), QString::number(settings.dataBits), parity, stop);
  s.ports.InitInterface();

  if (const int rc = settleRecordTarget(QStringLiteral("tap"), a.positional[1], a, s, messages); rc >= 0) return rc;

  // Ctrl-C, SIGTERM and a closed terminal stop the recording, which removes the link.
  CliRecording run(s, messages);
  if (!run.signalsInstalled()) return 1;
  auto finish = [&](int code) { run.finish(code); };
  const bool quiet = a.has("quiet");
  QObject::connect(&tap, &TapLink::settingsApplied, [&](const LineSettings& applied, bool accepted) {
    if (quiet && accepted) return;
    const QString line = Texts::text(accepted ? TextNo::SettingsApplied : TextNo::SettingsRefused)
                             .arg(QString::number(applied.baud), QString::number(applied.stopBits));
    printErr(QStringLiteral("\rvorlog-cli: ") + line + QLatin1Char('\n'));
  });

  // Opened ahead of the ports, so that a device or link that fails is named as itself,
  // not as the port that happened to open first.
  QString why;
  if (s.registry.isConsole(device)) why = Texts::text(TextNo::NotOffered).arg(device);
  if (!why.isEmpty() || !tap.open(s.comA.settings(), &why)) {
    const PortFailure f = portOpenFailure(true, 0, device, why);
    VORLOG_REPORT(messages, TextNo::SerialError, f.message, f.extra);
    return 1;
  }
  run.beforeStart();
  s.recorder.btnRecordClick();
  if (!s.recorder.running()) return 1;
  if (!quiet)
    printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::Connect).arg(tap.linkPath(), tap.slavePath(), device) +
             QLatin1Char('\n'));
  run.started();

  QTimer limitTimer;
  QObject::connect(&limitTimer, &QTimer::timeout, [&] {
    if (s.file.writeFailed()) finish(1);
    else if (duration > 0 && run.elapsedMs() >= qint64(duration * 1000)) finish(0);
  });
  limitTimer.start(20);

  const bool showProgress = !quiet && ::isatty(STDERR_FILENO);
  auto progressLine = [&] { return run.progressLine(); };
  QTimer progress;
  if (showProgress) {
    QObject::connect(&progress, &QTimer::timeout, [&] { printErr(progressLine()); });
    progress.start(250);
  }

  QCoreApplication::exec();
  if (showProgress) printErr(progressLine() + QStringLiteral("\n"));
  if (tap.droppedForApplication())
    printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::Dropped).arg(tap.droppedForApplication()) +
             QLatin1Char('\n'));

  return run.summarize();
}
