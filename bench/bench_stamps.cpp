// How faithful the time stamps are on a pseudo-terminal: a pacing writer sends single
// bytes at known CLOCK_MONOTONIC times into port A's line of a running
// `vorlog-cli record` at 115200 baud 8N1 (one every 10 ms for 10 s), then bursts of
// 32 bytes written at once (one every 100 ms for 5 s); the record file's stamps
// against the send times. A burst's byte k counts as sent k character times after the
// write, as it would leave a UART.
//
// The baselines, in the same run, each on a pseudo-terminal of its own written right
// after port A's: a bare reader thread of this program blocked in read(), and a bare
// reader in a process of its own (as any monitor is), each stamping a read when it
// returns. They show what the pseudo-terminal and the scheduler alone cost; the
// thread shares the writer's process, which the scheduler tends to wake on the
// writer's own core.
//
//   build-bench/bench/bench_stamps
//   VORLOG_CLI=/path/to/vorlog-cli build-bench/bench/bench_stamps
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <termios.h>
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
constexpr char kQuit = '#';  // ends the bare reader; in neither the singles nor the bursts

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
  Series vorlog, bare, bareProcess;
  double cpu = 0;
};
Outcome gOutcome;
bool gRan = false;

void rawBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  termios raw{};
  ::tcgetattr(fd, &raw);
  ::cfmakeraw(&raw);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &raw);
}

// Stamps each read when it returns, until the quit byte.
void bareRead(int fd, std::vector<double>& got) {
  char buffer[256];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    const double t = monoNow();
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == kQuit) return;
      got.push_back(t);
    }
  }
}

Outcome measure(const std::string& cli) {
  Outcome o;
  TempDir dir;
  // 0: port A (line D2), 1: port B (line D1, idle), 2: the bare reader thread's, 3: the bare process's
  Pty ptys[4];
  std::string why;
  if (!dir.ok()) return o.problem = "cannot create a temporary folder", o;
  for (Pty& p : ptys)
    if (!p.open(&why)) return o.problem = why, o;
  for (Pty& p : ptys) ::fcntl(p.master.get(), F_SETFL, ::fcntl(p.master.get(), F_GETFL) & ~O_NONBLOCK);

  // Both bare readers: blocking reads, a stamp per read, on a slave held already. The
  // process is started first, while this program has no other thread.
  for (int k : {2, 3}) rawBlocking(ptys[k].slave.get());
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return o.problem = "cannot create a pipe", o;
  const pid_t bareProcess = ::fork();
  if (bareProcess == 0) {
    std::vector<double> got;
    bareRead(ptys[3].slave.get(), got);
    const size_t bytes = got.size() * sizeof(double);
    _exit(::write(pipeFds[1], got.data(), bytes) == ssize_t(bytes) ? 0 : 1);
  }
  ::close(pipeFds[1]);
  if (bareProcess < 0) return o.problem = "cannot start the bare reader process", o;
  o.bare.got.reserve(kSingles + kBursts * kBurstBytes);
  std::thread bare([&] { bareRead(ptys[2].slave.get(), o.bare.got); });

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
    const int a = ptys[0].master.get(), c = ptys[2].master.get(), d = ptys[3].master.get();
    const double start = monoNow() + 0.05;
    for (int i = 0; i < kSingles; ++i) {
      sleepUntil(start + i * kSingleGap);
      const char byte = char('a' + i % 26);
      o.vorlog.sent.push_back(monoNow());
      if (::write(a, &byte, 1) != 1) o.problem = "write to port A failed";
      o.bare.sent.push_back(monoNow());
      if (::write(c, &byte, 1) != 1) o.problem = "write to the bare reader failed";
      o.bareProcess.sent.push_back(monoNow());
      if (::write(d, &byte, 1) != 1) o.problem = "write to the bare reader process failed";
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
      const double tProcess = monoNow();
      if (::write(d, burst, sizeof burst) != ssize_t(sizeof burst)) o.problem = "burst write to the bare process failed";
      for (int k = 0; k < kBurstBytes; ++k) {
        o.vorlog.sent.push_back(t + k * kCharSeconds);
        o.bare.sent.push_back(tBare + k * kCharSeconds);
        o.bareProcess.sent.push_back(tProcess + k * kCharSeconds);
      }
    }
    std::this_thread::sleep_for(milliseconds(300));
  }
  const char quit = kQuit;
  for (int k : {2, 3})
    if (::write(ptys[k].master.get(), &quit, 1) != 1) ::close(ptys[k].master.get());
  bare.join();
  {
    std::vector<double>& got = o.bareProcess.got;
    got.resize(kSingles + kBursts * kBurstBytes + 1);
    size_t have = 0;
    for (ssize_t n; (n = ::read(pipeFds[0], reinterpret_cast<char*>(got.data()) + have, got.size() * sizeof(double) - have)) > 0;)
      have += size_t(n);
    got.resize(have / sizeof(double));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(bareProcess, &status, 0);
  }
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
  if (o.bareProcess.got.size() != o.bareProcess.sent.size())
    o.problem += " the bare reader process read " + std::to_string(o.bareProcess.got.size()) + " bytes";
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
  auto line = [](const char* what, const Stats& v, const Stats* thread, const Stats* process) {
    std::printf("  %-40s %7.1f %7.1f %7.1f", what, v.median, v.p99, v.max);
    for (const Stats* b : {thread, process})
      if (b) std::printf("  | %7.1f %7.1f %7.1f", b->median, b->p99, b->max);
    std::printf("\n");
  };
  std::printf("\nTime stamps against send times, 115200 baud 8N1 (one character %.1f µs); µs\n", kCharSeconds * 1e6);
  std::printf("  %-40s %23s  | %23s  | %23s\n", "", "vorlog-cli", "bare reader thread", "bare reader process");
  std::printf("  %-40s %7s %7s %7s  | %7s %7s %7s  | %7s %7s %7s\n", "", "median", "p99", "max", "median", "p99", "max",
              "median", "p99", "max");
  const Series* bares[] = {&o.bare, &o.bareProcess};
  Stats spacing[2], absolute[2], burstFirst[2];
  // A bare reader stamps a whole read at once: its spacing within a burst means nothing.
  std::vector<double> burstSpacing, firsts[3];
  for (size_t b = n; b < all; b += kBurstBytes) {
    const std::vector<double> sp = o.vorlog.spacing(b, b + kBurstBytes);
    burstSpacing.insert(burstSpacing.end(), sp.begin(), sp.end());
    firsts[0].push_back(o.vorlog.got[b] - o.vorlog.sent[b]);
    for (int k = 0; k < 2; ++k) firsts[k + 1].push_back(bares[k]->got[b] - bares[k]->sent[b]);
  }
  for (int k = 0; k < 2; ++k) {
    spacing[k] = stats(bares[k]->spacing(0, n));
    absolute[k] = stats(bares[k]->absolute(0, n));
    burstFirst[k] = stats(firsts[k + 1]);
  }
  line("single bytes 10 ms apart: spacing", stats(o.vorlog.spacing(0, n)), &spacing[0], &spacing[1]);
  line("single bytes: absolute (stamp - send)", stats(o.vorlog.absolute(0, n)), &absolute[0], &absolute[1]);
  line("bursts of 32: spacing within a burst", stats(burstSpacing), nullptr, nullptr);
  line("bursts of 32: absolute, all bytes", stats(o.vorlog.absolute(n, all)), nullptr, nullptr);
  line("bursts of 32: absolute, first byte", stats(firsts[0]), &burstFirst[0], &burstFirst[1]);
  auto first = [](const Series& s) { return (s.got[0] - s.sent[0]) * 1e6; };
  std::printf("  first single byte, absolute: vorlog-cli %.1f µs, bare thread %.1f µs, bare process %.1f µs\n",
              first(o.vorlog), first(o.bare), first(o.bareProcess));
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
