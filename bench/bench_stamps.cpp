// How faithful the time stamps are on a pseudo-terminal: a pacing writer sends single
// bytes at known CLOCK_MONOTONIC times into port A's line of a running
// `vorlog-cli record` at 115200 baud 8N1 (one every 10 ms for 10 s), then bursts of
// 32 bytes written at once (one every 100 ms for 5 s); the record file's stamps
// against the send times. A burst's byte k counts as sent k character times after the
// write, as it would leave a UART.
//
// The baseline, in the same run: a bare reader (a thread blocked in read() on a third
// pseudo-terminal, written right after port A's) stamps each byte when read()
// returns. It shows what the pseudo-terminal and the scheduler alone cost.
//
//   build-bench/bench/bench_stamps
//   VORLOG_CLI=/path/to/vorlog-cli build-bench/bench/bench_stamps
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "BenchTempDir.h"
#include "PtyHarness.h"
#include "capture/EventRecord.h"

#ifndef VORLOG_CLI_PATH
#define VORLOG_CLI_PATH ""
#endif

namespace {

using namespace ptybench;

constexpr double kCharSeconds = 10.0 / 115200.0;  // 86.8 µs
constexpr int kSingles = 1000;
constexpr double kSingleGap = 0.010;
constexpr int kBursts = 50;
constexpr int kBurstBytes = 32;
constexpr double kBurstGap = 0.100;

double monoNow() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CLOCK_REALTIME minus CLOCK_MONOTONIC, from the tightest of a few paired readings.
double realMinusMono() {
  double best = 1e9, offset = 0;
  for (int i = 0; i < 20; ++i) {
    timespec a{}, r{}, b{};
    clock_gettime(CLOCK_MONOTONIC, &a);
    clock_gettime(CLOCK_REALTIME, &r);
    clock_gettime(CLOCK_MONOTONIC, &b);
    const double ma = double(a.tv_sec) + double(a.tv_nsec) / 1e9, mb = double(b.tv_sec) + double(b.tv_nsec) / 1e9;
    if (mb - ma < best) {
      best = mb - ma;
      offset = double(r.tv_sec) + double(r.tv_nsec) / 1e9 - (ma + mb) / 2;
    }
  }
  return offset;
}

void sleepUntil(double mono) {
  timespec t{};
  t.tv_sec = time_t(mono);
  t.tv_nsec = long((mono - double(t.tv_sec)) * 1e9);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) != 0) {
  }
}

// The record file's stamps are local OLE dates; as Unix seconds.
double unixFromStamp(double ole) {
  const double local = (ole - 25569.0) * 86400.0;
  const time_t guess = time_t(local);
  tm parts{};
  localtime_r(&guess, &parts);
  return local - double(parts.tm_gmtoff);
}

struct Stats {
  size_t n = 0;
  double median = 0, p99 = 0, max = 0;
};

// Of the absolute values, in µs.
Stats stats(std::vector<double> v) {
  Stats s;
  for (double& x : v) x = std::fabs(x) * 1e6;
  std::sort(v.begin(), v.end());
  s.n = v.size();
  if (v.empty()) return s;
  s.median = v[v.size() / 2];
  s.p99 = v[std::min(v.size() - 1, size_t(0.99 * double(v.size())))];
  s.max = v.back();
  return s;
}

struct Series {
  std::vector<double> sent, got;  // monotonic seconds
  // Errors of the spacing between neighbours and of the times themselves.
  std::vector<double> spacing(size_t from, size_t to) const {
    std::vector<double> e;
    for (size_t i = from + 1; i < to; ++i) e.push_back((got[i] - got[i - 1]) - (sent[i] - sent[i - 1]));
    return e;
  }
  std::vector<double> absolute(size_t from, size_t to) const {
    std::vector<double> e;
    for (size_t i = from; i < to; ++i) e.push_back(got[i] - sent[i]);
    return e;
  }
};

struct Outcome {
  std::string problem;
  Series vorlog, bare;
  double cpu = 0;
};
Outcome gOutcome;
bool gRan = false;

Outcome measure(const std::string& cli) {
  Outcome o;
  TempDir dir;
  Pty ptys[3];  // 0: port A (line D2), 1: port B (line D1, idle), 2: the bare reader's
  std::string why;
  if (!dir.ok()) return o.problem = "cannot create a temporary folder", o;
  for (Pty& p : ptys)
    if (!p.open(&why)) return o.problem = why, o;
  for (Pty& p : ptys) ::fcntl(p.master.get(), F_SETFL, ::fcntl(p.master.get(), F_GETFL) & ~O_NONBLOCK);

  // The bare reader: blocking reads, a stamp per read, on the slave it holds already.
  const int bareFd = ptys[2].slave.get();
  ::fcntl(bareFd, F_SETFL, ::fcntl(bareFd, F_GETFL) & ~O_NONBLOCK);
  termios raw{};
  ::tcgetattr(bareFd, &raw);
  ::cfmakeraw(&raw);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(bareFd, TCSANOW, &raw);
  std::atomic<bool> stop{false};
  std::vector<double>& bareGot = o.bare.got;
  bareGot.reserve(kSingles + kBursts * kBurstBytes);
  std::thread bare([&] {
    char buffer[256];
    while (!stop) {
      const ssize_t n = ::read(bareFd, buffer, sizeof buffer);
      const double t = monoNow();
      if (n <= 0) break;
      for (ssize_t i = 0; i < n && buffer[i] != 'Q'; ++i) bareGot.push_back(t);
    }
  });

  const std::string output = dir.file("stamps.vrd");
  std::filesystem::create_directories(dir.file("user"));
  Child child;
  if (!child.start({cli, "record", output, "--port-a", ptys[0].slavePath, "--port-b", ptys[1].slavePath, "--baud",
                    "115200", "--quiet"},
                   {"VORLOG_USER_PATH=" + dir.file("user") + "/"}, dir.file("out.txt"), dir.file("err.txt"), &why)) {
    o.problem = why;
  }
  bool ready = false;
  for (const auto until = SteadyClock::now() + std::chrono::seconds(10);
       o.problem.empty() && !ready && SteadyClock::now() < until && child.running();) {
    ready = hasOpen(child.pid(), {ptys[0].slavePath, ptys[1].slavePath}) && fileSize(output) >= int64_t(3 * kRecordSize);
    std::this_thread::sleep_for(milliseconds(20));
  }
  if (o.problem.empty() && !ready) o.problem = "vorlog-cli did not start: " + readText(dir.file("err.txt"), 600);

  if (o.problem.empty()) {
    std::this_thread::sleep_for(milliseconds(500));
    const int a = ptys[0].master.get(), c = ptys[2].master.get();
    const double start = monoNow() + 0.05;
    for (int i = 0; i < kSingles; ++i) {
      sleepUntil(start + i * kSingleGap);
      const char byte = char('a' + i % 26);
      o.vorlog.sent.push_back(monoNow());
      if (::write(a, &byte, 1) != 1) o.problem = "write to port A failed";
      o.bare.sent.push_back(monoNow());
      if (::write(c, &byte, 1) != 1) o.problem = "write to the bare reader failed";
    }
    const double burstsAt = start + kSingles * kSingleGap + kBurstGap;
    char burst[kBurstBytes];
    for (int i = 0; i < kBurstBytes; ++i) burst[i] = char('A' + i % 26);
    for (int b = 0; b < kBursts && o.problem.empty(); ++b) {
      sleepUntil(burstsAt + b * kBurstGap);
      const double t = monoNow();
      if (::write(a, burst, sizeof burst) != ssize_t(sizeof burst)) o.problem = "burst write failed";
      const double tBare = monoNow();
      if (::write(c, burst, sizeof burst) != ssize_t(sizeof burst)) o.problem = "burst write to the bare reader failed";
      for (int k = 0; k < kBurstBytes; ++k) {
        o.vorlog.sent.push_back(t + k * kCharSeconds);
        o.bare.sent.push_back(tBare + k * kCharSeconds);
      }
    }
    std::this_thread::sleep_for(milliseconds(300));
  }
  stop = true;
  const char quit = 'Q';
  if (::write(ptys[2].master.get(), &quit, 1) != 1) ::close(ptys[2].master.get());
  bare.join();
  child.stop();
  o.cpu = child.cpuSeconds();
  if (!o.problem.empty()) return o;

  // Port A hears line D2: its records in order, their stamps on the monotonic time line.
  const double offset = realMinusMono();
  std::ifstream in(output, std::ios::binary);
  EventRecord r{};
  while (in.read(reinterpret_cast<char*>(&r), kRecordSize))
    if (r.d2Flag) o.vorlog.got.push_back(unixFromStamp(r.timeStamp) - offset);
  if (o.vorlog.got.size() != o.vorlog.sent.size())
    o.problem = std::to_string(o.vorlog.sent.size()) + " bytes sent, " + std::to_string(o.vorlog.got.size()) + " recorded";
  if (o.bare.got.size() != o.bare.sent.size())
    o.problem += " the bare reader read " + std::to_string(o.bare.got.size()) + " bytes";
  return o;
}

void BM_StampFidelity(benchmark::State& state) {
  for (auto _ : state) {
    const char* env = std::getenv("VORLOG_CLI");
    const std::string cli = env && *env ? env : VORLOG_CLI_PATH;
    if (cli.empty() || ::access(cli.c_str(), X_OK) != 0) {
      state.SkipWithError("vorlog-cli not found; set VORLOG_CLI");
      return;
    }
    const auto t0 = SteadyClock::now();
    gOutcome = measure(cli);
    gRan = true;
    state.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - t0).count());
    if (!gOutcome.problem.empty()) {
      state.SkipWithError(gOutcome.problem.c_str());
      return;
    }
    const Stats s = stats(gOutcome.vorlog.spacing(0, kSingles));
    state.counters["spacing_median_us"] = s.median;
    state.counters["spacing_p99_us"] = s.p99;
  }
}
BENCHMARK(BM_StampFidelity)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

void printResults() {
  if (!gRan || !gOutcome.problem.empty()) return;
  const Outcome& o = gOutcome;
  const size_t n = kSingles, all = o.vorlog.sent.size();
  auto line = [](const char* what, const Stats& v, const Stats* b) {
    std::printf("  %-44s %8.1f %8.1f %8.1f", what, v.median, v.p99, v.max);
    if (b) std::printf("   %8.1f %8.1f %8.1f", b->median, b->p99, b->max);
    std::printf("\n");
  };
  std::printf("\nTime stamps against send times, 115200 baud 8N1 (one character %.1f µs); µs\n", kCharSeconds * 1e6);
  std::printf("  %-44s %8s %8s %8s   %8s %8s %8s\n", "", "median", "p99", "max", "bare med", "p99", "max");
  const Stats bareSpacing = stats(o.bare.spacing(0, n)), bareAbs = stats(o.bare.absolute(0, n));
  line("single bytes 10 ms apart: spacing", stats(o.vorlog.spacing(0, n)), &bareSpacing);
  line("single bytes 10 ms apart: absolute (stamp - send)", stats(o.vorlog.absolute(0, n)), &bareAbs);
  // The bare reader stamps a whole read at once: its spacing within a burst means nothing.
  std::vector<double> burstSpacing, burstFirst, bareFirst;
  for (size_t b = n; b < all; b += kBurstBytes) {
    const std::vector<double> s = o.vorlog.spacing(b, b + kBurstBytes);
    burstSpacing.insert(burstSpacing.end(), s.begin(), s.end());
    burstFirst.push_back(o.vorlog.got[b] - o.vorlog.sent[b]);
    bareFirst.push_back(o.bare.got[b] - o.bare.sent[b]);
  }
  const Stats bareBurstFirst = stats(bareFirst);
  line("bursts of 32: spacing within a burst", stats(burstSpacing), nullptr);
  line("bursts of 32: absolute, all bytes", stats(o.vorlog.absolute(n, all)), nullptr);
  line("bursts of 32: absolute, first byte of each", stats(burstFirst), &bareBurstFirst);
  const std::vector<double> rest = o.vorlog.absolute(1, n), bareRest = o.bare.absolute(1, n);
  std::printf("  first single byte: absolute %.1f µs (the rest: median %.1f µs, p99 %.1f µs); bare reader %.1f µs"
              " (the rest: median %.1f µs)\n",
              (o.vorlog.got[0] - o.vorlog.sent[0]) * 1e6, stats(rest).median, stats(rest).p99,
              (o.bare.got[0] - o.bare.sent[0]) * 1e6, stats(bareRest).median);
  std::printf("  vorlog-cli CPU %.2f s; %zu stamps compared\n", o.cpu, all);
}

}  // namespace

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printResults();
  return gRan && gOutcome.problem.empty() ? 0 : 1;
}
