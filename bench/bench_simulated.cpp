// The whole capture chain under full load: the simulated link in stress mode at
// 921600 baud 8N1 on both lines for 10 s of real time, through SerialPort,
// PortEventHandler and CaptureEngine into a record file, as `vorlog-cli record
// --simulate=stress` runs it. Reports the records written, the CPU time the process
// spent, and the bytes on each line against those captured; none may be lost.
//
//   build-bench/bench/bench_simulated
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>

#include "capture/SimulatedLink.h"
#include "recording/CaptureSession.h"
#include "settings/MessageSink.h"
#include "BenchTempDir.h"

namespace {

constexpr int32_t kBaud = 921600;
constexpr double kSeconds = 10.0;
constexpr uint32_t kSeed = 1;
// The scenario ends by itself after kSeconds; this only guards a link that never reports it.
constexpr int kGiveUpMs = 30000;

class BenchMessages : public MessageSink {
 public:
  void reportError(int title, int message, const QString& extra, const char*, int) override {
    std::fprintf(stderr, "bench_simulated: message %d/%d:%s\n", title, message, extra.toLocal8Bit().constData());
    ++errors;
  }
  int showMessage(int title, int message, MessageKind kind, ButtonSet) override {
    std::fprintf(stderr, "bench_simulated: message %d/%d\n", title, message);
    return kind == MessageKind::Question ? ResultYes : ResultOk;
  }
  int errors = 0;
};


double cpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The last whole record of a record file; false when it holds none.
bool readLastRecord(const std::string& path, EventRecord& out, int64_t& records) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  records = size / off_t(kRecordSize);
  const bool ok = records > 0 && ::pread(fd, &out, kRecordSize, (records - 1) * off_t(kRecordSize)) == ssize_t(kRecordSize);
  ::close(fd);
  return ok;
}

struct Figures {
  bool ran = false;
  double wallSeconds = 0, cpuSeconds = 0;
  uint64_t records = 0;
  int64_t fileRecords = 0;
  uint64_t sent[2] = {}, delivered[2] = {};  // [0] line D1 (end B), [1] line D2 (end A)
  int64_t captured[2] = {}, fileCaptured[2] = {};
  uint64_t failedWrites = 0;
};
Figures gFigures;

void BM_SimulatedStress(benchmark::State& state) {
  for (auto _ : state) {
    TempDir dir;
    if (!dir.ok()) {
      state.SkipWithError("cannot create a temporary folder");
      return;
    }
    std::filesystem::create_directories(dir.path() + "/recordings");
    const QString userPath = QString::fromStdString(dir.path() + "/");
    const std::string recordPath = dir.path() + "/stress.vrd";

    MonotonicClock clock;
    BenchMessages messages;
    RecorderUi ui;
    SimulatedLink link(clock);
    link.useStress(kBaud, kSeconds, kSeed);
    link.setRealTime(true);

    CaptureSession s(clock, messages, ui, userPath, &link);
    s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
    if (!s.ports.selectComA(1) || !s.ports.selectComB(2)) {
      state.SkipWithError("the simulated link offers no COM1/COM2");
      return;
    }
    s.ports.selectLineSettings(QStringLiteral("921600"), QStringLiteral("8"), QStringLiteral("N"), QStringLiteral("1"));
    s.ports.InitInterface();
    s.file.setName(QString::fromStdString(recordPath));

    const uint64_t writtenBefore = s.engine.writtenCount();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();

    s.recorder.btnRecordClick();
    if (!s.recorder.running()) {
      state.SkipWithError("recording did not start");
      return;
    }
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    QObject::connect(&link, &SimulatedLink::scenarioFinished, [] { QCoreApplication::exit(0); });
    giveUp.start(kGiveUpMs);
    const int loop = QCoreApplication::exec();
    s.recorder.btnStopClick();

    Figures& f = gFigures;
    f.cpuSeconds = cpuSeconds() - cpuBefore;
    f.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    f.records = s.engine.writtenCount() - writtenBefore;
    f.failedWrites = s.engine.failedCount();
    f.sent[0] = link.bytesSent(SimulatedLink::End::B);
    f.sent[1] = link.bytesSent(SimulatedLink::End::A);
    f.delivered[0] = link.bytesDelivered(SimulatedLink::End::B);
    f.delivered[1] = link.bytesDelivered(SimulatedLink::End::A);
    f.captured[0] = s.engine.counter(CntD1);
    f.captured[1] = s.engine.counter(CntD2);
    EventRecord last = zeroRecord();
    if (readLastRecord(recordPath, last, f.fileRecords)) {
      f.fileCaptured[0] = last.counters[CntD1];
      f.fileCaptured[1] = last.counters[CntD2];
    }
    f.ran = true;

    state.SetIterationTime(f.wallSeconds);
    state.counters["records"] = double(f.records);
    state.counters["records_per_s"] = double(f.records) / f.wallSeconds;
    state.counters["cpu_s"] = f.cpuSeconds;
    state.counters["sent_D1"] = double(f.sent[0]);
    state.counters["sent_D2"] = double(f.sent[1]);
    state.counters["captured_D1"] = double(f.captured[0]);
    state.counters["captured_D2"] = double(f.captured[1]);
    state.counters["lost_D1"] = double(int64_t(f.delivered[0]) - f.captured[0]);
    state.counters["lost_D2"] = double(int64_t(f.delivered[1]) - f.captured[1]);
    if (loop != 0) state.SkipWithError("the stress scenario did not finish in time");
    else if (messages.errors) state.SkipWithError("the session reported an error");
  }
}
BENCHMARK(BM_SimulatedStress)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

void printFigures() {
  const Figures& f = gFigures;
  if (!f.ran) return;
  std::printf("\nSimulated stress, %d baud 8N1 on both lines, %.0f s:\n", kBaud, kSeconds);
  std::printf("  wall time                 %.2f s\n", f.wallSeconds);
  std::printf("  CPU time (user+sys)       %.2f s  (%.1f %% of one core)\n", f.cpuSeconds,
              100.0 * f.cpuSeconds / f.wallSeconds);
  std::printf("  records written           %llu  (%lld in the file, %.0f per second)\n",
              (unsigned long long)f.records, (long long)f.fileRecords, double(f.records) / f.wallSeconds);
  std::printf("  failed record writes      %llu\n", (unsigned long long)f.failedWrites);
  std::printf("  %-4s %12s %12s %12s %12s %8s\n", "line", "sent", "delivered", "captured", "in file", "lost");
  const char* names[2] = {"D1", "D2"};
  for (int i = 0; i < 2; ++i)
    std::printf("  %-4s %12llu %12llu %12lld %12lld %8lld\n", names[i], (unsigned long long)f.sent[i],
                (unsigned long long)f.delivered[i], (long long)f.captured[i], (long long)f.fileCaptured[i],
                (long long)(int64_t(f.delivered[i]) - f.captured[i]));
  const bool lossless = f.delivered[0] == uint64_t(f.captured[0]) && f.delivered[1] == uint64_t(f.captured[1]) &&
                        f.captured[0] == f.fileCaptured[0] && f.captured[1] == f.fileCaptured[1];
  std::printf("  %s\n", lossless ? "no byte lost" : "BYTES LOST");
}

}  // namespace

// The capture chain needs a Qt event loop: the application object comes first.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printFigures();
  const Figures& f = gFigures;
  const bool lost = f.ran && (f.delivered[0] != uint64_t(f.captured[0]) || f.delivered[1] != uint64_t(f.captured[1]));
  return lost ? 1 : 0;
}
