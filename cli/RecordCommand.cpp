#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <memory>
#include <tuple>

#include "capture/SimulatedLink.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/CliRecording.h"
#include "recording/CaptureSession.h"
#include "recording/RecordFileName.h"
#include "tools/ReplayLink.h"
#include "settings/Environment.h"
#include "settings/EnvironmentPorts.h"
#include "settings/StopSignals.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"
#include "triggers/TriggerEngine.h"

namespace TextNo {
constexpr int OneFile = 9402, AppendOrReplace = 9403, BaudValue = 9404, DataBitsValue = 9405, ParityValue = 9406;
constexpr int StopBitsValue = 9407, DurationValue = 9408, EventsValue = 9409, NoUserFolder = 9410;
constexpr int NumbersNotKept = 9411, ComRange = 9412, SamePort = 9413, StopMarkLead = 9470;
constexpr int EnvWarning = 9471, EnvUnreadable = 9472, EnvRecordFile = 9473;
constexpr int SerialError = 2000;
constexpr int ReplayAndSimulate = 9349, ReplayIntoItself = 9350;
}  // namespace TextNo

namespace {

// The window side of the recorder, on a terminal: only the notes matter, each on a line
// of its own on standard error (also with --quiet: these are warnings, not progress),
// among them what the ports' drivers will miss.
class CliUi : public RecorderUi {
 public:
  bool progressShown = false;  // a progress line without its line break stands on the terminal
  void showPortNotes(const QStringList& lines) override {
    for (const QString& line : lines) showNotice(line);
  }
  void showNotice(const QString& text) override {
    printErr((progressShown ? QStringLiteral("\nvorlog-cli: ") : QStringLiteral("vorlog-cli: ")) + text +
             QLatin1Char('\n'));
  }
};

// "3", "COM3" or a device path, with a message when it gives no port: 0 for a number
// out of range (a mistake on the command line), -1 for a device that cannot be had
// (not there, not offered), which is a port that cannot be opened.
int resolvePort(const QString& text, PortRegistry& registry, QString* error) {
  QString t = text.trimmed();
  if (t.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) t = t.mid(3);
  bool ok = false;
  const int n = t.toInt(&ok);
  if (ok) {
    if (n < 1 || n > PortRegistry::kMaxCom) *error = Texts::text(TextNo::ComRange).arg(PortRegistry::kMaxCom);
    return ok && n >= 1 && n <= PortRegistry::kMaxCom ? n : 0;
  }
  const int found = registry.numberFor(text, error);
  return found > 0 ? found : -1;
}

struct Limits {
  double duration = 0;
  qint64 events = 0;
};

}  // namespace

int runRecord(const QStringList& in) {
  const Args a =
      Args::parse(in,
                  {"port-a", "port-b", "baud", "data-bits", "parity", "stop-bits", "duration", "events", "env", "replay"},
                  {"simulate=", "append", "replace", "quiet", "clock"});
  auto usage = [](const QString& why) {
    printErr(QStringLiteral("vorlog-cli record: %1\n").arg(why));
    return 2;
  };
  if (!a.error.isEmpty()) return usage(a.error);
  // With an environment the record file may come from it.
  if (a.positional.size() > 1 || (a.positional.isEmpty() && !a.has("env"))) return usage(Texts::text(TextNo::OneFile));
  if (a.has("append") && a.has("replace")) return usage(Texts::text(TextNo::AppendOrReplace));

  // The job of an environment file; what the command line gives wins over it.
  Environment env;
  if (a.has("env")) {
    EnvironmentWarnings warnings;
    QString why;
    const QString envPath = resolveEnvironmentName(a.value("env"), userPath());
    // A job that is not there is a mistake, not a job of defaults that would record untriggered.
    if (!QFileInfo::exists(envPath)) why = qt_error_string(ENOENT);
    if (!why.isEmpty() || !LoadEnvironment(envPath, env, warnings, &why)) {
      printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::EnvUnreadable).arg(envPath, why) + QLatin1Char('\n'));
      return 1;
    }
    for (const QString& w : warnings.lines)
      printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::EnvWarning).arg(envPath, w) + QLatin1Char('\n'));
    if (a.positional.isEmpty() && env.recordFile.isEmpty()) return usage(Texts::text(TextNo::EnvRecordFile));
  }
  const QString recordName = a.positional.isEmpty() ? env.recordFile : a.positional[0];

  bool ok = true;
  const int baud = a.has("baud") ? a.value("baud").toInt(&ok) : env.comA.baud;
  if (!ok || baud <= 0) return usage(Texts::text(TextNo::BaudValue));
  const int dataBits = a.has("data-bits") ? a.value("data-bits").toInt(&ok) : env.comA.dataBits;
  if (!ok || dataBits < 5 || dataBits > 8) return usage(Texts::text(TextNo::DataBitsValue));
  const QString parity = a.has("parity") ? a.value("parity").toUpper() : parityLetter(env.comA.parity);
  if (!QStringList{"N", "E", "O", "M", "S"}.contains(parity)) return usage(Texts::text(TextNo::ParityValue));
  const QString stop = a.has("stop-bits") ? a.value("stop-bits") : stopBitsText(env.comA.stopBits, dataBits);
  if (!QStringList{"1", "1.5", "2"}.contains(stop)) return usage(Texts::text(TextNo::StopBitsValue));
  Limits limits;
  if (a.has("duration")) {
    limits.duration = a.value("duration").toDouble(&ok);
    if (!ok || limits.duration <= 0) return usage(Texts::text(TextNo::DurationValue));
  }
  if (a.has("events")) {
    limits.events = a.value("events").toLongLong(&ok);
    if (!ok || limits.events <= 0) return usage(Texts::text(TextNo::EventsValue));
  }

  if (!ensureUserPath()) printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::NoUserFolder).arg(userPath()) + QLatin1Char('\n'));

  MonotonicClock clock;
  ConsoleMessages messages;
  CliUi ui;
  std::unique_ptr<SimulatedLink> link;
  if (a.has("simulate")) {
    link = std::make_unique<SimulatedLink>(clock);
    const QString scenario = a.value("simulate");
    QString error;
    if (scenario.isEmpty()) link->useDefaultScenario();
    else if (scenario == QLatin1String("stress")) link->useStress(baud, 0, 1);
    else if (!link->loadScenarioFile(scenario, &error)) {
      printErr(QStringLiteral("vorlog-cli: %1\n").arg(error));
      return 2;
    }
    link->setRealTime(true);
  }
  // A record file played back stands in for the link in the same way.
  std::unique_ptr<ReplayLink> replay;
  if (a.has("replay")) {
    if (link) return usage(Texts::text(TextNo::ReplayAndSimulate));
    QString path, error;
    double speed = 1;
    if (!ReplayLink::parseArgument(a.value("replay"), &path, &speed, &error)) return usage(error);
    replay = std::make_unique<ReplayLink>(clock);
    if (!replay->load(resolveRecordFileName(path, userPath()), speed)) {
      printErr(QStringLiteral("vorlog-cli: %1\n").arg(replay->problem()));
      return 2;
    }
    // Recording into the file being played would change it under the replay.
    if (identityOf(resolveRecordFileName(recordName, userPath())) == replay->identity())
      return usage(Texts::text(TextNo::ReplayIntoItself).arg(replay->path()));
  }

  CaptureSession s(clock, messages, ui, userPath(), link.get());
  if (replay) replay->offerAsPorts(s.registry);
  QString error;
  if (!s.registry.scan(&error)) printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::NumbersNotKept).arg(error) + QLatin1Char('\n'));
  auto portFailure = [&](bool isA, int com, const QString& device, const QString& why) {
    const PortFailure f = portOpenFailure(isA, com, device, why);
    VORLOG_REPORT(messages, TextNo::SerialError, f.message, f.extra);
    return 1;
  };
  // The simulated or replayed link stands in for the environment's ports.
  const bool madeUpLink = link || replay;
  int comA = madeUpLink ? 1 : (a.has("env") ? env.comA.device : 0);
  int comB = madeUpLink ? 2 : (a.has("env") ? env.comB.device : 0);
  for (auto [option, com, isA] : {std::tuple{"port-a", &comA, true}, std::tuple{"port-b", &comB, false}}) {
    if (!a.has(option)) continue;
    *com = resolvePort(a.value(option), s.registry, &error);
    if (*com == 0) return usage(error);
    if (*com < 0) return portFailure(isA, 0, a.value(option), error);
  }
  // One device under two names (a link, /dev/serial/by-id/...) is one port too.
  if (comA && comB && (comA == comB || s.registry.sameDevice(comA, comB))) return usage(Texts::text(TextNo::SamePort));

  s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
  for (auto [com, isA] : {std::pair{comA, true}, std::pair{comB, false}}) {
    if (!com) continue;
    if (!(isA ? s.ports.selectComA(com) : s.ports.selectComB(com))) {
      QString why;
      s.registry.IsPortAvailable(com, &why);
      return portFailure(isA, com, s.registry.pathFor(com), why);
    }
  }
  // Without explicit ports the first two offered serve, A on the first.
  if (!comA && !comB && s.ports.portListA.size() >= 2) s.ports.indexB = 1;
  else if (!comA && comB) s.ports.indexA = s.ports.indexB == 0 ? 1 : 0;
  else if (comA && !comB) s.ports.indexB = s.ports.indexA == 0 ? 1 : 0;
  s.ports.selectLineSettings(QString::number(baud), QString::number(dataBits), parity, stop);
  s.ports.InitInterface();

  if (const int rc = settleRecordTarget(QStringLiteral("record"), recordName, a, s, messages); rc >= 0) return rc;

  // A closed terminal or ssh session ends the recording as cleanly as Ctrl-C does.
  CliRecording run(s, messages);
  if (!run.signalsInstalled()) return 1;
  auto finish = [&](int code) { run.finish(code); };

  // The triggers act as in the window: marks, gate, sounds and commands beside this program.
  TriggerList triggerList;
  triggerList.setAll(env.triggers);
  ProcessLauncher launcher;
  TriggerActions actions(launcher, QCoreApplication::applicationDirPath());
  TriggerEngine triggers({s.engine, s.handler, s.comA, s.comB, s.gate, clock, messages}, triggerList, actions);
  s.triggers.attach(&triggers);
  QObject::connect(&triggers, &TriggerEngine::stopRequested, [&] { finish(0); });
  // Stopped short of a full disk: the recording is whole, but not as long as asked for.
  QObject::connect(&s.freeSpace, &FreeSpaceGuard::stopRequested, [&] { finish(1); });

  run.beforeStart();
  // The limit counts the records after the start marks; the stop mark follows them.
  if (limits.events) s.handler.setRecordLimit(limits.events);
  s.recorder.btnRecordClick();
  if (!s.recorder.running()) return 1;
  // Both opened as serial ports: a device named by its path keeps its number from now on.
  s.registry.keep(s.comA.comNumber());
  s.registry.keep(s.comB.comNumber());
  run.started();

  auto check = [&] {
    if (s.file.writeFailed()) finish(1);
    else if (s.handler.recordLimitReached()) finish(0);
  };
  for (SerialPort* port : {&s.comA, &s.comB}) {
    QObject::connect(port, &SerialPort::triggerAvail, check);
    QObject::connect(port, &SerialPort::triggerStatus, check);
  }
  QTimer limitTimer;
  QObject::connect(&limitTimer, &QTimer::timeout, [&] {
    check();
    if (limits.duration > 0 && run.elapsedMs() >= qint64(limits.duration * 1000)) finish(0);
  });
  limitTimer.start(20);
  if (link) {
    QObject::connect(link.get(), &SimulatedLink::scenarioFinished, [&] {
      QTimer::singleShot(50, [&] { finish(0); });
    });
  }
  if (replay) {
    QObject::connect(replay.get(), &ReplayLink::replayFinished, [&] {
      QTimer::singleShot(50, [&] { finish(0); });
    });
    QObject::connect(replay.get(), &ReplayLink::replayFailed, [&](const QString& message) {
      printErr(QStringLiteral("vorlog-cli: %1\n").arg(message));
      finish(1);
    });
  }

  const bool showProgress = !a.has("quiet") && ::isatty(STDERR_FILENO);
  auto progressLine = [&] { return run.progressLine(triggers.statusText()); };
  QTimer progress;
  ui.progressShown = showProgress;
  if (showProgress) {
    QObject::connect(&progress, &QTimer::timeout, [&] { printErr(progressLine()); });
    progress.start(250);
  }

  QCoreApplication::exec();
  if (showProgress) printErr(progressLine() + QStringLiteral("\n"));

  const int exitCode = run.summarize();
  if (!a.has("quiet") || a.has("clock")) printOut(Texts::text(TextNo::StopMarkLead).arg(s.engine.lastMarkLead() * 1000.0, 0, 'f', 3) + QLatin1Char('\n'));
  return exitCode;
}

