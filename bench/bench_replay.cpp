// A record file replayed as fast as possible into a new recording, as `vorlog-cli
// record --replay=OLD.vrd,max NEW.vrd` runs it: through the replay's reader, the two
// ends, SerialPort, PortEventHandler and CaptureEngine into a record file. Events per
// second against two baselines measured in the same run on the same file: the plain
// block read of the file with RecordReader, and the replay's reader alone (checking and
// turning records into what the link does), so that the ratio says what the capture
// side adds.
//
//   build-release/bench/bench_replay
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "BenchTempDir.h"
#include "recording/CaptureSession.h"
#include "settings/MessageSink.h"
#include "tools/RecordReader.h"
#include "tools/ReplayLink.h"
#include "tools/ReplayReader.h"

namespace {

// A 115200 baud exchange on both lines: 400000 events, 32 MB.
constexpr int kEvents = 400000;
constexpr int kGiveUpMs = 120000;

class BenchMessages : public MessageSink {
 public:
  void reportError(int title, int message, const QString& extra, const char*, int) override {
    std::fprintf(stderr, "bench_replay: message %d/%d:%s\n", title, message, extra.toLocal8Bit().constData());
    ++errors;
  }
  int showMessage(int, int, MessageKind kind, ButtonSet) override {
    return kind == MessageKind::Question ? ResultYes : ResultOk;
  }
  int errors = 0;
};

// The source: the start marks, then bytes on one line or both, now and then a line
// change or a parity error, one character time (115200 baud 8N1) apart.
struct Source {
  TempDir dir;
  std::string path;
  int64_t d1 = 0, d2 = 0;
  bool ok = false;

  Source() {
    if (!dir.ok()) return;
    path = dir.file("source.vrd");
    std::vector<EventRecord> records;
    records.reserve(kEvents + 2);
    std::mt19937 rng(7);
    auto at = [](int i) { return 46000.5 + double(i) / 11520.0 / 86400.0; };
    for (uint8_t code : {Mark::Plain, Mark::UserStart}) {
      EventRecord m = zeroRecord();
      m.markType = Mark::SystemType;
      m.markCode = code;
      m.timeStamp = at(0);
      records.push_back(m);
    }
    uint8_t lines[SignalCount] = {1, 1, 1, 1, 0, 0};
    for (int i = 0; i < kEvents; ++i) {
      EventRecord r = zeroRecord();
      r.eventNumber = uint32_t(records.size());
      r.timeStamp = at(i);
      const uint32_t pick = rng() % 1000;
      if (pick < 5) {
        lines[SigM5Dcd] ^= 1;  // a handshake change
      } else if (pick < 8) {
        r.errors[ErrPe2] = 1;
      } else {
        r.d1Flag = pick < 480 || pick >= 920;
        r.d2Flag = pick >= 480;
        r.d1Byte = uint8_t(rng());
        r.d2Byte = uint8_t(rng());
      }
      std::copy(std::begin(lines), std::end(lines), r.signalBytes);
      d1 += r.d1Flag;
      d2 += r.d2Flag;
      records.push_back(r);
    }
    QFile f(QString::fromStdString(path));
    const qint64 bytes = qint64(records.size() * kRecordSize);
    ok = f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(records.data()), bytes) == bytes;
  }
};
Source* gSource = nullptr;

struct Figures {
  double blockRead = 0, reader = 0, replay = 0;  // events per second
  int64_t replayedD1 = 0, replayedD2 = 0;
  bool ran = false;
};
Figures gFigures;

// Baseline: the file read through in blocks, every record looked at once.
void BM_BlockRead(benchmark::State& state) {
  std::vector<EventRecord> block(RecordReader::kBlockRecords);
  int64_t events = 0;
  QElapsedTimer wall;
  wall.start();
  for (auto _ : state) {
    RecordReader reader(QString::fromStdString(gSource->path));
    uint64_t sum = 0;
    for (int64_t first = 0; first < reader.recordCount(); first += RecordReader::kBlockRecords) {
      const int64_t n = std::min<int64_t>(RecordReader::kBlockRecords, reader.recordCount() - first);
      if (!reader.read(first, n, block.data())) state.SkipWithError("read failed");
      for (int64_t i = 0; i < n; ++i) sum += block[size_t(i)].d1Byte + block[size_t(i)].d2Flag;
    }
    benchmark::DoNotOptimize(sum);
    events += reader.recordCount();
  }
  gFigures.blockRead = double(events) / (double(wall.nsecsElapsed()) / 1e9);
  state.counters["events_per_s"] = gFigures.blockRead;
}
BENCHMARK(BM_BlockRead)->Unit(benchmark::kMillisecond);

// The replay's reader alone: the check of every record at open and the walk through.
void BM_ReplayReader(benchmark::State& state) {
  int64_t events = 0;
  QElapsedTimer wall;
  wall.start();
  for (auto _ : state) {
    ReplayReader reader;
    if (!reader.open(QString::fromStdString(gSource->path))) state.SkipWithError("the source cannot be replayed");
    int64_t items = 0;
    for (ReplayItem i; reader.next(i);) ++items;
    benchmark::DoNotOptimize(items);
    events += reader.recordCount();
  }
  gFigures.reader = double(events) / (double(wall.nsecsElapsed()) / 1e9);
  state.counters["events_per_s"] = gFigures.reader;
}
BENCHMARK(BM_ReplayReader)->Unit(benchmark::kMillisecond);

// The replay at max into a recording.
void BM_ReplayMaxIntoRecording(benchmark::State& state) {
  for (auto _ : state) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/recordings");
    MonotonicClock clock;
    BenchMessages messages;
    RecorderUi ui;
    ReplayLink link(clock);
    if (!link.load(QString::fromStdString(gSource->path), ReplayLink::kMaxSpeed)) {
      state.SkipWithError("the source cannot be replayed");
      return;
    }
    CaptureSession s(clock, messages, ui, QString::fromStdString(dir.path() + "/"));
    link.offerAsPorts(s.registry);
    s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
    s.ports.selectComA(1);
    s.ports.selectComB(2);
    s.ports.selectLineSettings(QStringLiteral("115200"), QStringLiteral("8"), QStringLiteral("N"), QStringLiteral("1"));
    s.ports.InitInterface();
    s.file.setName(QString::fromStdString(dir.file("replayed.vrd")));

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
    QObject::connect(&link, &ReplayLink::replayFinished, [] { QCoreApplication::exit(0); });
    giveUp.start(kGiveUpMs);
    const int loop = QCoreApplication::exec();
    s.recorder.btnStopClick();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;

    Figures& f = gFigures;
    f.replay = double(link.recordsPlayed()) / seconds;
    f.replayedD1 = s.engine.counter(CntD1);
    f.replayedD2 = s.engine.counter(CntD2);
    f.ran = true;
    state.SetIterationTime(seconds);
    state.counters["events_per_s"] = f.replay;
    state.counters["records_written"] = double(s.engine.writtenCount());
    if (loop != 0) state.SkipWithError("the replay did not finish in time");
    else if (messages.errors) state.SkipWithError("the session reported an error");
    else if (f.replayedD1 != gSource->d1 || f.replayedD2 != gSource->d2) state.SkipWithError("bytes lost");
  }
}
BENCHMARK(BM_ReplayMaxIntoRecording)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

void printFigures() {
  const Figures& f = gFigures;
  if (!f.ran || f.blockRead <= 0) return;
  std::printf("\nReplay at max of %d events (115200 baud 8N1, both lines) into a record file:\n", kEvents);
  std::printf("  block read (RecordReader)     %12.0f events/s   1.00\n", f.blockRead);
  std::printf("  replay reader alone           %12.0f events/s   %.3f\n", f.reader, f.reader / f.blockRead);
  std::printf("  replay at max into recording  %12.0f events/s   %.3f\n", f.replay, f.replay / f.blockRead);
  std::printf("  bytes replayed D1 %lld of %lld, D2 %lld of %lld\n", (long long)f.replayedD1, (long long)gSource->d1,
              (long long)f.replayedD2, (long long)gSource->d2);
}

}  // namespace

// The capture chain needs a Qt event loop: the application object comes first.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Source source;
  if (!source.ok) {
    std::fprintf(stderr, "bench_replay: cannot write the source file\n");
    return 1;
  }
  gSource = &source;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printFigures();
  const Figures& f = gFigures;
  return f.ran && (f.replayedD1 != source.d1 || f.replayedD2 != source.d2) ? 1 : 0;
}
