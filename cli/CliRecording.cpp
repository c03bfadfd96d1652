#include "cli/CliRecording.h"

#include <QCoreApplication>

#include "capture/Ports.h"
#include "cli/Args.h"
#include "cli/Console.h"
#include "recording/CaptureSession.h"
#include "recording/RecordFileName.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace TextNo {
constexpr int HoldsRecording = 9414, NotRegular = 9415, Progress = 9416, Summary = 9417, WritesFailed = 9418;
constexpr int SerialError = 2000, PortLost = 2015, FileOperation = 3000, OpenError = 3001;
}  // namespace TextNo

int settleRecordTarget(const QString& command, const QString& name, const Args& a, CaptureSession& s,
                       MessageSink& messages) {
  s.file.setName(resolveRecordFileName(name, userPath()));
  RecordFile probe(messages);
  probe.setName(s.file.name());
  if (!probe.isRegularOrAbsent()) {
    VORLOG_REPORT(messages, TextNo::FileOperation, TextNo::OpenError,
                  QStringLiteral("\n\n%1\n%2").arg(probe.name(), Texts::text(TextNo::NotRegular)));
    return 1;
  }
  if (probe.OpenRecordFile(RecordFile::Handle::View) >= 0 && probe.viewRecordCount() > 0 && !a.has("append") &&
      !a.has("replace")) {
    printErr(QStringLiteral("vorlog-cli %1: %2\n").arg(command, Texts::text(TextNo::HoldsRecording).arg(probe.name())));
    return 2;
  }
  if (a.has("replace")) s.recorder.btnRECreplaceClick();
  return -1;
}

CliRecording::CliRecording(CaptureSession& s, MessageSink& messages) : s_(s) {
  QObject::connect(&stopSignals_, &StopSignals::received, [this] { finish(0); });
  for (SerialPort* port : {&s.comA, &s.comB}) {
    QObject::connect(port, &SerialPort::portLost, [this, port, &messages](const QString& reason) {
      VORLOG_REPORT(messages, TextNo::SerialError, TextNo::PortLost, portExtraText(*port, reason));
      finish(1);
    });
  }
}

void CliRecording::finish(int code) {
  if (finishing_) return;
  finishing_ = true;
  exitCode_ = code;
  if (s_.recorder.recordDown() || s_.recorder.paused()) s_.recorder.btnStopClick();
  QCoreApplication::exit(code);
}

void CliRecording::beforeStart() { writtenBefore_ = s_.engine.writtenCount(); }

void CliRecording::started() {
  firstEvent_ = s_.engine.writtenCount();
  d1Start_ = s_.engine.counter(CntD1);
  d2Start_ = s_.engine.counter(CntD2);
  elapsed_.start();
}

qint64 CliRecording::eventsThisRun() const { return qint64(s_.engine.writtenCount() - firstEvent_) + 1; }

QString CliRecording::progressLine(const QString& tail) const {
  const EventRecord& r = s_.engine.lastBuilt();
  return (QStringLiteral("\r") + Texts::text(TextNo::Progress) + QStringLiteral("   "))
             .arg(eventsThisRun())
             .arg(s_.engine.counter(CntD1) - d1Start_)
             .arg(s_.engine.counter(CntD2) - d2Start_)
             .arg(r.lineLoad)
             .arg(r.peakLoad)
             .arg(s_.engine.counter(CntPe))
             .arg(s_.engine.counter(CntFe))
             .arg(s_.engine.counter(CntLe)) +
         (tail.isEmpty() ? QString() : QStringLiteral("  ") + tail);
}

int CliRecording::summarize() {
  const uint64_t failed = s_.engine.failedCount();
  printOut((Texts::text(TextNo::Summary) + QStringLiteral("%9\n"))
               .arg(s_.file.name())
               .arg(s_.engine.writtenCount() - writtenBefore_)
               .arg(s_.engine.counter(CntD1) - d1Start_)
               .arg(s_.engine.counter(CntD2) - d2Start_)
               .arg(s_.engine.counter(CntPe))
               .arg(s_.engine.counter(CntFe))
               .arg(s_.engine.counter(CntLe))
               .arg(double(elapsed_.elapsed()) / 1000.0, 0, 'f', 2)
               .arg(failed ? Texts::text(TextNo::WritesFailed).arg(failed) : QString()));
  return exitCode_ == 0 && (s_.file.writeFailed() || failed) ? 1 : exitCode_;
}
