// What one record costs: CaptureEngine::WriteEventRecord with its 80-byte write into
// a real record file, next to a bare loop of 80-byte write() calls on the same kind of
// file. The ratio of the two is the engine's own share on top of the system call.
// The same engine with its records collected in bursts of 256 (one write each, as a
// notification handler writes them) shows what one write per burst saves.
//
//   build-bench/bench/bench_write [--benchmark_min_time=2]
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QString>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "capture/CaptureEngine.h"
#include "capture/Clock.h"
#include "capture/LiveViewBuffer.h"
#include "recording/RecordFile.h"
#include "settings/MessageSink.h"
#include "BenchTempDir.h"

namespace {

// Both variants go back to the start of the file after this many records, so the
// file stays at 80 MB and neither pays for growing it more than the other.
constexpr int64_t kRewindEvery = 1000000;

class QuietMessages : public MessageSink {
 public:
  void reportError(int, int, const QString& extra, const char*, int) override {
    std::fprintf(stderr, "bench_write: record file error:%s\n", extra.toLocal8Bit().constData());
  }
  int showMessage(int, int, MessageKind, ButtonSet) override { return ResultOk; }
};


// Records per burst in the batched variant: a few hundred characters per read is what a
// pseudo-terminal or a USB adapter at full speed delivers.
constexpr int kBurst = 256;

void writeEventRecords(benchmark::State& state, bool batched) {
  TempDir dir;
  QuietMessages messages;
  RecordFile file(messages);
  file.setName(QString::fromStdString(dir.file("engine.vrd")));
  if (!dir.ok() || file.CreateRecordFile(RecordFile::Handle::Recording) < 0) {
    state.SkipWithError("cannot create the record file");
    return;
  }
  MonotonicClock clock;
  LiveViewBuffer liveView;
  CaptureEngine engine(clock, liveView);
  engine.setRecordSink(&file);
  engine.UpdateCharacterTime(LineSettings{921600, 8, Parity::None, 1});
  engine.ResetRecordingStatistics();

  PendingEvent& p = engine.pending();
  uint8_t byte = 0;
  int64_t sinceRewind = 0;
  int inBurst = 0;
  for (auto _ : state) {
    if (batched && inBurst++ == 0) engine.beginBatch();
    // A byte on both lines, as under full load.
    p.d1Byte = byte;
    p.d2Byte = uint8_t(~byte);
    p.d1Flag = p.d2Flag = 1;
    ++byte;
    if (engine.WriteEventRecord(0, false) != 0) {
      state.SkipWithError("WriteEventRecord failed");
      break;
    }
    p.clearDataAndErrors();
    if (batched && inBurst == kBurst) {
      engine.endBatch();
      inBurst = 0;
    }
    if (++sinceRewind == kRewindEvery) {
      if (batched && inBurst) engine.endBatch(), inBurst = 0;
      file.seekRecording(0);
      sinceRewind = 0;
    }
  }
  if (batched && inBurst) engine.endBatch();
  if (engine.failedCount()) state.SkipWithError("a write failed");
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * int64_t(kRecordSize));
  state.counters["records_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
void BM_WriteEventRecord(benchmark::State& state) { writeEventRecords(state, false); }
BENCHMARK(BM_WriteEventRecord);
void BM_WriteEventRecordBatched(benchmark::State& state) { writeEventRecords(state, true); }
BENCHMARK(BM_WriteEventRecordBatched);

void BM_BareWrite80(benchmark::State& state) {
  TempDir dir;
  const std::string name = dir.file("bare.vrd");
  const int fd = dir.ok() ? ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
  if (fd < 0) {
    state.SkipWithError("cannot create the file");
    return;
  }
  EventRecord r = zeroRecord();
  int64_t sinceRewind = 0;
  for (auto _ : state) {
    ++r.eventNumber;
    if (::write(fd, &r, kRecordSize) != ssize_t(kRecordSize)) {
      state.SkipWithError("write failed");
      break;
    }
    if (++sinceRewind == kRewindEvery) {
      ::lseek(fd, 0, SEEK_SET);
      sinceRewind = 0;
    }
  }
  ::close(fd);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * int64_t(kRecordSize));
  state.counters["records_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareWrite80);

// The console table as usual, and the wall time per record of each benchmark kept for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that the figures can be piped into a file.
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      Totals& t = totals_[run.run_name.function_name];
      t.seconds += run.real_accumulated_time;
      t.records += double(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Seconds per record, or 0 when the benchmark did not run.
  double perRecord(const std::string& name) const {
    const auto it = totals_.find(name);
    return it == totals_.end() || it->second.records == 0 ? 0 : it->second.seconds / it->second.records;
  }

 private:
  struct Totals {
    double seconds = 0, records = 0;
  };
  std::map<std::string, Totals> totals_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double engine = reporter.perRecord("BM_WriteEventRecord");
  const double bare = reporter.perRecord("BM_BareWrite80");
  if (engine > 0 && bare > 0) {
    std::printf("\nWriteEventRecord: %.0f records/s (%.0f ns each)\n", 1.0 / engine, engine * 1e9);
    std::printf("bare 80-byte write(): %.0f writes/s (%.0f ns each)\n", 1.0 / bare, bare * 1e9);
    std::printf("ratio engine / bare write() = %.3f  (engine's own share %.0f ns per record, %.1f %%)\n",
                engine / bare, (engine - bare) * 1e9, (engine - bare) / engine * 100.0);
  }
  const double batched = reporter.perRecord("BM_WriteEventRecordBatched");
  if (engine > 0 && batched > 0)
    std::printf("WriteEventRecord in bursts of %d, one write each: %.0f records/s (%.0f ns each): %.1f x as fast\n",
                kBurst, 1.0 / batched, batched * 1e9, engine / batched);
  return 0;
}
