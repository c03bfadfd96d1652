// Save as of a big recording: copyRecordFile (a copy beside the target, flushed, then
// renamed) against `cp` of the same file into the same folder, in the same run.
//
//   build-bench/bench/bench_saveas [--benchmark_min_time=1]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QString>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "recording/RecordFileCopy.h"
#include "BenchTempDir.h"

extern char** environ;

namespace {

constexpr int64_t kRecords = 10000000;  // 800 MB

// One recording for all runs, written once (not zeros, so no file system can skip it).
const TempDir& folder() {
  static TempDir dir;
  static bool made = false;
  if (!made && dir.ok()) {
    made = true;
    std::FILE* f = std::fopen(dir.file("big.vrd").c_str(), "wb");
    std::vector<unsigned char> block(80 * 100000);
    for (int64_t done = 0; f && done < kRecords; done += 100000) {
      for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>((done + int64_t(i)) * 31 >> 3);
      std::fwrite(block.data(), 1, block.size(), f);
    }
    if (f) std::fclose(f);
    // Written back before any timing, so that neither side pays for it.
    ::sync();
  }
  return dir;
}

void BM_SaveAs(benchmark::State& state) {
  const TempDir& dir = folder();
  const QString from = QString::fromStdString(dir.file("big.vrd"));
  const QString to = QString::fromStdString(dir.file("saved.vrd"));
  for (auto _ : state) {
    const RecordFileCopy r = copyRecordFile(from, to);
    if (!r.ok()) state.SkipWithError("save as failed");
  }
  state.SetBytesProcessed(state.iterations() * kRecords * 80);
  std::filesystem::remove(dir.file("saved.vrd"));
}

// cp, with an fsync of its own afterwards like the save, which flushes before the rename.
void BM_Cp(benchmark::State& state) {
  const TempDir& dir = folder();
  const std::string from = dir.file("big.vrd"), to = dir.file("cp.vrd");
  for (auto _ : state) {
    for (const std::vector<std::string>& cmd :
         {std::vector<std::string>{"cp", from, to}, std::vector<std::string>{"sync", to}}) {
      std::vector<char*> argv;
      for (const std::string& a : cmd) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      pid_t pid = 0;
      int status = 0;
      if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
          ::waitpid(pid, &status, 0) != pid || status != 0)
        state.SkipWithError("cp failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kRecords * 80);
  std::filesystem::remove(to);
}

BENCHMARK(BM_SaveAs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Cp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
