// The export of one 10 000 000-event record file (800 MB), all columns: CSV, raw and
// Wireshark capture, against the per-event way (one 80-byte read and a string per field
// through the locale for every event). Peak resident memory is shown after an export of
// a tenth of the file and after the whole file, to see that it does not grow with it.
//
//   build-bench/bench/bench_export
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchTempDir.h"
#include "capture/Clock.h"
#include "tools/Export.h"
#include "tools/RecordReader.h"
#include "view/CellText.h"

namespace {

constexpr int64_t kEvents = 10'000'000;
// The per-event way is slow; it runs over the first million events.
constexpr int64_t kBaselineEvents = 1'000'000;

struct Fixture {
  TempDir dir;
  QString source, target;
  bool ok = false;
};

// A Modbus-like exchange at 1 ms per event: text and binary bytes on both lines,
// handshake changes, an error now and then, a mark now and then.
bool build(Fixture& x) {
  x.source = QString::fromStdString(x.dir.file("big.vrd"));
  x.target = QString::fromStdString(x.dir.file("out"));
  const int fd = ::open(x.dir.file("big.vrd").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  std::vector<EventRecord> block(65536);
  uint32_t seed = 12345;
  for (int64_t done = 0; done < kEvents;) {
    const int64_t n = std::min<int64_t>(int64_t(block.size()), kEvents - done);
    for (int64_t i = 0; i < n; ++i) {
      const int64_t e = done + i;
      seed = seed * 1664525u + 1013904223u;
      EventRecord r = zeroRecord();
      r.eventNumber = uint32_t(e);
      r.timeStamp = 46204.5 + double(e) / 86'400'000.0;
      const bool d1 = (e / 16) % 2 == 0;
      (d1 ? r.d1Flag : r.d2Flag) = 1;
      (d1 ? r.d1Byte : r.d2Byte) = uint8_t(seed >> 24);
      for (int s = 0; s < SignalCount; ++s) r.signalBytes[s] = uint8_t((e >> (10 + s)) & 1);
      if (e % 5000 == 0) r.errors[ErrFe2] = 1;
      if (e % 100000 == 1) r.markCode = Mark::UserStart, r.markType = Mark::SystemType;
      block[std::size_t(i)] = r;
    }
    if (::write(fd, block.data(), std::size_t(n) * kRecordSize) != ssize_t(std::size_t(n) * kRecordSize)) {
      ::close(fd);
      return false;
    }
    done += n;
  }
  // On the disk before the clock runs: its write-back must not slow the first export.
  const bool synced = ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

Fixture& fixture() {
  static Fixture f;
  static const bool built = f.ok = build(f);
  (void)built;
  return f;
}

double peakResidentMiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_maxrss) / 1024.0;
}

void exportRun(benchmark::State& state, Export::Format format, int64_t events) {
  Fixture& f = fixture();
  if (!f.ok) {
    state.SkipWithError("cannot write the record file");
    return;
  }
  Export::Options o;
  o.format = format;
  o.to = events;
  int64_t bytes = 0;
  for (auto _ : state) {
    RecordReader reader(f.source);
    const Export::Result r = Export::run(reader, f.target, o);
    if (r.status != Export::Status::Done) {
      state.SkipWithError(r.message.toStdString().c_str());
      return;
    }
    bytes += QFile(f.target).size();
    QFile::remove(f.target);
  }
  state.SetItemsProcessed(state.iterations() * events);
  state.SetBytesProcessed(bytes);
  state.counters["peak_RSS_MiB"] = peakResidentMiB();
}

void BM_ExportCsvTenth(benchmark::State& state) { exportRun(state, Export::Format::Csv, kEvents / 10); }
void BM_ExportCsv(benchmark::State& state) { exportRun(state, Export::Format::Csv, kEvents); }
void BM_ExportRaw(benchmark::State& state) { exportRun(state, Export::Format::Raw, kEvents); }
void BM_ExportPcapng(benchmark::State& state) { exportRun(state, Export::Format::Pcapng, kEvents); }

// The per-event way: every event read on its own, every field a string of its own,
// the time through the locale, the line converted and written on its own.
void BM_ExportCsvPerEvent(benchmark::State& state) {
  Fixture& f = fixture();
  if (!f.ok) {
    state.SkipWithError("cannot write the record file");
    return;
  }
  const QLocale locale;
  const QString q = QStringLiteral("\""), sep = QStringLiteral(";");
  for (auto _ : state) {
    const int fd = ::open(QFile::encodeName(f.source).constData(), O_RDONLY);
    QFile out(f.target);
    if (fd < 0 || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      state.SkipWithError("cannot open the files");
      return;
    }
    EventRecord r, previous = zeroRecord();
    const auto field = [&](QString& line, const QString& text) { line += q + text + q + sep; };
    for (int64_t n = 1; n <= kBaselineEvents; ++n) {
      if (::pread(fd, &r, kRecordSize, off_t((n - 1) * int64_t(kRecordSize))) != ssize_t(kRecordSize)) break;
      QString line;
      field(line, CellText::markText(r));
      field(line, QString::number(r.eventNumber));
      field(line,
            QLatin1Char(' ') +
                CellText::timeText(CellText::TimeMode::Absolute, r.timeStamp, previous.timeStamp, locale).trimmed());
      for (uint8_t b : {r.d1Byte, r.d2Byte}) {
        field(line, QString(QChar(b)));
        field(line, QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper());
        field(line, QString::number(b));
        field(line, QStringLiteral("%1").arg(b, 3, 8, QLatin1Char('0')));
        field(line, QStringLiteral("%1").arg(b, 8, 2, QLatin1Char('0')));
      }
      for (int s = 0; s < SignalCount; ++s) field(line, QString::number(CellText::signalLevel(r, s)));
      field(line, CellText::errorLetters(r, 0));
      field(line, CellText::errorLetters(r, 1));
      field(line, CellText::description(r, CharacterCode::UsAscii));
      line += QStringLiteral("\r\n");
      out.write(line.toLocal8Bit());
      previous = r;
    }
    ::close(fd);
    out.close();
    QFile::remove(f.target);
  }
  state.SetItemsProcessed(state.iterations() * kBaselineEvents);
}

}  // namespace

BENCHMARK(BM_ExportCsvTenth)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExportRaw)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExportPcapng)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ExportCsvPerEvent)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
