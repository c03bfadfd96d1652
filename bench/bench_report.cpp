// The printed report into a PDF: pages per second in the vertical, data-only and dump
// layouts, and the time to the first finished page of a report over a 10 000 000-event
// file (800 MB, sparse beyond the events the first pages show), which must not depend
// on the file's length: the pages are counted without reading and painted as they come.
//
//   build-bench/bench/bench_report
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <atomic>
#include <thread>
#include <vector>

#include "BenchTempDir.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"
#include "tools/ui/ReportRenderer.h"

namespace {

constexpr int64_t kEvents = 10'000'000;
// Events written for real at the start of the file; the rest is a hole of zeros.
constexpr int64_t kWritten = 200'000;

struct Fixture {
  TempDir dir;
  QString path;
  bool ok = false;
  Fixture() {
    path = QString::fromStdString(dir.file("big.vrd"));
    const int fd = ::open(dir.file("big.vrd").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    std::vector<EventRecord> rows(size_t(kWritten + 1));
    uint32_t seed = 7;
    for (int64_t e = 0; e <= kWritten; ++e) {
      EventRecord& r = rows[size_t(e)];
      r = EventRecord{};
      r.eventNumber = uint32_t(e);
      r.timeStamp = 46000.5 + double(e) * 0.001 / 86400.0;
      seed = seed * 1103515245 + 12345;
      const uint8_t b = uint8_t(seed >> 16);
      if (e % 2) {
        r.d1Flag = 1;
        r.d1Byte = b;
      } else {
        r.d2Flag = 1;
        r.d2Byte = b;
      }
      for (int s = 0; s < SignalCount; ++s) r.signalBytes[s] = uint8_t((e >> (s + 3)) & 1);
      r.counters[CntD1] = (e + 1) / 2;
      r.counters[CntD2] = e / 2;
    }
    rows[0].markType = Mark::SystemType;
    const auto bytes = ssize_t(rows.size() * kRecordSize);
    ok = ::write(fd, rows.data(), size_t(bytes)) == bytes && ::ftruncate(fd, off_t((kEvents + 1) * kRecordSize)) == 0;
    ::close(fd);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

ReportOptions optionsFor(ViewMode view, int64_t to) {
  ReportOptions o;
  o.view.codes.setViewMode(view);
  o.all = false;
  o.from = 1;
  o.to = to;
  o.jobName = "bench";
  o.printedAt = QDateTime::currentDateTime();
  return o;
}

void pages(benchmark::State& state, ViewMode view, int64_t events) {
  Fixture& f = fixture();
  if (!f.ok) return state.SkipWithError("no record file");
  RecordReader reader(f.path);
  int total = 0;
  for (auto _ : state) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QPdfWriter writer(&out);
    writer.setResolution(96);
    writer.setPageSize(QPageSize(QPageSize::A4));
    ReportRenderer renderer(reader, optionsFor(view, events));
    const ReportResult r = renderer.render(writer);
    if (r.status != ReportResult::Status::Done) return state.SkipWithError("report failed");
    total += r.pages;
    benchmark::DoNotOptimize(out.size());
  }
  state.counters["pages"] = double(total) / double(state.iterations());
  state.counters["pages/s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

void BM_ReportVertical(benchmark::State& s) { pages(s, ViewMode::Vertical, 2'000); }
void BM_ReportDataOnly(benchmark::State& s) { pages(s, ViewMode::DataOnly, 40'000); }
void BM_ReportDump(benchmark::State& s) { pages(s, ViewMode::DataDump, 20'000); }

// Counting the pages of all 10 000 000 events, then painting until the first page is done.
void BM_FirstPageOf10M(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ok) return state.SkipWithError("no record file");
  for (auto _ : state) {
    RecordReader reader(f.path);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QPdfWriter writer(&out);
    writer.setResolution(96);
    writer.setPageSize(QPageSize(QPageSize::A4));
    ReportOptions o = optionsFor(ViewMode::Vertical, 0);
    o.all = true;
    ReportRenderer renderer(reader, o);
    const int count = renderer.countPages(writer);
    WorkControl control;
    // A watcher stops the report as soon as its first page is done.
    std::atomic<bool> over{false};
    std::thread watcher([&] {
      while (!over && control.done.load() < 1) std::this_thread::yield();
      control.requestStop();
    });
    const ReportResult r = renderer.render(writer, &control, count);
    over = true;
    watcher.join();
    state.counters["pages"] = count;
    benchmark::DoNotOptimize(r.pages);
  }
}

}  // namespace

BENCHMARK(BM_ReportVertical)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportDataOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportDump)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstPageOf10M)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
