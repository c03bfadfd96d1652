#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <random>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "capture/Clock.h"
#include "capture/SerialPort.h"
#include "capture/Termios2.h"
#include "capture/TermiosDevice.h"
#include "support/PumpUntil.h"

// ----------------------------------------------------------------------------------
// Pseudo-terminals have no modem lines. To drive the modem thread, this binary's
// ioctl() answers TIOCMGET, TIOCGICOUNT and TIOCMIWAIT itself for one chosen tty (by
// device number) while a test asks it to; every other call goes to the C library.
namespace fakemodem {
std::atomic<dev_t> device{0};  // 0: pass everything through
std::atomic<bool> refuseWait{false};
std::atomic<bool> blocked{false};  // a caller sits in TIOCMIWAIT
std::atomic<int> waits{0}, gets{0};  // TIOCMIWAIT entered, TIOCMGET answered
int wake[2] = {-1, -1};            // a byte here ends one TIOCMIWAIT

std::mutex mutex;  // a change of lines and counters is seen whole or not at all
int lines = 0;
int cts = 0, dsr = 0, rng = 0, dcd = 0;  // edges counted so far
bool refuseCounters = false;
int hookAfter = 0;  // the hook runs after this many more TIOCMGET/TIOCGICOUNT answers
std::function<void()> hook;

void afterAnswer() {
  std::function<void()> run;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (hookAfter > 0 && --hookAfter == 0) run.swap(hook);
  }
  if (run) run();
}
}  // namespace fakemodem

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  const dev_t fake = fakemodem::device;
  struct stat st;
  if (fake && (request == TIOCMGET || request == TIOCMIWAIT || request == TIOCGICOUNT) && ::fstat(fd, &st) == 0 &&
      st.st_rdev == fake) {
    using namespace fakemodem;
    if (request == TIOCMGET) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        *static_cast<int*>(arg) = lines;
        ++gets;
      }
      afterAnswer();
      return 0;
    }
    if (request == TIOCGICOUNT) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (refuseCounters) {
          errno = EINVAL;
          return -1;
        }
        serial_icounter_struct ic{};
        ic.cts = cts, ic.dsr = dsr, ic.rng = rng, ic.dcd = dcd;
        std::memcpy(arg, &ic, sizeof ic);
      }
      afterAnswer();
      return 0;
    }
    if (refuseWait) {
      errno = EINVAL;
      return -1;
    }
    char c;
    ++waits;
    blocked = true;
    const ssize_t n = ::read(wake[0], &c, 1);
    blocked = false;
    return n == 1 ? 0 : -1;  // EINTR when the device stops us
  }
  using Real = int (*)(int, unsigned long, ...);
  static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "ioctl"));
  return real(fd, request, arg);
}

namespace {

// ----------------------------------------------------------------------------------
// The PARMRK parser on its own.

struct RecordingSink : PortSink {
  std::string log;  // "D<hex>" runs merged, "E<word>[+<byte>]" errors, "L" lost
  std::function<void()> afterData;
  void deviceData(const uint8_t* data, std::size_t length) override {
    if (log.empty() || log.back() == ' ') log += "D";
    for (std::size_t i = 0; i < length; ++i) {
      char b[3];
      std::snprintf(b, sizeof b, "%02x", data[i]);
      log += b;
    }
    if (afterData) afterData();
  }
  void deviceLineError(uint8_t word, bool hasByte, uint8_t byte) override {
    char b[16];
    if (hasByte)
      std::snprintf(b, sizeof b, "E%02x+%02x", word, byte);
    else
      std::snprintf(b, sizeof b, "E%02x", word);
    sep();
    log += b;
    log += ' ';
  }
  std::vector<uint8_t> modem;  // every status delivered, in order
  void deviceModemChanged(uint8_t status) override { modem.push_back(status); }
  void deviceLost(const QString&) override { sep(), log += "L "; }
  void sep() {
    if (!log.empty() && log.back() != ' ') log += ' ';
  }
  std::string text() {
    sep();
    return log;
  }
};

std::string bytes(std::initializer_list<int> v) {
  std::string s;
  for (int c : v) s.push_back(char(c));
  return s;
}

void feed(ParmrkParser& p, const std::string& s, PortSink& sink) {
  p.feed(reinterpret_cast<const uint8_t*>(s.data()), s.size(), sink);
}

TEST(TermiosParmrkParser, DecodesEverySplitOfAStreamAlike) {
  // x, doubled 0xFF, y, marked 'A', z, marked 0, w, doubled 0xFF at the very end
  const std::string stream = bytes({'x', 0xFF, 0xFF, 'y', 0xFF, 0, 'A', 'z', 0xFF, 0, 0, 'w', 0, 0xFF, 0xFF});
  // Without counters a marked 0 is a break and any other marked byte a parity error.
  const std::string expected = "D78ff79 E02+41 D7a E10 D7700ff ";
  for (std::size_t chunk = 1; chunk <= stream.size(); ++chunk) {
    ParmrkParser p;  // no counter reader at all
    RecordingSink sink;
    for (std::size_t at = 0; at < stream.size(); at += chunk) feed(p, stream.substr(at, chunk), sink);
    EXPECT_EQ(sink.text(), expected) << "chunk " << chunk;
  }
  ParmrkParser refusing([](LineCounters*) { return false; });
  RecordingSink sink;
  feed(refusing, stream, sink);
  EXPECT_EQ(sink.text(), expected);
}

TEST(TermiosParmrkParser, UndoubledFfStaysDataAndResetDropsAPartialMark) {
  ParmrkParser p;
  RecordingSink sink;
  feed(p, bytes({'a', 0xFF}), sink);
  feed(p, "q", sink);
  EXPECT_EQ(sink.text(), "D61ff71 ");
  RecordingSink after;
  feed(p, bytes({0xFF, 0}), after);
  p.reset();
  feed(p, "b", after);
  EXPECT_EQ(after.text(), "D62 ");
}

TEST(TermiosParmrkParser, CountersTellTheKindOfEachMark) {
  LineCounters c{5, 7, 9, 1, 0};  // counts from before the baseline are not ours
  ParmrkParser p([&c](LineCounters* out) {
    *out = c;
    return true;
  });
  p.reset();
  RecordingSink sink;
  const std::string marked0 = bytes({0xFF, 0, 0});
  const std::string markedA = bytes({0xFF, 0, 'A'});

  feed(p, markedA, sink);  // no increment: falls back to parity
  ++c.frame;
  feed(p, markedA, sink);
  ++c.parity;
  feed(p, markedA, sink);
  ++c.brk;
  feed(p, marked0, sink);
  ++c.frame;  // a 0 with a framing error is not a break
  feed(p, marked0, sink);
  EXPECT_EQ(sink.text(), "E02+41 E04+41 E02+41 E10 E04+00 ");

  // Two marks in one read: the break goes to the 0, the framing error to the other.
  RecordingSink two;
  ++c.frame;
  ++c.brk;
  feed(p, "a" + markedA + "b" + marked0 + "c", two);
  EXPECT_EQ(two.text(), "D61 E04+41 D62 E10 D63 ");

  // Counted before its mark arrives: the credit waits for the next read.
  RecordingSink later;
  ++c.parity;
  feed(p, bytes({'x', 0xFF}), later);
  feed(p, bytes({0, 'B'}), later);
  EXPECT_EQ(later.text(), "D78 E02+42 ");
}

TEST(TermiosParmrkParser, OverrunReportedOncePerIncrease) {
  LineCounters c;
  bool refuse = false;
  ParmrkParser p([&](LineCounters* out) {
    *out = c;
    return !refuse;
  });
  p.reset();
  RecordingSink sink;
  p.pollCounters(sink);
  c.overrun += 3;
  p.pollCounters(sink);
  p.pollCounters(sink);
  c.bufOverrun += 1;
  feed(p, bytes({'a', 0xFF, 0, 'Z'}), sink);  // noticed when the mark makes us read
  refuse = true;
  c.overrun += 1;
  p.pollCounters(sink);
  EXPECT_EQ(sink.text(), "E08 D61 E08 E02+5a ");
}

TEST(TermiosParmrkParser, HaltStopsDeliveryInsideARead) {
  ParmrkParser p;
  RecordingSink sink;
  sink.afterData = [&p] { p.halt(); };
  feed(p, bytes({'a', 'b', 0xFF, 0, 'A', 'c'}), sink);
  feed(p, "d", sink);
  EXPECT_EQ(sink.text(), "D6162 ");
}

// ----------------------------------------------------------------------------------
// A real TermiosDevice on the slave side of a pseudo-terminal.

struct Pty {
  int master = -1;
  QString slave;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) return;
    slave = QString::fromLocal8Bit(name);
    termios t;
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
  }
  ~Pty() { closeMaster(); }
  void closeMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  void write(const std::string& s) const { writeAll(s.data(), s.size()); }
  void writeAll(const void* p, std::size_t n) const {
    auto* c = static_cast<const char*>(p);
    while (n > 0) {
      const ssize_t w = ::write(master, c, n);
      if (w < 0 && errno == EINTR) continue;
      ASSERT_GT(w, 0) << std::strerror(errno);
      c += w;
      n -= std::size_t(w);
    }
  }
};

class TermiosPort : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(pty.slave.isEmpty()) << "no pseudo-terminal"; }

  SerialPort::DeviceFactory factory(std::size_t chunk = 0) {
    return [this, chunk](int) {
      auto d = std::make_unique<TermiosDevice>(pty.slave);
      if (chunk) d->setReadChunkSize(chunk);
      device = d.get();
      return d;
    };
  }
  // Takes everything the port has through GetChar until n bytes are in.
  std::string receive(SerialPort& port, std::size_t n, int timeoutMs = 3000) {
    std::string got;
    pumpUntil(
        [&] {
          while (port.CharReady()) got.push_back(char(port.GetChar()));
          return got.size() >= n;
        },
        timeoutMs);
    return got;
  }

  Pty pty;
  TermiosDevice* device = nullptr;
};

TEST_F(TermiosPort, OneMegabyteOfEveryByteValueArrivesInOrder) {
  SerialPort port("A", factory());
  port.SetBaud(115200);
  QString err;
  ASSERT_TRUE(port.SetOpen(true, &err)) << err.toStdString();

  std::string data(1 << 20, '\0');
  std::mt19937 rng(7);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = char(i < 256 ? i : rng());  // all values, 0xFF runs
  data.replace(300, 4, bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  std::thread writer([&] {
    std::size_t at = 0;
    while (at < data.size()) {
      const std::size_t n = std::min<std::size_t>(data.size() - at, 1 + rng() % 9000);
      pty.writeAll(data.data() + at, n);
      at += n;
    }
  });
  const std::string got = receive(port, data.size(), 20000);
  writer.join();
  ASSERT_EQ(got.size(), data.size());
  EXPECT_TRUE(got == data) << "first difference at " << std::mismatch(got.begin(), got.end(), data.begin()).first - got.begin();
}

TEST_F(TermiosPort, FfAloneAndFfSplitAcrossReadsSurvive) {
  {
    SerialPort port("A", factory());
    ASSERT_TRUE(port.SetOpen(true));
    pty.write(bytes({0xFF}));
    EXPECT_EQ(receive(port, 1), bytes({0xFF}));
    pty.write(bytes({'a', 0xFF}));
    EXPECT_EQ(receive(port, 2), bytes({'a', 0xFF}));
    pty.write(bytes({0xFF, 'b'}));
    EXPECT_EQ(receive(port, 2), bytes({0xFF, 'b'}));
  }
  // Reads of one and of seven bytes split every doubled 0xFF somewhere.
  for (std::size_t chunk : {std::size_t(1), std::size_t(7)}) {
    SerialPort port("A", factory(chunk));
    ASSERT_TRUE(port.SetOpen(true));
    std::string data;
    for (int i = 0; i < 2048; ++i) data.push_back(char(i % 3 ? 0xFF : i));
    pty.write(data);
    EXPECT_TRUE(receive(port, data.size()) == data) << "chunk " << chunk;
  }
}

TEST_F(TermiosPort, SecondOpenIsBusyAndTheFirstKeepsWorking) {
  SerialPort first("A", factory());
  ASSERT_TRUE(first.SetOpen(true));
  SerialPort second("B", factory());
  QString err;
  EXPECT_FALSE(second.SetOpen(true, &err));
  EXPECT_TRUE(err.contains("busy")) << err.toStdString();
  QString why;
  EXPECT_FALSE(probeSerialDevice(pty.slave, &why));
  EXPECT_TRUE(why.contains("busy")) << why.toStdString();

  pty.write("still here");
  EXPECT_EQ(receive(first, 10), "still here");
  first.SetOpen(false);
  EXPECT_TRUE(probeSerialDevice(pty.slave, &why)) << why.toStdString();
  EXPECT_TRUE(second.SetOpen(true, &err)) << err.toStdString();
}

TEST(TermiosDevice, ClearMessagesForMissingAndNonSerialPaths) {
  RecordingSink sink;
  QString err;
  TermiosDevice missing("/dev/vorlog-no-such-port");
  EXPECT_FALSE(missing.open(LineSettings{}, sink, &err));
  EXPECT_TRUE(err.contains("does not exist")) << err.toStdString();
  EXPECT_FALSE(probeSerialDevice("/dev/vorlog-no-such-port", &err));
  EXPECT_TRUE(err.contains("does not exist")) << err.toStdString();

  TermiosDevice notATty("/dev/null");
  EXPECT_FALSE(notATty.open(LineSettings{}, sink, &err));
  EXPECT_TRUE(err.contains("not a serial device")) << err.toStdString();
  EXPECT_FALSE(probeSerialDevice("/dev/null", &err));
  EXPECT_TRUE(err.contains("not a serial device")) << err.toStdString();
}

TEST_F(TermiosPort, AnyBaudAndEveryFrameFormatOpenRawAndAreRestored) {
  // Our own descriptor of the same tty, to look at what the device set.
  const int fd = ::open(pty.slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  // Master and slave share one termios; give it a cooked state to come back to.
  termios before;
  ASSERT_EQ(::tcgetattr(fd, &before), 0);
  before.c_lflag |= ICANON | ECHO | ISIG;
  before.c_cflag |= HUPCL;
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &before), 0);
  ASSERT_EQ(::tcgetattr(fd, &before), 0);

  RecordingSink sink;
  for (int32_t baud : {10400, 56000, 300, 115200, 921600}) {
    TermiosDevice d(pty.slave);
    QString err;
    ASSERT_TRUE(d.open(LineSettings{baud, 8, Parity::None, 1}, sink, &err)) << baud << err.toStdString();
    uint32_t in = 0, out = 0;
    ASSERT_EQ(tio2::readSpeeds(fd, &in, &out), 0);
    EXPECT_EQ(out, uint32_t(baud));
    EXPECT_EQ(in, uint32_t(baud));
  }
  for (int bits = 5; bits <= 8; ++bits) {
    for (int parity = 0; parity < 5; ++parity) {
      for (int stop = 1; stop <= 2; ++stop) {
        TermiosDevice d(pty.slave);
        QString err;
        ASSERT_TRUE(d.open(LineSettings{9600, bits, Parity(parity), stop}, sink, &err)) << err.toStdString();
        termios t;
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        // The pty driver forces 8 bits without parity, so only the rest can be checked here.
        EXPECT_EQ(bool(t.c_cflag & CSTOPB), stop == 2);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | HUPCL | CRTSCTS), tcflag_t(CREAD | CLOCAL));
        EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | IGNPAR | IGNBRK | BRKINT | ISTRIP | IXON | IXOFF | ICRNL),
                  tcflag_t(INPCK | PARMRK));
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), tcflag_t(0));
        EXPECT_EQ(t.c_oflag & OPOST, tcflag_t(0));
      }
    }
  }
  TermiosDevice bad(pty.slave);
  QString err;
  EXPECT_FALSE(bad.open(LineSettings{9600, 9, Parity::None, 1}, sink, &err));
  EXPECT_FALSE(bad.open(LineSettings{0, 8, Parity::None, 1}, sink, &err));

  termios after;
  ASSERT_EQ(::tcgetattr(fd, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  ::close(fd);
}

TEST_F(TermiosPort, PtyHasNoModemLinesAndNoModemThread) {
  SerialPort port("A", factory());
  ASSERT_TRUE(port.SetOpen(true));
  EXPECT_EQ(port.GetModemStatus(), 0);
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(device->modemThreadRunning());
  port.SetThreadBoost(2);  // nothing to boost; must not fail
  port.SetThreadBoost(0);
}

// A driver that takes the low-latency flag, standing in behind the seam.
struct TakingFlags : SerialFlagsAccess {
  int flags = 0;
  int get(int, int* out) override {
    *out = flags;
    return 0;
  }
  int set(int, int f) override {
    flags = f;
    return 0;
  }
};

TEST_F(TermiosPort, PtyReportsWhatItLacksAndLowLatencyIsPutBackOnClose) {
  auto expectPty = [](const PortCapabilities& c) {
    EXPECT_TRUE(c.known);
    EXPECT_EQ(c.driver, QStringLiteral("pty"));
    EXPECT_EQ(c.modemWatch, ModemWatch::None);
    EXPECT_FALSE(c.errorCounters);
    EXPECT_FALSE(c.lowLatency);  // no TIOCSSERIAL on a pseudo-terminal: no error either
    EXPECT_EQ(c.latency.ms, -1);
  };
  RecordingSink sink;
  {
    TermiosDevice d(pty.slave);
    ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
    expectPty(d.capabilities());
  }
  expectPty(probePortCapabilities(pty.slave));
  EXPECT_FALSE(probePortCapabilities(QStringLiteral("/dev/vorlog-no-such-port")).known);

  // Where the driver takes the flag: on while open, off again after close, also
  // when the other end hung up in between.
  for (bool hangUp : {false, true}) {
    SCOPED_TRACE(hangUp ? "hung up" : "plain close");
    TakingFlags flags;
    TermiosDevice d(pty.slave);
    d.setSystemAccess(QStringLiteral("/nonexistent"), &flags);
    ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
    EXPECT_TRUE(d.capabilities().lowLatency);
    EXPECT_TRUE(flags.flags & LowLatencyRequest::kFlag);
    if (hangUp) pty.closeMaster();
    d.close();
    EXPECT_EQ(flags.flags, 0);
  }
}

// Without the event loop nothing is delivered: the bytes wait in the kernel or in the
// reader thread's hands, and flushing or reading pending input must reach both.
TEST_F(TermiosPort, FlushAndReadPendingWorkOnWhatIsNotDeliveredYet) {
  SerialPort port("A", factory());
  ASSERT_TRUE(port.SetOpen(true));
  int avail = 0;
  QObject::connect(&port, &SerialPort::triggerAvail, [&](int) { ++avail; });
  auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(30)); };

  pty.write(bytes({'o', 'l', 'd', 0xFF}));
  settle();
  port.FlushInBuffer();
  pty.write("new");
  EXPECT_EQ(receive(port, 3), "new");

  avail = 0;
  pty.write(bytes({'p', 0xFF, 'q'}));
  settle();
  port.readPending();  // no event loop: taken at once, without notifications
  EXPECT_EQ(port.inCount(), 3);
  EXPECT_EQ(avail, 0);
}

// The reader thread stamps each read when it returns: a main thread that gets to the
// bytes late still learns when they came, and only while they are being delivered.
TEST_F(TermiosPort, BytesCarryTheMomentTheyWereReadNotWhenTheyAreHandled) {
  SerialPort port("A", factory());
  ASSERT_TRUE(port.SetOpen(true));
  EXPECT_TRUE(device->readerThreadRunning());
  std::vector<uint64_t> seen;
  QObject::connect(&port, &SerialPort::triggerAvail, [&](int) {
    seen.push_back(port.readAt());
    while (port.CharReady()) port.GetChar();
  });
  for (int i = 0; i < 3; ++i) {
    const uint64_t sent = monotonicNanoseconds();
    pty.write("s");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // the event loop is busy elsewhere
    const uint64_t handled = monotonicNanoseconds();
    seen.clear();
    ASSERT_TRUE(pumpUntil([&] { return !seen.empty(); }, 2000));
    EXPECT_GE(seen[0], sent);
    EXPECT_LT(seen[0], sent + 40000000) << "stamped " << (seen[0] - sent) / 1000 << " µs after the write";
    EXPECT_LT(seen[0], handled);
  }
  EXPECT_EQ(port.readAt(), 0u);
}

TEST_F(TermiosPort, ClosingFromInsideADeliveryIsSafe) {
  SerialPort port("A", factory(5));
  ASSERT_TRUE(port.SetOpen(true));
  int seen = 0;
  QObject::connect(&port, &SerialPort::triggerAvail, [&](int) {
    ++seen;
    port.SetOpen(false);
  });
  pty.write(std::string(4000, 'z'));
  pumpUntil([&] { return !port.isOpen(); }, 2000);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(seen, 1);
  // The next open reads again.
  seen = 0;
  ASSERT_TRUE(port.SetOpen(true));
  pty.write("x");
  EXPECT_TRUE(pumpUntil([&] { return seen > 0; }, 2000));
}

class TermiosModemThread : public TermiosPort {
 protected:
  void SetUp() override {
    TermiosPort::SetUp();
    ASSERT_EQ(::pipe2(fakemodem::wake, O_CLOEXEC), 0);
    struct stat st;
    ASSERT_EQ(::stat(pty.slave.toLocal8Bit().constData(), &st), 0);
    {
      std::lock_guard<std::mutex> lock(fakemodem::mutex);
      fakemodem::lines = TIOCM_CTS;
      fakemodem::cts = fakemodem::dsr = fakemodem::rng = fakemodem::dcd = 7;  // not ours: before open
      fakemodem::refuseCounters = false;
      fakemodem::hookAfter = 0;
      fakemodem::hook = nullptr;
    }
    fakemodem::refuseWait = false;
    fakemodem::device = st.st_rdev;
  }
  void TearDown() override {
    fakemodem::device = 0;
    ::close(fakemodem::wake[0]);
    ::close(fakemodem::wake[1]);
  }
  struct Edges {
    int cts = 0, dsr = 0, rng = 0, dcd = 0;
  };
  // Sets the lines and counts edges as the driver would, in one step; wakes TIOCMIWAIT.
  static void drive(int newLines, Edges e, bool wake = true) {
    {
      std::lock_guard<std::mutex> lock(fakemodem::mutex);
      fakemodem::lines = newLines;
      fakemodem::cts += e.cts, fakemodem::dsr += e.dsr, fakemodem::rng += e.rng, fakemodem::dcd += e.dcd;
    }
    const char c = 1;
    if (wake) {
      ASSERT_EQ(::write(fakemodem::wake[1], &c, 1), 1);
    }
  }
  // A plain change: one edge on every line that moved.
  static void change(int newLines, bool wake = true) {
    int old;
    {
      std::lock_guard<std::mutex> lock(fakemodem::mutex);
      old = fakemodem::lines;
    }
    const int moved = old ^ newLines;
    drive(newLines, {!!(moved & TIOCM_CTS), !!(moved & TIOCM_DSR), !!(moved & TIOCM_RNG), !!(moved & TIOCM_CD)}, wake);
  }
  static void refuseCounters() {
    std::lock_guard<std::mutex> lock(fakemodem::mutex);
    fakemodem::refuseCounters = true;
  }
  // Where the thread stood before something was driven.
  struct Mark {
    int waits, gets;
  };
  static Mark mark() { return {fakemodem::waits, fakemodem::gets}; }
  // Everything delivered once the thread has dealt with what was driven since m: it
  // waits again, or (polling) has looked twice more.
  static std::vector<uint8_t> deliveredSince(Mark m, RecordingSink& sink) {
    if (fakemodem::refuseWait)
      pumpUntil([m] { return fakemodem::gets >= m.gets + 3; }, 2000);
    else
      pumpUntil([m] { return fakemodem::waits > m.waits && fakemodem::blocked; }, 2000);
    QCoreApplication::processEvents();
    std::vector<uint8_t> got;
    got.swap(sink.modem);
    return got;
  }
  // Waits for the next modem trigger and reports the status then.
  static bool nextChange(SerialPort& port) {
    const int h = port.AddStatusTrigger(StatusKind::Modem);
    port.SetStatusTrigger(h, ModemDelta::All, true);
    bool fired = false;
    auto c = QObject::connect(&port, &SerialPort::triggerStatus, [&](int which) { fired |= which == h; });
    pumpUntil([&] { return fired; }, 2000);
    QObject::disconnect(c);
    port.RemoveTrigger(h);
    return fired;
  }
};

TEST_F(TermiosModemThread, ReportsChangesAndStopsPromptlyWhileBlocked) {
  SerialPort port("A", factory());
  ASSERT_TRUE(port.SetOpen(true));
  ASSERT_TRUE(device->modemThreadRunning());
  EXPECT_EQ(port.GetModemStatus(), ModemBit::Cts);
  port.SetThreadBoost(3);  // best effort; without rights nothing happens
  change(TIOCM_CTS | TIOCM_DSR | TIOCM_CD);
  EXPECT_TRUE(nextChange(port));
  change(TIOCM_RNG);
  EXPECT_TRUE(nextChange(port));
  // Blocked in TIOCMIWAIT, or about to enter it: close must get the thread out at
  // once, every time.
  for (int i = 0; i < 200; ++i) {
    if (i % 3 == 0) change(i & 4 ? TIOCM_DSR : 0);
    if (i % 2) QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    port.SetOpen(false);
    ASSERT_LT(t.elapsed(), 200) << "round " << i;
    ASSERT_TRUE(port.SetOpen(true));
  }
  QCoreApplication::processEvents();  // calls queued by closed devices must go nowhere
}

TEST_F(TermiosModemThread, OpenAndTheListingTellWhatTheDriverReports) {
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "driver refuses wait and counters" : "driver waits and counts");
    fakemodem::refuseWait = refuse;
    {
      std::lock_guard<std::mutex> lock(fakemodem::mutex);
      fakemodem::refuseCounters = refuse;
    }
    RecordingSink sink;
    TermiosDevice d(pty.slave);
    ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
    EXPECT_EQ(d.capabilities().modemWatch, refuse ? ModemWatch::Polls : ModemWatch::Waits);
    EXPECT_EQ(d.capabilities().errorCounters, !refuse);
    d.close();
    // The look the port list takes never blocks in the wait.
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(probePortCapabilities(pty.slave).modemWatch, refuse ? ModemWatch::Polls : ModemWatch::Waits);
    EXPECT_LT(t.elapsed(), 500);
  }
}

TEST_F(TermiosModemThread, PollsWhereTheDriverCannotWait) {
  fakemodem::refuseWait = true;
  SerialPort port("A", factory());
  ASSERT_TRUE(port.SetOpen(true));
  ASSERT_TRUE(device->modemThreadRunning());
  change(TIOCM_CD, false);
  EXPECT_TRUE(nextChange(port));
  EXPECT_EQ(port.GetModemStatus(), ModemBit::Dcd);
  QElapsedTimer t;
  t.start();
  port.SetOpen(false);
  EXPECT_LT(t.elapsed(), 200);
}

using Statuses = std::vector<uint8_t>;
constexpr uint8_t kCts = ModemBit::Cts, kDsr = ModemBit::Dsr, kRi = ModemBit::Ri, kDcd = ModemBit::Dcd;

TEST_F(TermiosModemThread, PulsesGoneBeforeTheyAreReadArriveAsTwoChanges) {
  for (bool poll : {false, true}) {
    SCOPED_TRACE(poll ? "polling" : "waiting");
    fakemodem::refuseWait = poll;
    change(TIOCM_CTS, false);
    RecordingSink sink;
    TermiosDevice d(pty.slave);
    ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
    ASSERT_TRUE(d.modemThreadRunning());
    auto after = [&](int lines, Edges e) {
      const Mark m = mark();
      drive(lines, e);
      return deliveredSince(m, sink);
    };
    if (!poll) {
      ASSERT_TRUE(pumpUntil([] { return fakemodem::blocked.load(); }, 2000));
    }

    // A ring, over when the thread looks; then as UARTs that count a ring once, as it ends.
    EXPECT_EQ(after(TIOCM_CTS, {.rng = 2}), (Statuses{kCts | kRi, kCts}));
    EXPECT_EQ(after(TIOCM_CTS, {.rng = 1}), (Statuses{kCts | kRi, kCts}));
    // Glitches on CTS and DCD while DSR rises: one status with both glitches, then the end.
    EXPECT_EQ(after(TIOCM_CTS | TIOCM_DSR, {.cts = 2, .dsr = 1, .dcd = 2}), (Statuses{kDsr | kDcd, kCts | kDsr}));
    // One edge counted while the level reads unchanged is no glitch: the level shows later.
    EXPECT_EQ(after(TIOCM_CTS | TIOCM_DSR, {.dcd = 1}), Statuses{});
    EXPECT_EQ(after(TIOCM_CTS | TIOCM_DSR | TIOCM_CD, {}), (Statuses{kCts | kDsr | kDcd}));
    EXPECT_EQ(after(0, {.cts = 1, .dsr = 1, .dcd = 1}), (Statuses{0}));
  }
}

TEST_F(TermiosModemThread, AChangeWhileTheThreadIsBusyIsNotLeftForTheNext) {
  RecordingSink sink;
  TermiosDevice d(pty.slave);
  ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
  // The change lands after the 1st, 2nd or 3rd look at the driver once the thread
  // wakes: up to the moment it would wait again. Nothing wakes it afterwards.
  for (int after = 1; after <= 3; ++after) {
    SCOPED_TRACE(after);
    ASSERT_TRUE(pumpUntil([] { return fakemodem::blocked.load(); }, 2000));
    const bool on = after % 2;
    {
      std::lock_guard<std::mutex> lock(fakemodem::mutex);
      fakemodem::hookAfter = after;
      // DSR moves and wakes the thread; DCD follows it silently.
      fakemodem::hook = [on] { change(on ? TIOCM_CTS | TIOCM_DSR | TIOCM_CD : TIOCM_CTS, false); };
    }
    change(on ? TIOCM_CTS | TIOCM_DSR : TIOCM_CTS | TIOCM_CD);
    const uint8_t want = on ? kCts | kDsr | kDcd : kCts;
    pumpUntil([&] { return !sink.modem.empty() && sink.modem.back() == want; }, 2000);
    ASSERT_FALSE(sink.modem.empty());
    EXPECT_EQ(int(sink.modem.back()), int(want));
    sink.modem.clear();
  }
}

TEST_F(TermiosModemThread, ARingEndingWhileTheThreadLooksIsOneRing) {
  RecordingSink sink;
  TermiosDevice d(pty.slave);
  ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
  ASSERT_TRUE(pumpUntil([] { return fakemodem::blocked.load(); }, 2000));
  {
    std::lock_guard<std::mutex> lock(fakemodem::mutex);
    fakemodem::hookAfter = 1;  // counted the rise, not yet the fall
    fakemodem::hook = [] { drive(TIOCM_CTS, {.rng = 1}, false); };
  }
  const Mark m = mark();
  drive(TIOCM_CTS | TIOCM_RNG, {.rng = 1});
  EXPECT_EQ(deliveredSince(m, sink), (Statuses{kCts | kRi, kCts}));
}

TEST_F(TermiosModemThread, WithoutCountersTheLevelsAloneAreReported) {
  refuseCounters();
  for (bool poll : {false, true}) {
    SCOPED_TRACE(poll ? "polling" : "waiting");
    fakemodem::refuseWait = poll;
    change(TIOCM_CTS, false);
    RecordingSink sink;
    TermiosDevice d(pty.slave);
    ASSERT_TRUE(d.open(LineSettings{}, sink, nullptr));
    ASSERT_TRUE(d.modemThreadRunning());
    if (!poll) {
      ASSERT_TRUE(pumpUntil([] { return fakemodem::blocked.load(); }, 2000));
    }
    Mark m = mark();
    drive(TIOCM_CTS, {.rng = 2});  // no way to see it
    EXPECT_EQ(deliveredSince(m, sink), Statuses{});
    m = mark();
    change(TIOCM_CTS | TIOCM_CD);
    EXPECT_EQ(deliveredSince(m, sink), (Statuses{kCts | kDcd}));
    m = mark();
    change(TIOCM_CD);
    EXPECT_EQ(deliveredSince(m, sink), (Statuses{kDcd}));
  }
}

double cpuSeconds() {
  timespec t;
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

TEST_F(TermiosPort, HangUpGivesOnePortLostAndNoBusyLoop) {
  SerialPort port("A", factory());
  ASSERT_TRUE(port.SetOpen(true));
  int lost = 0;
  QString reason;
  QObject::connect(&port, &SerialPort::portLost, [&](const QString& r) {
    ++lost;
    reason = r;
  });
  pty.write("bye");
  EXPECT_EQ(receive(port, 3), "bye");
  pty.closeMaster();
  ASSERT_TRUE(pumpUntil([&] { return lost > 0; }, 3000));
  EXPECT_TRUE(reason.contains(pty.slave)) << reason.toStdString();

  // Idle in the event loop for a while: a notifier left on would burn the CPU.
  const double cpu = cpuSeconds();
  QEventLoop loop;
  QTimer::singleShot(300, &loop, &QEventLoop::quit);
  loop.exec();
  port.readPending();
  EXPECT_LT(cpuSeconds() - cpu, 0.1);
  EXPECT_EQ(lost, 1);
  port.SetOpen(false);
}

}  // namespace
