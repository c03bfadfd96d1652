// The five searches over a record file of 10 000 000 events (800 MB, in the page cache),
// each scanning the whole file without a match, against two baselines measured in the
// same run: a bare block read of the file (the limit) and one 80-byte read per record
// (how a search that reads record by record fares).
//
//   build-bench/bench/bench_search [--benchmark_min_time=1]
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QString>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "BenchTempDir.h"
#include "capture/EventRecord.h"
#include "tools/RecordReader.h"
#include "tools/Search.h"

namespace {

constexpr int64_t kEvents = 10'000'000;

// A recording of random bytes on both lines with occasional handshake changes; the
// searches look for what never occurs, so each one reads the whole file.
const std::string& recordFile() {
  static TempDir dir;
  static const std::string path = [] {
    const std::string p = dir.file("search.vrd");
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::mt19937 rng(7);
    std::vector<EventRecord> block(65536);
    double stamp = 46000.5;
    for (int64_t i = 0; i <= kEvents;) {
      const int64_t n = std::min<int64_t>(int64_t(block.size()), kEvents + 1 - i);
      for (int64_t k = 0; k < n; ++k, ++i) {
        EventRecord& r = block[size_t(k)];
        r = zeroRecord();
        r.eventNumber = uint32_t(i);
        r.timeStamp = stamp += 1e-4 / 86400.0;
        const uint32_t v = rng();
        if (v & 1) { r.d1Flag = 1; r.d1Byte = uint8_t(v >> 8); }
        else { r.d2Flag = 1; r.d2Byte = uint8_t(v >> 8); }
        r.signalBytes[SigS1Dtr] = (v >> 20) & 1;
      }
      std::fwrite(block.data(), kRecordSize, size_t(n), f);
    }
    std::fclose(f);
    return p;
  }();
  return path;
}

double fileBytes() { return double(kEvents + 1) * double(kRecordSize); }

// Bytes per second of the last benchmark run, kept so the later ones can report their share.
double g_bareRate = 0, g_perRecordRate = 0;

template <class Body>
double timed(benchmark::State& state, Body&& body) {
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    body();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  state.SetBytesProcessed(int64_t(fileBytes()) * state.iterations());
  return fileBytes() * double(state.iterations()) / seconds;
}

void BareBlockRead(benchmark::State& state) {
  const int fd = ::open(recordFile().c_str(), O_RDONLY);
  std::vector<char> buf(size_t(RecordReader::kBlockRecords) * kRecordSize);
  g_bareRate = timed(state, [&] {
    off_t pos = 0;
    for (ssize_t n; (n = ::pread(fd, buf.data(), buf.size(), pos)) > 0;) pos += n;
    benchmark::DoNotOptimize(buf.data());
  });
  ::close(fd);
}

void OneReadPerRecord(benchmark::State& state) {
  const int fd = ::open(recordFile().c_str(), O_RDONLY);
  EventRecord r;
  int64_t hits = 0;
  g_perRecordRate = timed(state, [&] {
    for (int64_t i = 1; i <= kEvents; ++i) {
      if (::pread(fd, &r, kRecordSize, off_t(i * int64_t(kRecordSize))) != off_t(kRecordSize)) break;
      hits += r.triggerNumber == 200;
    }
  });
  benchmark::DoNotOptimize(hits);
  ::close(fd);
  state.counters["of_bare_read"] = g_perRecordRate / g_bareRate;
}

void Engine(benchmark::State& state, Search::Query query) {
  RecordReader reader(QString::fromStdString(recordFile()));
  Search::Result result;
  const double rate = timed(state, [&] { result = Search::find(reader, query, 0, Search::Direction::Forward); });
  if (result.outcome != Search::Outcome::NotFound) state.SkipWithError("the search found something");
  state.counters["of_bare_read"] = rate / g_bareRate;
  state.counters["x_one_read_per_record"] = rate / g_perRecordRate;
}

}  // namespace

BENCHMARK(BareBlockRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OneReadPerRecord)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(Engine, Data, Search::Query{Search::DataQuery{true, true, QByteArray("\x01\x02\x03\x04", 4)}})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Signal, Search::Query{Search::SignalQuery{{2, 2, 2, 2, 2, 2}}})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Error, Search::Query{Search::ErrorQuery{{2, 0, 0}}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Time, Search::Query{Search::TimeQuery{99999.0}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Engine, Trigger, Search::Query{Search::TriggerQuery{200}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
