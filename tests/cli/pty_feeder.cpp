// Stands in for a monitored link on two pseudo-terminals: prints the two slave paths,
// waits, sends a little on each line, then hangs up as a pulled USB adapter would.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  const double waitSeconds = argc > 1 ? atof(argv[1]) : 2.0;
  int masters[2];
  char names[2][128];
  for (int i = 0; i < 2; ++i) {
    masters[i] = posix_openpt(O_RDWR | O_NOCTTY);
    if (masters[i] < 0 || grantpt(masters[i]) != 0 || unlockpt(masters[i]) != 0) return 1;
    if (ptsname_r(masters[i], names[i], sizeof names[i]) != 0) return 1;
  }
  std::printf("%s %s\n", names[0], names[1]);
  std::fflush(stdout);
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
