// Stands in for a monitored link on two pseudo-terminals; prints the two slave paths
// (port A's, then port B's) first.
//
//   pty_feeder [WAIT]        waits, sends a little on each line, then hangs up as a
//                            pulled USB adapter would
//   pty_feeder paced BAUD PERCENT SECONDS
//                            waits a second, then keeps both lines busy at PERCENT of
//                            the character rate of BAUD 8N1 for SECONDS, prints the
//                            wall-clock time of its last byte and holds the lines open
//                            until its standard input closes
//   pty_feeder singles COUNT INTERVAL_MS FILE
//                            waits a second, then sends COUNT single bytes on port A's
//                            line INTERVAL_MS apart, writes the wall-clock time of each
//                            to FILE (seconds, one a line) and holds the lines open
//                            until its standard input closes
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

double wallNow() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void sleepUntil(const timespec& deadline) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) != 0) {
  }
}

timespec plus(timespec t, double seconds) {
  const long long ns = (long long)(seconds * 1e9) + t.tv_nsec;
  t.tv_sec += time_t(ns / 1000000000);
  t.tv_nsec = long(ns % 1000000000);
  return t;
}

bool writeAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, data, n);
    if (w <= 0) return false;
    data += w;
    n -= size_t(w);
  }
  return true;
}

void holdUntilStdinCloses() {
  char c;
  while (read(0, &c, 1) > 0) {
  }
}

// Both lines at once, each written in the millisecond steps a USB adapter would deliver.
int paced(int masters[2], double baud, double percent, double seconds) {
  const double rate = baud / 10.0 * percent / 100.0;  // characters per second, 8N1
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  long long sent = 0;
  const long long total = (long long)(rate * seconds);
  std::vector<char> chunk;
  double last = 0;
  for (int step = 1; sent < total; ++step) {
    sleepUntil(plus(start, step * 0.001));
    const long long due = std::min(total, (long long)(rate * step * 0.001));
    chunk.assign(size_t(due - sent), 0);
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = char('A' + (sent + (long long)i) % 26);
    for (int i = 0; i < 2; ++i)
      if (!chunk.empty() && !writeAll(masters[i], chunk.data(), chunk.size())) return 1;
    if (!chunk.empty()) last = wallNow();
    sent = due;
  }
  std::printf("%.6f\n", last);
  std::fflush(stdout);
  holdUntilStdinCloses();
  return 0;
}

int singles(int masters[2], int count, double intervalMs, const char* file) {
  std::string times;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (int i = 0; i < count; ++i) {
    sleepUntil(plus(start, i * intervalMs / 1000.0));
    const char c = char('a' + i % 26);
    if (!writeAll(masters[0], &c, 1)) return 1;
    char line[40];
    std::snprintf(line, sizeof line, "%.6f\n", wallNow());
    times += line;
  }
  FILE* out = std::fopen(file, "w");
  if (!out) return 1;
  std::fputs(times.c_str(), out);
  std::fclose(out);
  std::puts("done");
  std::fflush(stdout);
  holdUntilStdinCloses();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int masters[2];
  char names[2][128];
  for (int i = 0; i < 2; ++i) {
    masters[i] = posix_openpt(O_RDWR | O_NOCTTY);
    if (masters[i] < 0 || grantpt(masters[i]) != 0 || unlockpt(masters[i]) != 0) return 1;
    if (ptsname_r(masters[i], names[i], sizeof names[i]) != 0) return 1;
  }
  std::printf("%s %s\n", names[0], names[1]);
  std::fflush(stdout);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "paced" && argc == 5) {
    usleep(1000000);
    return paced(masters, atof(argv[2]), atof(argv[3]), atof(argv[4]));
  }
  if (mode == "singles" && argc == 5) {
    usleep(1000000);
    return singles(masters, atoi(argv[2]), atof(argv[3]), argv[4]);
  }
  const double waitSeconds = argc > 1 ? atof(argv[1]) : 2.0;
  usleep(useconds_t(waitSeconds * 1e6));
  const char a[] = "OK\r\n";
  const char b[] = "AT\r\xff";
  if (write(masters[0], a, sizeof a - 1) < 0 || write(masters[1], b, sizeof b - 1) < 0) return 1;
  usleep(500000);
  close(masters[0]);
  close(masters[1]);
  usleep(500000);
  return 0;
}
