#pragma once
// A recording of the simulated link on a manual clock with the trigger engine attached,
// rendered as text lines for comparison with golden files.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "capture/Clock.h"
#include "capture/SimulatedLink.h"
#include "recording/CaptureSession.h"
#include "support/RecordFiles.h"
#include "support/RecordingMessages.h"
#include "triggers/TriggerActions.h"
#include "triggers/TriggerEngine.h"
#include "triggers/TriggerList.h"

// Records what would have been started instead of starting it.
struct FakeLauncher : Launcher {
  struct Start {
    QString program;
    QStringList args;
  };
  std::vector<Start> starts;
  bool fail = false;
  bool stillRunning = true;
  std::function<void()> onStart;  // looks at the world the moment a program would start
  int64_t start(const QString& program, const QStringList& args, QString* error) override {
    if (onStart) onStart();
    starts.push_back({program, args});
    if (fail && error) *error = QStringLiteral("refused");
    return fail ? 0 : int64_t(starts.size());
  }
  bool running(int64_t) const override { return stillRunning; }
};

constexpr uint64_t kMs = 1000000;  // ManualClock ticks are nanoseconds

struct TriggerRig {
  QTemporaryDir dir;
  ManualClock clock;
  RecordingMessages messages;
  RecorderUi ui;
  SimulatedLink link{clock};
  CaptureSession s{clock, messages, ui, dir.path() + QLatin1Char('/'), &link};
  TriggerList list;
  FakeLauncher launcher;
  TriggerActions actions{launcher, QStringLiteral("/opt/vorlog/bin")};
  TriggerEngine engine{{s.engine, s.handler, s.comA, s.comB, s.gate, clock, messages}, list, actions};
  int stops = 0;
  std::vector<QString> statusTexts;

  explicit TriggerRig(const char* scenario) {
    QString error;
    if (!link.loadScenarioText(QString::fromUtf8(scenario), QStringLiteral("test"), &error))
      ADD_FAILURE() << error.toStdString();
    s.triggers.attach(&engine);
    QObject::connect(&engine, &TriggerEngine::stopRequested, [this] {
      ++stops;
      s.recorder.btnStopClick();
    });
    QObject::connect(&engine, &TriggerEngine::statusTextChanged, [this](const QString& t) { statusTexts.push_back(t); });
    QObject::connect(&engine, &TriggerEngine::triggerMarked, &list, &TriggerList::setSeenAt);
    s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
    s.ports.selectComA(1);
    s.ports.selectComB(2);
    s.ports.selectLineSettings(QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("N"), QStringLiteral("1"));
    s.ports.InitInterface();
    s.file.setName(dir.filePath(QStringLiteral("t.vrd")));
  }

  void add(TriggerRecord t) {
    t.Active = true;
    if (t.Name.isEmpty()) t.Name = QStringLiteral("T%1").arg(list.count() + 1);
    list.insert(-1, t);
  }
  void start() { s.recorder.btnRecordClick(); }
  // Runs the link for ms of scenario time in 1 ms steps, with the trigger timer once a second.
  void run(int ms) {
    for (int i = 0; i < ms && s.recorder.recordDown(); ++i) {
      clock.advance(kMs);
      link.pump();
      QCoreApplication::processEvents();
      if (++sinceTick_ >= 1000) {
        sinceTick_ = 0;
        engine.TriggerTimerTimer();
        QCoreApplication::processEvents();
      }
    }
  }
  void stop() {
    if (s.recorder.recordDown()) s.recorder.btnStopClick();
  }

  // One line per record: number, marks, data, lines, errors. Time stamps vary with the
  // machine's time zone, so the lines carry the milliseconds since the first record.
  QString render() const {
    QString out;
    const std::vector<EventRecord> records = readRecordFile(s.file.name());
    for (const EventRecord& r : records) {
      QString line = QStringLiteral("%1 %2ms").arg(r.eventNumber).arg(qRound64((r.timeStamp - records[0].timeStamp) * 86400000.0));
      if (r.markType == Mark::SystemType) line += QStringLiteral(" sys%1").arg(r.markCode);
      else if (r.markCode) line += QStringLiteral(" mark%1 type%2 trig%3").arg(r.markCode).arg(r.markType).arg(r.triggerNumber);
      if (r.d1Flag) line += QStringLiteral(" d1=%1").arg(r.d1Byte, 2, 16, QLatin1Char('0'));
      if (r.d2Flag) line += QStringLiteral(" d2=%1").arg(r.d2Byte, 2, 16, QLatin1Char('0'));
      line += QStringLiteral(" sig=");
      for (uint8_t b : r.signalBytes) line += QString::number(b);
      for (int e = 0; e < ErrorCount; ++e)
        if (r.errors[e]) line += QStringLiteral(" err%1").arg(e);
      out += line + QLatin1Char('\n');
    }
    return out;
  }

 private:
  int sinceTick_ = 0;
};
