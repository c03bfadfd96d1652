// What the text table costs at start: reading the compiled-in tables into entries, and
// that plus the number index the lookups use (what the first Texts::text() call pays once).
//
//   build-bench/bench/bench_texts --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QHash>
#include <QString>

#include "settings/Texts.h"

namespace {

void BM_ParseTable(benchmark::State& state) {
  const QList<Texts::CompiledFile> files = Texts::compiledFiles();
  int64_t bytes = 0;
  for (const Texts::CompiledFile& f : files) bytes += f.bytes.size();
  for (auto _ : state) {
    for (const Texts::CompiledFile& f : files) {
      QList<Texts::Entry> entries = Texts::parseTable(f.bytes);
      benchmark::DoNotOptimize(entries.data());
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}
BENCHMARK(BM_ParseTable)->Unit(benchmark::kMicrosecond);

void BM_ParseAndIndexTable(benchmark::State& state) {
  const QList<Texts::CompiledFile> files = Texts::compiledFiles();
  for (auto _ : state) {
    QHash<int, QString> byNumber;
    byNumber.reserve(1600);
    for (const Texts::CompiledFile& f : files) {
      for (const Texts::Entry& e : Texts::parseTable(f.bytes)) {
        byNumber.insert(e.number, e.german);
        byNumber.insert(e.number + Texts::kEnglishOffset, e.english);
      }
    }
    benchmark::DoNotOptimize(byNumber.size());
  }
}
BENCHMARK(BM_ParseAndIndexTable)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
