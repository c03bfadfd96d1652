// `vorlog-cli record` on two pseudo-terminals against the same input fed to
// jpnevulator, the serial sniffer Debian ships: both lines first paced at the
// character rate of 921600 baud 8N1 (92 160 bytes/s) for 10 s, then 10 MB per line
// as fast as the capture takes it. Random bytes, so 0xFF (doubled under PARMRK)
// occurs. Every byte sent must be in the record file, in order; the figure is CPU
// seconds per MB captured, for both programs, in one run.
//
//   build-bench/bench/bench_pty
//   VORLOG_CLI=/path/to/vorlog-cli JPNEVULATOR=/path/to/jpnevulator build-bench/bench/bench_pty
//
// Pseudo-terminals carry no modem lines, so only the data lines are exercised.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "capture/EventRecord.h"
#include "BenchTempDir.h"
#include "PtyHarness.h"

#ifndef VORLOG_CLI_PATH
#define VORLOG_CLI_PATH ""
#endif

namespace {

using namespace ptybench;

constexpr double kPacedRate = 92160.0;  // characters per second at 921600 baud 8N1
constexpr double kPacedSeconds = 10.0;
constexpr size_t kPacedBytes = size_t(kPacedRate * kPacedSeconds);
constexpr size_t kBurstBytes = 10000000;  // 10 MB per line, MB = 10^6 bytes throughout
constexpr size_t kTotalBytes = kPacedBytes + kBurstBytes;
constexpr uint32_t kSeed = 20240601;
constexpr const char* kLineName[2] = {"D1", "D2"};

// Time limits: a capture that falls behind must not hold the run for ever.
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kBurstLimit = std::chrono::seconds(45);
constexpr auto kDrainLimit = std::chrono::seconds(15);
constexpr auto kQuietFor = std::chrono::seconds(1);

std::atomic<bool> gInterrupted{false};
void onInterrupt(int) { gInterrupted = true; }

double seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }


struct Feed {
  size_t sent[2] = {};
  double pacedSeconds[2] = {}, burstSeconds[2] = {};
  std::string error;
  bool complete() const { return sent[0] == kTotalBytes && sent[1] == kTotalBytes && error.empty(); }
};

// One line's writer: the paced phase writes at once whatever is due by the start
// time and sleeps only when nothing is; the burst phase writes as fast as the slave takes it.
void writeLine(int fd, const std::vector<uint8_t>& data, SteadyClock::time_point start, Feed& feed, int line) {
  size_t sent = 0;
  auto writeSome = [&](size_t upTo) {
    const ssize_t n = ::write(fd, data.data() + sent, std::min<size_t>(upTo - sent, 65536));
    if (n > 0) {
      sent += size_t(n);
      return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 1);  // the capture is behind: wait for room, not for the clock
      return true;
    }
    feed.error = std::string("write to line ") + kLineName[line] + ": " + std::strerror(n < 0 ? errno : EIO);
    return false;
  };
  const auto pacedEnd = start + std::chrono::duration_cast<SteadyClock::duration>(
                                    std::chrono::duration<double>(kPacedSeconds) + kBurstLimit);
  while (sent < kPacedBytes && !gInterrupted) {
    const auto now = SteadyClock::now();
    if (now > pacedEnd) break;
    const size_t due = std::min(kPacedBytes, size_t(seconds(now - start) * kPacedRate));
    if (due > sent) {
      if (!writeSome(due)) break;
    } else {
      std::this_thread::sleep_for(milliseconds(1));
    }
  }
  const auto burstStart = SteadyClock::now();
  feed.pacedSeconds[line] = seconds(burstStart - start);
  const auto burstEnd = burstStart + kBurstLimit;
  while (feed.error.empty() && sent < kTotalBytes && !gInterrupted && SteadyClock::now() < burstEnd)
    if (!writeSome(kTotalBytes)) break;
  feed.burstSeconds[line] = seconds(SteadyClock::now() - burstStart);
  feed.sent[line] = sent;
}

Feed feedBothLines(Pty (&ptys)[2], const std::vector<uint8_t> (&data)[2]) {
  Feed feed;
  Feed perLine[2];
  const auto start = SteadyClock::now();
  std::thread d1(writeLine, ptys[0].master.get(), std::cref(data[0]), start, std::ref(perLine[0]), 0);
  std::thread d2(writeLine, ptys[1].master.get(), std::cref(data[1]), start, std::ref(perLine[1]), 1);
  d1.join();
  d2.join();
  for (int i = 0; i < 2; ++i) {
    feed.sent[i] = perLine[i].sent[i];
    feed.pacedSeconds[i] = perLine[i].pacedSeconds[i];
    feed.burstSeconds[i] = perLine[i].burstSeconds[i];
    if (feed.error.empty()) feed.error = perLine[i].error;
  }
  return feed;
}

// Until the slaves' input queues are empty and the output has stopped growing for a second.
bool drain(Pty (&ptys)[2], const std::string& output, Child& child) {
  const auto until = SteadyClock::now() + kDrainLimit;
  int64_t lastSize = -1;
  auto quietSince = SteadyClock::now();
  while (SteadyClock::now() < until && !gInterrupted && child.running()) {
    const int64_t size = fileSize(output);
    const auto now = SteadyClock::now();
    if (size != lastSize || ptys[0].pending() > 0 || ptys[1].pending() > 0) {
      lastSize = size;
      quietSince = now;
    } else if (now - quietSince >= kQuietFor) {
      return true;
    }
    std::this_thread::sleep_for(milliseconds(50));
  }
  return false;
}

struct Outcome {
  bool ran = false;
  std::string problem;  // empty when everything went as planned
  Feed feed;
  double cpu = 0, systemCpu = 0, wall = 0;
  int64_t captured[2] = {-1, -1};  // what the program reports having captured
  int64_t inOrder[2] = {0, 0};     // leading bytes that equal what was sent
  int64_t outputBytes = 0, records = 0;
  std::string exitText, summary;
  double perMB() const {
    const double mb = double(std::max<int64_t>(0, captured[0]) + std::max<int64_t>(0, captured[1])) / 1e6;
    return mb > 0 ? cpu / mb : 0;
  }
  bool exact() const {
    return captured[0] == int64_t(feed.sent[0]) && captured[1] == int64_t(feed.sent[1]) &&
           inOrder[0] == captured[0] && inOrder[1] == captured[1];
  }
};

// Reads the record file: the counters of the last record, and the data bytes of all
// records compared with what was sent, line by line.
void checkRecordFile(const std::string& path, const std::vector<uint8_t> (&sent)[2], Outcome& o) {
  std::ifstream in(path, std::ios::binary);
  std::vector<EventRecord> chunk(16384);
  EventRecord last = zeroRecord();
  int64_t seen[2] = {0, 0};
  bool matching[2] = {true, true};
  while (in) {
    in.read(reinterpret_cast<char*>(chunk.data()), std::streamsize(chunk.size() * kRecordSize));
    const size_t n = size_t(in.gcount()) / kRecordSize;
    for (size_t i = 0; i < n; ++i) {
      const EventRecord& r = chunk[i];
      const uint8_t flags[2] = {r.d1Flag, r.d2Flag}, bytes[2] = {r.d1Byte, r.d2Byte};
      for (int l = 0; l < 2; ++l) {
        if (!flags[l]) continue;
        if (matching[l] && size_t(seen[l]) < sent[l].size() && sent[l][size_t(seen[l])] == bytes[l]) ++o.inOrder[l];
        else matching[l] = false;
        ++seen[l];
      }
    }
    if (n) last = chunk[n - 1];
    o.records += int64_t(n);
  }
  if (o.records == 0) return;
  o.captured[0] = last.counters[CntD1];
  o.captured[1] = last.counters[CntD2];
  if (seen[0] != o.captured[0] || seen[1] != o.captured[1])
    o.problem += "the last record's counters (" + std::to_string(o.captured[0]) + "/" + std::to_string(o.captured[1]) +
                 ") differ from the data records in the file (" + std::to_string(seen[0]) + "/" +
                 std::to_string(seen[1]) + "); ";
}

// jpnevulator's --ascii output: "DATE TIME: /dev/pts/N" starts a block of that tty,
// then lines of hex pairs, a tab and the ASCII column.
void checkSnifferOutput(const std::string& path, const std::string (&slaves)[2], const std::vector<uint8_t> (&sent)[2],
                        Outcome& o) {
  std::ifstream in(path);
  std::string line;
  int current = -1;
  int64_t seen[2] = {0, 0};
  bool matching[2] = {true, true};
  while (std::getline(in, line)) {
    const size_t colon = line.rfind(": ");
    if (colon != std::string::npos && line.find('\t') == std::string::npos && line.compare(0, 2, "20") == 0) {
      const std::string tty = line.substr(colon + 2);
      current = tty == slaves[0] ? 0 : tty == slaves[1] ? 1 : -1;
      continue;
    }
    if (current < 0) continue;
    const std::string hex = line.substr(0, line.find('\t'));
    for (size_t i = 0; i + 1 < hex.size(); i += 3) {
      if (!std::isxdigit((unsigned char)hex[i]) || !std::isxdigit((unsigned char)hex[i + 1])) break;
      const int byte = std::stoi(hex.substr(i, 2), nullptr, 16);
      const size_t at = size_t(seen[current]);
      if (matching[current] && at < sent[current].size() && sent[current][at] == byte) ++o.inOrder[current];
      else matching[current] = false;
      ++seen[current];
    }
  }
  o.captured[0] = seen[0];
  o.captured[1] = seen[1];
}

enum class Tool { Vorlog, Sniffer };

Outcome runCapture(Tool tool, const std::string& program, const std::vector<uint8_t> (&data)[2]) {
  Outcome o;
  auto fail = [&o](std::string why) {
    o.problem = std::move(why);
    return o;
  };
  TempDir dir;
  Pty ptys[2];
  std::string why;
  if (!dir.ok()) return fail("cannot create a temporary folder");
  for (Pty& p : ptys)
    if (!p.open(&why)) return fail(why);
  const std::string slaves[2] = {ptys[0].slavePath, ptys[1].slavePath};

  const std::string output = dir.file(tool == Tool::Vorlog ? "pty.vrd" : "sniffer.txt");
  const std::string log = dir.file("stdout.txt"), err = dir.file("stderr.txt");
  std::vector<std::string> args, env;
  if (tool == Tool::Vorlog) {
    // ComA hears line D2, ComB line D1.
    args = {program, "record", output, "--port-a", slaves[1], "--port-b", slaves[0], "--baud", "921600", "--quiet"};
    std::filesystem::create_directories(dir.file("user"));
    env = {"VORLOG_USER_PATH=" + dir.file("user") + "/"};
  } else {
    args = {program, "--read", "--timing-print", "--ascii", "--tty", slaves[0], "--tty", slaves[1]};
  }
  Child child;
  const auto t0 = SteadyClock::now();
  if (!child.start(args, env, tool == Tool::Vorlog ? log : output, err, &why)) return fail(why);

  // Ready: both slaves open, and for vorlog the start marks and the first status record written.
  bool ready = false;
  for (const auto until = SteadyClock::now() + kStartLimit; !ready && SteadyClock::now() < until && !gInterrupted;) {
    if (!child.running()) break;
    ready = hasOpen(child.pid(), {slaves[0], slaves[1]}) &&
            (tool != Tool::Vorlog || fileSize(output) >= int64_t(3 * kRecordSize));
    std::this_thread::sleep_for(milliseconds(20));
  }
  if (!ready) {
    child.stop();
    o.exitText = child.exitText();
    return fail("the capture did not start (" + o.exitText + "): " + readText(err, 600));
  }
  // The sniffer sets up its ttys after opening them.
  if (tool == Tool::Sniffer) std::this_thread::sleep_for(milliseconds(300));

  o.ran = true;
  o.feed = feedBothLines(ptys, data);
  const bool drained = drain(ptys, output, child);
  if (gInterrupted) o.problem += "interrupted; ";
  else if (!o.feed.error.empty()) o.problem += o.feed.error + "; ";
  else if (!o.feed.complete()) o.problem += "the capture fell behind: not all bytes could be sent in time; ";
  if (!drained && !gInterrupted) o.problem += "the capture did not drain in time; ";
  const bool alive = child.running();
  child.stop();
  o.wall = seconds(SteadyClock::now() - t0);
  o.cpu = child.cpuSeconds();
  o.systemCpu = child.systemSeconds();
  o.exitText = child.exitText();
  if (!alive) o.problem += "it ended by itself (" + o.exitText + "): " + readText(err, 600) + "; ";
  o.outputBytes = fileSize(output);
  if (tool == Tool::Vorlog) {
    checkRecordFile(output, data, o);
    o.summary = readText(log, 600);
    if (!o.summary.empty() && o.exitText != "exit 0") o.problem += "vorlog-cli: " + o.exitText + "; ";
  } else {
    checkSnifferOutput(output, slaves, data, o);
  }
  if (!o.exact()) o.problem += "captured bytes differ from the bytes sent; ";
  return o;
}

std::string findInPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string all = path ? path : "/usr/bin:/bin";
  for (size_t at = 0; at <= all.size();) {
    const size_t end = std::min(all.find(':', at), all.size());
    const std::string candidate = all.substr(at, end - at) + "/" + name;
    if (end > at && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

struct Results {
  bool ran = false;
  std::string vorlogPath, snifferPath;
  Outcome vorlog;
  std::optional<Outcome> sniffer;
};
Results gResults;

void BM_PtyCaptureAgainstSniffer(benchmark::State& state) {
  for (auto _ : state) {
    Results& r = gResults;
    const char* cli = std::getenv("VORLOG_CLI");
    r.vorlogPath = cli && *cli ? cli : VORLOG_CLI_PATH;
    const char* jpn = std::getenv("JPNEVULATOR");
    r.snifferPath = jpn && *jpn ? jpn : findInPath("jpnevulator");
    if (r.vorlogPath.empty() || ::access(r.vorlogPath.c_str(), X_OK) != 0) {
      state.SkipWithError("vorlog-cli not found; set VORLOG_CLI");
      return;
    }
    std::vector<uint8_t> data[2];
    for (int l = 0; l < 2; ++l) {
      std::mt19937 rng(kSeed + uint32_t(l));
      data[l].resize(kTotalBytes);
      for (uint8_t& b : data[l]) b = uint8_t(rng() >> 24);
    }
    r.ran = true;
    r.vorlog = runCapture(Tool::Vorlog, r.vorlogPath, data);
    if (!r.snifferPath.empty() && !gInterrupted) r.sniffer = runCapture(Tool::Sniffer, r.snifferPath, data);

    state.SetIterationTime(r.vorlog.wall + (r.sniffer ? r.sniffer->wall : 0));
    state.counters["vorlog_cpu_s"] = r.vorlog.cpu;
    state.counters["vorlog_cpu_s_per_MB"] = r.vorlog.perMB();
    state.counters["vorlog_lost"] = double(int64_t(r.vorlog.feed.sent[0] + r.vorlog.feed.sent[1]) -
                                           r.vorlog.captured[0] - r.vorlog.captured[1]);
    if (r.sniffer) {
      state.counters["jpn_cpu_s"] = r.sniffer->cpu;
      state.counters["jpn_cpu_s_per_MB"] = r.sniffer->perMB();
      if (r.vorlog.perMB() > 0) state.counters["jpn_per_vorlog"] = r.sniffer->perMB() / r.vorlog.perMB();
    }
    if (!r.vorlog.problem.empty()) state.SkipWithError(("vorlog-cli: " + r.vorlog.problem).c_str());
  }
}
BENCHMARK(BM_PtyCaptureAgainstSniffer)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

void printResults() {
  const Results& r = gResults;
  if (!r.ran) return;
  const Outcome* o[2] = {&r.vorlog, r.sniffer ? &*r.sniffer : nullptr};
  std::printf("\nTwo pseudo-terminals, per line: %zu bytes paced at %.0f bytes/s, then %zu bytes at full speed\n",
              kPacedBytes, kPacedRate, kBurstBytes);
  std::printf("  vorlog-cli:  %s\n", r.vorlogPath.c_str());
  std::printf("  jpnevulator: %s\n", r.snifferPath.empty() ? "not installed: its half is skipped" : r.snifferPath.c_str());
  std::printf("\n  %-30s %18s %18s\n", "", "vorlog-cli", "jpnevulator");
  auto row = [&](const char* name, auto value) {
    std::printf("  %-30s", name);
    for (const Outcome* x : o) std::printf(" %18s", x && x->ran ? value(*x).c_str() : "-");
    std::printf("\n");
  };
  auto num = [](double v, int digits) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", digits, v);
    return std::string(b);
  };
  for (int l = 0; l < 2; ++l) {
    const std::string sent = std::string("bytes sent ") + kLineName[l];
    const std::string got = std::string("bytes captured ") + kLineName[l];
    const std::string order = std::string("  of them equal, in order");
    row(sent.c_str(), [l](const Outcome& x) { return std::to_string(x.feed.sent[l]); });
    row(got.c_str(), [l](const Outcome& x) { return std::to_string(x.captured[l]); });
    row(order.c_str(), [l](const Outcome& x) { return std::to_string(x.inOrder[l]); });
  }
  row("records / output bytes", [](const Outcome& x) { return std::to_string(x.records ? x.records : x.outputBytes); });
  row("paced phase (s)", [&](const Outcome& x) { return num(std::max(x.feed.pacedSeconds[0], x.feed.pacedSeconds[1]), 2); });
  row("full-speed phase (s)", [&](const Outcome& x) { return num(std::max(x.feed.burstSeconds[0], x.feed.burstSeconds[1]), 2); });
  row("full-speed MB/s, both lines", [&](const Outcome& x) {
    const double t = std::max(x.feed.burstSeconds[0], x.feed.burstSeconds[1]);
    return t > 0 ? num(2.0 * double(kBurstBytes) / 1e6 / t, 2) : std::string("-");
  });
  row("CPU s (user+sys, wait4)", [&](const Outcome& x) { return num(x.cpu, 2); });
  row("  of it in the kernel (sys)", [&](const Outcome& x) { return num(x.systemCpu, 2); });
  row("CPU s per MB captured", [&](const Outcome& x) { return num(x.perMB(), 3); });
  row("all bytes, exact", [](const Outcome& x) { return std::string(x.exact() ? "yes" : "NO"); });
  row("ended by", [](const Outcome& x) { return x.exitText; });
  if (o[1] && o[1]->ran && r.vorlog.perMB() > 0)
    std::printf("\n  CPU per MB, jpnevulator / vorlog-cli = %.2f\n", o[1]->perMB() / r.vorlog.perMB());
  if (!r.vorlog.summary.empty()) std::printf("\n  vorlog-cli said: %s\n", r.vorlog.summary.c_str());
  for (int i = 0; i < 2; ++i)
    if (o[i] && !o[i]->problem.empty())
      std::printf("  PROBLEM (%s): %s\n", i == 0 ? "vorlog-cli" : "jpnevulator", o[i]->problem.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printResults();
  return gResults.ran && gResults.vorlog.problem.empty() ? 0 : 1;
}
