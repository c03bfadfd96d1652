// What armed triggers cost.
//
// BM_StressWithTriggers: the simulated link in stress mode at 921600 baud 8N1 on both
// lines for 10 s of real time, recorded through the whole chain with no trigger and
// with 20 armed data triggers (a stop group, 10 per line, patterns that never match),
// in the same run; records per second, CPU seconds and bytes lost of each, and the ratio.
// BM_PatternMatcher: the serial component's pattern matching alone, bytes per second
// with 0 (the baseline), 1, 10 and 100 armed patterns.
//
//   build/bench/bench_triggers
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <map>
#include <cstdlib>
#include <random>

#include "BenchTempDir.h"
#include "capture/SimulatedLink.h"
#include "recording/CaptureSession.h"
#include "settings/MessageSink.h"
#include "triggers/TextNotation.h"
#include "triggers/TriggerEngine.h"

namespace {

constexpr int32_t kBaud = 921600;
constexpr double kSeconds = 10.0;

class BenchMessages : public MessageSink {
 public:
  void reportError(int title, int message, const QString& extra, const char*, int) override {
    std::fprintf(stderr, "bench_triggers: message %d/%d:%s\n", title, message, extra.toLocal8Bit().constData());
    ++errors;
  }
  int showMessage(int, int, MessageKind, ButtonSet) override { return ResultOk; }
  int errors = 0;
};

struct NoLauncher : Launcher {
  int64_t start(const QString&, const QStringList&, QString*) override { return 1; }
  bool running(int64_t) const override { return false; }
};

double cpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sixteen bytes that random data practically never holds.
QString neverMatching(int i) { return QStringLiteral("5645524C4F47%1000102030405060708").arg(i, 2, 16, QLatin1Char('0')).toUpper(); }

struct Run {
  double wall = 0, cpu = 0;
  uint64_t records = 0;
  int64_t lost = 0;
};
std::map<int, Run> gRuns;

void BM_StressWithTriggers(benchmark::State& state) {
  const int triggers = int(state.range(0));
  for (auto _ : state) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/recordings");
    MonotonicClock clock;
    BenchMessages messages;
    RecorderUi ui;
    SimulatedLink link(clock);
    link.useStress(kBaud, kSeconds, 1);
    link.setRealTime(true);
    CaptureSession s(clock, messages, ui, QString::fromStdString(dir.path() + "/"), &link);
    TriggerList list;
    NoLauncher launcher;
    TriggerActions actions(launcher, QString());
    TriggerEngine engine({s.engine, s.handler, s.comA, s.comB, s.gate, clock, messages}, list, actions);
    s.triggers.attach(&engine);
    for (int i = 0; i < triggers; ++i) {
      TriggerRecord t;
      t.Name = QStringLiteral("never %1").arg(i);
      t.Active = true;
      t.Type = TriggerType::Stop;
      t.Event = TriggerEvent::Data;
      (i % 2 ? t.D2 : t.D1) = true;
      t.Data = neverMatching(i);
      list.insert(-1, t);
    }
    s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
    s.ports.selectComA(1);
    s.ports.selectComB(2);
    s.ports.selectLineSettings(QStringLiteral("921600"), QStringLiteral("8"), QStringLiteral("N"), QStringLiteral("1"));
    s.ports.InitInterface();
    s.file.setName(QString::fromStdString(dir.path() + "/stress.vrd"));

    const uint64_t before = s.engine.writtenCount();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    s.recorder.btnRecordClick();
    if (triggers && engine.armedCount() != triggers) state.SkipWithError("the triggers were not armed");
    QObject::connect(&link, &SimulatedLink::scenarioFinished, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
    QCoreApplication::exec();
    s.recorder.btnStopClick();

    Run& r = gRuns[triggers];
    r.wall = double(wall.nsecsElapsed()) / 1e9;
    r.cpu = cpuSeconds() - cpuBefore;
    r.records = s.engine.writtenCount() - before;
    r.lost = int64_t(link.bytesDelivered(SimulatedLink::End::A) + link.bytesDelivered(SimulatedLink::End::B)) -
             (s.engine.counter(CntD1) + s.engine.counter(CntD2));
    if (std::getenv("BENCH_DETAIL"))
      std::fprintf(stderr, "D1 sent %llu delivered %llu captured %lld; D2 sent %llu delivered %llu captured %lld; LE %lld\n",
                   (unsigned long long)link.bytesSent(SimulatedLink::End::B),
                   (unsigned long long)link.bytesDelivered(SimulatedLink::End::B), (long long)s.engine.counter(CntD1),
                   (unsigned long long)link.bytesSent(SimulatedLink::End::A),
                   (unsigned long long)link.bytesDelivered(SimulatedLink::End::A), (long long)s.engine.counter(CntD2),
                   (long long)s.engine.counter(CntLe));
    state.SetIterationTime(r.wall);
    state.counters["records_per_s"] = double(r.records) / r.wall;
    state.counters["cpu_s"] = r.cpu;
    state.counters["lost"] = double(r.lost);
    if (messages.errors) state.SkipWithError("the session reported an error");
  }
}
BENCHMARK(BM_StressWithTriggers)->Arg(0)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

// A device that hands the bench's bytes straight to the port.
class FeedDevice : public PortDevice {
 public:
  QString path() const override { return QStringLiteral("FEED"); }
  bool open(const LineSettings&, PortSink& sink, QString*) override {
    sink_ = &sink;
    return true;
  }
  void close() override { sink_ = nullptr; }
  void flushInput() override {}
  uint8_t modemStatus() override { return 0; }
  void readPending() override {}
  void setThreadBoost(int) override {}
  PortSink* sink_ = nullptr;
};

std::map<int, double> gMatcher;  // patterns -> bytes per second

void BM_PatternMatcher(benchmark::State& state) {
  const int patterns = int(state.range(0));
  FeedDevice* device = nullptr;
  SerialPort port(QStringLiteral("ComA"), [&](int) {
    auto d = std::make_unique<FeedDevice>();
    device = d.get();
    return d;
  });
  port.SetOpen(true);
  for (int i = 0; i < patterns; ++i) port.AddDataTrigger(TextNotation::HexToStr(neverMatching(i)), false);
  std::vector<uint8_t> data(64 * 1024);
  std::mt19937 random(7);
  for (uint8_t& b : data) b = uint8_t(random());
  for (auto _ : state) {
    device->sink_->deviceData(data.data(), data.size());
    port.FlushInBuffer();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_PatternMatcher)->Arg(0)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

class Collect : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.benchmark_name().rfind("BM_PatternMatcher/", 0) == 0 && r.real_accumulated_time > 0)
        gMatcher[std::stoi(r.benchmark_name().substr(18))] =
            double(r.iterations) * 64 * 1024 / r.real_accumulated_time;
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Collect reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (gRuns.count(0) && gRuns.count(20)) {
    const ::Run &a = gRuns[0], &b = gRuns[20];
    std::printf("\nStress %d baud on both lines, %.0f s:\n", kBaud, kSeconds);
    std::printf("  %-22s %12s %10s %8s\n", "", "records/s", "CPU s", "lost");
    std::printf("  %-22s %12.0f %10.2f %8lld\n", "no trigger", double(a.records) / a.wall, a.cpu, (long long)a.lost);
    std::printf("  %-22s %12.0f %10.2f %8lld\n", "20 armed data triggers", double(b.records) / b.wall, b.cpu,
                (long long)b.lost);
    std::printf("  CPU ratio (triggers / none) %.3f, records/s ratio %.3f\n", b.cpu / a.cpu,
                (double(b.records) / b.wall) / (double(a.records) / a.wall));
  }
  if (gMatcher.count(0)) {
    std::printf("\nPattern matcher, 64 KiB of random bytes per pass:\n");
    for (auto [n, rate] : gMatcher)
      std::printf("  %3d patterns %10.1f MB/s  (%.3f of no pattern)\n", n, rate / 1e6, rate / gMatcher[0]);
  }
  return 0;
}
