#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <unistd.h>
#include <QTemporaryDir>
#include <functional>
#include <set>
#include <string>

#include "capture/SerialPort.h"
#include "capture/SimulatedLink.h"

namespace {

using End = SimulatedLink::End;
const LineSettings k9600{9600, 8, Parity::None, 1};
constexpr uint64_t kMs = 1000000;  // ManualClock ticks are nanoseconds

// What a device handed over, with the clock reading at the time.
class RecordingSink : public PortSink {
 public:
  struct Event {
    char kind;  // 'D' data, 'E' line error, 'M' modem lines
    uint64_t tick;
    std::string bytes;
    uint8_t word = 0, byte = 0, status = 0;
    bool hasByte = false;
  };
  explicit RecordingSink(const Clock& clock) : clock_(clock) {}

  void deviceData(const uint8_t* data, std::size_t length) override {
    events.push_back({'D', clock_.ticks(), std::string(reinterpret_cast<const char*>(data), length)});
    text.append(reinterpret_cast<const char*>(data), length);
    if (onData) onData();
  }
  void deviceLineError(uint8_t word, bool hasByte, uint8_t byte) override {
    events.push_back({'E', clock_.ticks(), {}, word, byte, 0, hasByte});
    if (hasByte) text += char(byte);
  }
  void deviceModemChanged(uint8_t status) override { events.push_back({'M', clock_.ticks(), {}, 0, 0, status}); }
  void deviceLost(const QString&) override {}

  int count(char kind) const {
    int n = 0;
    for (const Event& e : events) n += e.kind == kind;
    return n;
  }
  // The clock reading when the byte at index arrived.
  uint64_t tickOfByte(size_t index) const {
    size_t seen = 0;
    for (const Event& e : events) {
      const size_t n = e.kind == 'D' ? e.bytes.size() : (e.kind == 'E' && e.hasByte);
      if (index < seen + n) return e.tick;
      seen += n;
    }
    return 0;
  }

  std::string text;  // every character received, those with errors included
  std::vector<Event> events;
  std::function<void()> onData;

 private:
  const Clock& clock_;
};

// A link with both ends open on recording sinks, driven by a manual clock.
struct Bench {
  ManualClock clock;
  SimulatedLink link{clock};
  RecordingSink a{clock}, b{clock};
  std::unique_ptr<PortDevice> devA = link.createDevice(End::A);
  std::unique_ptr<PortDevice> devB = link.createDevice(End::B);
  uint64_t start = 0;

  void load(const char* text) {
    QString error;
    ASSERT_TRUE(link.loadScenarioText(QString::fromUtf8(text), QStringLiteral("test"), &error)) << error.toStdString();
  }
  void open(const LineSettings& s = k9600) {
    QString error;
    start = clock.ticks();
    ASSERT_TRUE(devA->open(s, a, &error)) << error.toStdString();
    ASSERT_TRUE(devB->open(s, b, &error)) << error.toStdString();
  }
  // Moves the clock to start + t, pumping every step ticks on the way.
  void runTo(uint64_t t, uint64_t step) {
    while (clock.ticks() < start + t) {
      clock.setTicks(std::min(clock.ticks() + step, start + t));
      link.pump();
    }
  }
};

std::string drain(SerialPort& port) {
  std::string s;
  while (port.CharReady()) s += char(port.GetChar());
  return s;
}

TEST(SimulatedLink, BytesArriveOnTheRightEndAtTheEndOfEachCharacter) {
  ManualClock clock;
  SimulatedLink link(clock);
  QString error;
  ASSERT_TRUE(link.loadScenarioText(QStringLiteral("d2 \"AB\"\nd1 \"x\"\nrate 1200\nd2 \"C\""), QStringLiteral("t"), &error));
  auto factory = [&](int com) { return link.createDevice(com == 1 ? End::A : End::B); };
  SerialPort comA(QStringLiteral("ComA"), factory), comB(QStringLiteral("ComB"), factory);
  comA.SetComNumber(1);
  comB.SetComNumber(2);
  for (SerialPort* p : {&comA, &comB}) {
    p->SetBaud(9600);
    ASSERT_TRUE(p->SetOpen(true, &error)) << error.toStdString();
  }
  EXPECT_EQ(comA.devicePath(), QStringLiteral("SIM-A"));
  EXPECT_EQ(comB.devicePath(), QStringLiteral("SIM-B"));
  const uint64_t t0 = clock.ticks();
  const uint64_t ct = 1041666;  // 10 bits at 9600 baud, in ns (rounded down)

  clock.setTicks(t0 + ct - 1);
  link.pump();
  EXPECT_EQ(comA.inCount(), 0);
  clock.setTicks(t0 + ct);
  link.pump();
  EXPECT_EQ(drain(comA), "A");
  EXPECT_EQ(drain(comB), "x") << "D1 is heard by SIM-B, on its own time cursor";
  clock.setTicks(t0 + 2 * ct + 1);
  link.pump();
  EXPECT_EQ(drain(comA), "B");
  // After `rate 1200` a character takes 10/1200 s.
  clock.setTicks(t0 + 2083333 + 8333333 - 1);
  link.pump();
  EXPECT_EQ(comA.inCount(), 0);
  clock.advance(1);
  link.pump();
  EXPECT_EQ(drain(comA), "C");
  EXPECT_EQ(link.bytesSent(End::A), 3u);
  EXPECT_EQ(link.bytesDelivered(End::B), 1u);
}

TEST(SimulatedLink, FramingWaitAndSyncPlaceTheCharacters) {
  Bench t;
  t.load("d1 \"AAAA\"\nd2 \"b\"\nwait 10ms\nd2 \"c\"\nsync\nd2 \"d\"\n");
  t.open({9600, 7, Parity::Even, 2});  // 11 bits a character
  t.runTo(100 * kMs, 1000);
  const double ct = 11e9 / 9600;
  ASSERT_EQ(t.b.text, "AAAA");
  ASSERT_EQ(t.a.text, "bcd");
  auto near = [](uint64_t got, double want) { return got >= uint64_t(want) && got < uint64_t(want) + 1000; };
  EXPECT_TRUE(near(t.b.tickOfByte(3) - t.start, 4 * ct));
  EXPECT_TRUE(near(t.a.tickOfByte(0) - t.start, ct)) << "the lines overlap: b goes out with the first A";
  EXPECT_TRUE(near(t.a.tickOfByte(1) - t.start, 2 * ct + 10e6)) << "wait advances each line from where it is";
  EXPECT_TRUE(near(t.a.tickOfByte(2) - t.start, 4 * ct + 10e6 + ct)) << "sync moves both lines to the later one";
}

TEST(SimulatedLink, HandshakeLinesReachTheEndThatSeesThem) {
  Bench t;
  t.load(
      "set dtr=1\nwait 1ms\nset rts=1\nwait 1ms\nset dsr=1 cts=1\nwait 1ms\nset dcd=1 ri=1\nwait 1ms\n"
      "set dcd=1\nwait 1ms\nset s1=0 m3=0\nwait 1ms\nd1 \"x\"\nset rts=0\n");
  t.open();
  t.runTo(20 * kMs, 100000);
  using namespace ModemBit;
  std::vector<uint8_t> a, b;
  for (auto& e : t.a.events)
    if (e.kind == 'M') a.push_back(e.status);
  for (auto& e : t.b.events)
    if (e.kind == 'M') b.push_back(e.status);
  // DTR and RTS of the terminal reach SIM-B as DSR and CTS; setting a line to what it is changes nothing.
  EXPECT_EQ(b, (std::vector<uint8_t>{Dsr, Dsr | Cts, Cts, 0}));
  EXPECT_EQ(a, (std::vector<uint8_t>{Dsr | Cts, Dsr | Cts | Dcd | Ri, Dsr | Cts | Dcd}));
  EXPECT_EQ(t.devA->modemStatus(), Dsr | Cts | Dcd);
  EXPECT_EQ(t.devB->modemStatus(), 0);
  // RTS drops after the character on its own (DTE) side has gone out.
  ASSERT_EQ(t.b.events.back().kind, 'M');
  EXPECT_GT(t.b.events.back().tick, t.b.tickOfByte(0) - 1);
  EXPECT_GE(t.b.events.back().tick - t.start, 6 * kMs + 1041666);
}

TEST(SimulatedLink, LineErrorsArriveWithTheirCharacter) {
  ManualClock clock;
  SimulatedLink link(clock);
  QString error;
  ASSERT_TRUE(link.loadScenarioText(
      QStringLiteral("d2 \"a\"\nerror d2 parity 41\nerror d2 overrun\nd2 \"b\"\nerror d1 framing 42\nerror d1 break\nd1 \"c\""),
      QStringLiteral("t"), &error));
  SerialPort comA(QStringLiteral("ComA"), [&](int) { return link.createDevice(End::A); });
  std::vector<int> errors;
  QObject::connect(&comA, &SerialPort::lineError, [&](int word) { errors.push_back(word); });
  ASSERT_TRUE(comA.SetOpen(true, &error));
  RecordingSink b(clock);
  auto devB = link.createDevice(End::B);
  ASSERT_TRUE(devB->open({4800, 8, Parity::None, 1}, b, &error));
  clock.advance(10 * kMs);
  link.pump();
  EXPECT_EQ(drain(comA), "aAb") << "the character with the parity error is kept";
  EXPECT_EQ(errors, (std::vector<int>{LineErrorBit::Parity, LineErrorBit::Overrun}));
  ASSERT_EQ(b.count('E'), 2);
  EXPECT_EQ(b.events[0].word, LineErrorBit::Framing);
  EXPECT_TRUE(b.events[0].hasByte);
  EXPECT_EQ(b.events[0].byte, 0x42);
  EXPECT_EQ(b.events[1].word, LineErrorBit::Break);
  EXPECT_FALSE(b.events[1].hasByte);
  EXPECT_EQ(b.text, "Bc");
  EXPECT_EQ(link.bytesSent(End::A), 3u);
  EXPECT_EQ(link.bytesDelivered(End::B), 2u);
}

TEST(SimulatedLink, TimeRunsOnWhileAnEndIsClosedAndItsBytesAreLost) {
  Bench t;
  t.load("d2 \"start\"\nwait 1ms\nrepeat forever\n  d2 \"x\"\nend\n");
  t.clock.advance(5000 * kMs);  // scenario time starts at the first open, not before
  QString error;
  ASSERT_TRUE(t.devA->open(k9600, t.a, &error));
  t.start = t.clock.ticks();
  t.runTo(50 * kMs, kMs);
  const size_t before = t.a.text.size();
  EXPECT_EQ(t.a.text.substr(0, 5), "start");
  t.devA->close();
  t.runTo(100 * kMs, 10 * kMs);
  t.link.pump();
  ASSERT_TRUE(t.devA->open(k9600, t.a, &error));
  t.runTo(150 * kMs, kMs);
  // 150 ms at 9600 baud carry 144 characters, and 1 ms of pause.
  EXPECT_EQ(t.link.bytesSent(End::A), 143u);
  EXPECT_EQ(t.link.bytesDelivered(End::A), t.a.text.size());
  EXPECT_NEAR(double(t.a.text.size() - before), 48, 1) << "only what came after the reopen";
  EXPECT_NEAR(double(t.link.bytesSent(End::A) - t.link.bytesDelivered(End::A)), 48, 1);
}

TEST(SimulatedLink, OpeningChecksSettingsAndRefusesASecondOpen) {
  ManualClock clock;
  auto link = std::make_unique<SimulatedLink>(clock);
  RecordingSink sink(clock);
  auto first = link->createDevice(End::A), second = link->createDevice(End::A);
  QString error;
  EXPECT_FALSE(first->open({0, 8, Parity::None, 1}, sink, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("baud"))) << error.toStdString();
  EXPECT_FALSE(first->open({9600, 9, Parity::None, 1}, sink, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("data bits"))) << error.toStdString();
  ASSERT_TRUE(first->open(k9600, sink, &error));
  EXPECT_FALSE(second->open(k9600, sink, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("busy"))) << error.toStdString();
  EXPECT_FALSE(first->open(k9600, sink, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("busy")));
  first.reset();  // destroying an open device closes it
  EXPECT_TRUE(second->open(k9600, sink, &error)) << error.toStdString();
  link.reset();  // devices may outlive the link
  second->readPending();
  second->close();
  EXPECT_FALSE(second->open(k9600, sink, &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("SIM-A"))) << error.toStdString();
  EXPECT_EQ(second->path(), QStringLiteral("SIM-A"));
}

TEST(SimulatedLink, ScenarioFilesReportWhereTheyFail) {
  ManualClock clock;
  SimulatedLink link(clock);
  QTemporaryDir dir;
  QString error;
  const QString missing = dir.filePath(QStringLiteral("none.scn"));
  EXPECT_FALSE(link.loadScenarioFile(missing, &error));
  EXPECT_TRUE(error.startsWith(missing + QStringLiteral(": "))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("cannot open"))) << error.toStdString();

  const QString broken = dir.filePath(QStringLiteral("broken.scn"));
  QFile f(broken);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("d2 \"x\"\nwait 5\n");
  f.close();
  EXPECT_FALSE(link.loadScenarioFile(broken, &error));
  EXPECT_TRUE(error.startsWith(broken + QStringLiteral(":2: "))) << error.toStdString();
  EXPECT_TRUE(error.contains(QStringLiteral("needs a unit"))) << error.toStdString();

  // A scenario that sends nothing would record an idle link for ever.
  for (const char* idle : {"", "# only a comment\n\n", "repeat forever\n  wait 1s\nend\n", "repeat 0\n  d1 \"x\"\nend\n"}) {
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(idle);
    f.close();
    EXPECT_FALSE(link.loadScenarioFile(broken, &error)) << idle;
    EXPECT_TRUE(error.startsWith(broken + QStringLiteral(":1: "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("sends nothing"))) << error.toStdString();
  }
}

// Bytes the capture cannot take in time are lost as a UART loses them, with an overrun
// in their place, and no pump keeps the event loop (signals, time limits) waiting.
TEST(SimulatedLink, ALinkTooFastForTheCaptureOverrunsInsteadOfFallingBehind) {
  MonotonicClock clock;
  SimulatedLink link(clock);
  RecordingSink a(clock), b(clock);
  a.onData = [] { ::usleep(10000); };  // a capture far slower than the line
  link.useStress(12345678, 0, 1);
  link.setRealTime(true);
  auto devA = link.createDevice(End::A), devB = link.createDevice(End::B);
  QString error;
  const LineSettings fast{12345678, 8, Parity::None, 1};
  ASSERT_TRUE(devA->open(fast, a, &error));
  ASSERT_TRUE(devB->open(fast, b, &error));
  QElapsedTimer run;
  run.start();
  qint64 longest = 0;
  while (run.elapsed() < 400) {
    QElapsedTimer one;
    one.start();
    link.pump();
    longest = std::max(longest, one.elapsed());
  }
  // Far below the run's 400 ms: a pump that worked off everything due would take it all.
  // The margin is for sanitizer builds on a busy machine.
  EXPECT_LT(longest, 200);
  EXPECT_GT(a.count('E'), 0);
  for (const auto& e : a.events) EXPECT_TRUE(e.kind != 'E' || e.word == LineErrorBit::Overrun);
  EXPECT_LT(link.bytesDelivered(End::A), link.bytesSent(End::A));
  // The link stays with the clock: it is never further behind than the overrun time
  // (100 ms) and the longest pump's work, with some slack for the scheduler.
  const double perMs = 1234.5678, due = perMs * double(run.elapsed());
  EXPECT_GE(double(link.bytesSent(End::A)), due - perMs * double(150 + longest));
  EXPECT_LE(double(link.bytesSent(End::A)), due + perMs * 20);
}

TEST(SimulatedLink, StressAt921600DeliversExactlyOneSecondOfBytes) {
  Bench t;
  int finished = 0;
  QObject::connect(&t.link, &SimulatedLink::scenarioFinished, [&] { ++finished; });
  t.link.useStress(921600, 1.0, 7);
  t.open({921600, 8, Parity::None, 1});
  t.runTo(999 * kMs, kMs);
  EXPECT_FALSE(t.link.finished());
  t.runTo(1200 * kMs, kMs);
  for (End end : {End::A, End::B}) {
    EXPECT_EQ(t.link.bytesSent(end), 92160u);
    EXPECT_EQ(t.link.bytesDelivered(end), 92160u);
  }
  EXPECT_EQ(t.a.text.size(), 92160u);
  EXPECT_EQ(t.b.text.size(), 92160u);
  EXPECT_LE(t.a.count('D'), 1000) << "one call per pump, not per byte";
  EXPECT_NE(t.a.text, t.b.text);
  EXPECT_EQ(std::set<char>(t.a.text.begin(), t.a.text.end()).size(), 256u);
  EXPECT_TRUE(t.link.finished());
  EXPECT_EQ(finished, 1);

  Bench again;  // the same seed gives the same bytes, whatever the pumping
  again.link.useStress(921600, 1.0, 7);
  again.open({921600, 8, Parity::None, 1});
  again.runTo(1000 * kMs, 37 * kMs);
  EXPECT_EQ(again.a.text, t.a.text);
}

TEST(SimulatedLink, LongRunsDoNotDrift) {
  Bench t;
  t.load("stress 115200 seed=3\n");
  t.open();
  t.runTo(10000 * kMs, 7 * kMs + 13);
  EXPECT_EQ(t.link.bytesDelivered(End::A), 115200u);  // 11520 characters a second
  EXPECT_EQ(t.link.bytesDelivered(End::B), 115200u);

  // The 1000th "x" goes out at 1000 character times plus 999 pauses.
  Bench r;
  r.load("repeat forever\n  d1 \"x\"\n  wait 1ms\nend\n");
  r.open();
  r.runTo(2040666666 - 1, 10 * kMs);
  EXPECT_EQ(r.b.text.size(), 999u);
  r.runTo(2040666666, 1);
  EXPECT_EQ(r.b.text.size(), 1000u);
}

TEST(SimulatedLink, BlocksASideCannotSeeCostNothing) {
  Bench t;
  t.load(
      "repeat 1000000000000000000\n  d1 \"x\"\nend\n"
      "d2 \"y\"\n");
  t.open();
  t.runTo(3 * kMs, kMs);
  EXPECT_EQ(t.a.text, "y") << "d2 comes at once: its cursor was never moved";
  EXPECT_EQ(t.b.text, "xx");

  Bench f;
  f.load(
      "repeat 1000000\n  repeat 1000000\n    wait 1s\n  end\nend\n"
      "d1 \"z\"\n");
  f.open();
  f.runTo(10 * kMs, kMs);
  EXPECT_TRUE(f.b.text.empty());
  EXPECT_FALSE(f.link.finished());

  // Steps shorter than one character give no byte, however often they repeat.
  Bench s;
  s.load("repeat forever\n  stress 9600 1ms\nend\n");
  s.open();
  s.runTo(50 * kMs, kMs);
  EXPECT_TRUE(s.a.text.empty() && s.b.text.empty());
  Bench n;
  n.load("repeat 1000000000\n  stress 1 1ns\nend\nd1 \"z\"\n");
  n.open();
  n.runTo(1100 * kMs, 100 * kMs);
  EXPECT_EQ(n.b.text, "z");
  Bench endless;
  endless.load("stress 9600 2ms\nrepeat forever\n  stress 9600 1ms\nend\n");
  endless.open();
  endless.runTo(10 * kMs, kMs);
  EXPECT_EQ(endless.a.text.size(), 1u);  // the two-millisecond stress still sends its character
  EXPECT_FALSE(endless.link.finished());
}

TEST(SimulatedLink, DeliveryIsNeverReentrant) {
  Bench t;
  t.load("repeat forever\n  d1 \"ab\"\n  d2 \"cd\"\n  set dcd=1\n  wait 1ms\n  set dcd=0\n  wait 1ms\nend\n");
  int depth = 0, maxDepth = 0;
  t.b.onData = [&] {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    t.link.pump();
    t.devB->readPending();
    --depth;
  };
  // A handler that closes its own end from inside a delivery.
  t.a.onData = [&] {
    if (t.a.text.size() >= 6) t.devA->close();
  };
  t.open();
  t.runTo(50 * kMs, 3 * kMs);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(t.a.text.size(), 6u);
  EXPECT_GT(t.link.bytesSent(End::A), t.link.bytesDelivered(End::A));
  EXPECT_EQ(t.link.bytesSent(End::B), t.link.bytesDelivered(End::B));

  // Loading a new scenario from inside a delivery stops the old one cleanly.
  t.b.onData = [&] { t.link.useStress(9600, 0, 1); };
  t.runTo(60 * kMs, 5 * kMs);
  t.b.onData = nullptr;
  t.runTo(80 * kMs, 5 * kMs);
  EXPECT_GT(t.link.bytesDelivered(End::B), 0u);
}

TEST(SimulatedLink, FlushInputDropsWhatIsDueButNotDelivered) {
  ManualClock clock;
  SimulatedLink link(clock);
  QString error;
  ASSERT_TRUE(link.loadScenarioText(QStringLiteral("d2 \"old\"\nset dcd=1\nwait 20ms\nd2 \"new\""), QStringLiteral("t"), &error));
  SerialPort comA(QStringLiteral("ComA"), [&](int) { return link.createDevice(End::A); });
  ASSERT_TRUE(comA.SetOpen(true, &error));
  clock.advance(10 * kMs);
  comA.FlushInBuffer();
  EXPECT_EQ(comA.inCount(), 0);
  EXPECT_EQ(comA.GetModemStatus(), ModemBit::Dcd) << "the lines are not flushed";
  clock.advance(30 * kMs);
  comA.readPending();
  EXPECT_EQ(drain(comA), "new");
  EXPECT_EQ(link.bytesSent(End::A), 6u);
  EXPECT_EQ(link.bytesDelivered(End::A), 3u);
}

TEST(SimulatedLink, FinishesAfterTheLastWaitAndResetsLinesOnANewScenario) {
  Bench t;
  int finished = 0;
  QObject::connect(&t.link, &SimulatedLink::scenarioFinished, [&] { ++finished; });
  t.load("set dcd=1\nd1 \"a\"\nwait 1s\n");
  t.open();
  t.runTo(900 * kMs, 100 * kMs);
  EXPECT_FALSE(t.link.finished());
  t.runTo(1100 * kMs, 100 * kMs);
  EXPECT_TRUE(t.link.finished());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(t.devA->modemStatus(), ModemBit::Dcd);
  t.load("wait 1s\nd2 \"b\"\n");
  EXPECT_FALSE(t.link.finished());
  t.link.pump();
  ASSERT_EQ(t.a.events.back().kind, 'M');
  EXPECT_EQ(t.a.events.back().status, 0);
}

TEST(SimulatedLink, DefaultScenarioPlaysAModemExchangeAndLoops) {
  Bench t;
  t.link.useDefaultScenario();
  t.open();
  // Find where the second loop starts: the second "AT\r" from the terminal.
  t.runTo(20000 * kMs, 2 * kMs);
  const size_t second = t.b.text.find("AT\r", 1);
  ASSERT_NE(second, std::string::npos);
  const uint64_t loop = t.b.tickOfByte(second) - t.start;
  EXPECT_GT(loop, 3000 * kMs);
  EXPECT_LT(loop, 10000 * kMs);
  EXPECT_FALSE(t.link.finished());

  // Everything asked for happens within the first loop.
  auto within = [&](const RecordingSink& s, auto pred) {
    for (const auto& e : s.events)
      if (e.tick - t.start < loop && pred(e)) return true;
    return false;
  };
  const std::string d1 = t.b.text.substr(0, second);
  for (const char* s : {"ATZ\r", "ATDT0301234567\r", "+++", "ATH\r"}) EXPECT_NE(d1.find(s), std::string::npos) << s;
  for (const char* s : {"OK\r\n", "CONNECT 9600\r\n"}) EXPECT_NE(t.a.text.find(s), std::string::npos) << s;
  EXPECT_LT(t.a.tickOfByte(t.a.text.find("NO CARRIER")) - t.start, loop);
  EXPECT_GT(d1.size() + t.a.text.find("NO CARRIER"), 300u);
  EXPECT_TRUE(within(t.a, [](auto& e) { return e.kind == 'E' && e.word == LineErrorBit::Parity && e.hasByte; }));
  EXPECT_TRUE(within(t.a, [](auto& e) { return e.kind == 'M' && (e.status & ModemBit::Dcd); }));
  EXPECT_TRUE(within(t.a, [](auto& e) { return e.kind == 'M' && (e.status & ModemBit::Ri); }));
  EXPECT_TRUE(within(t.b, [](auto& e) { return e.kind == 'M' && e.status == (ModemBit::Dsr | ModemBit::Cts); }));
  // Some data goes both ways at the same time.
  bool overlap = false;
  for (const auto& ea : t.a.events)
    for (const auto& eb : t.b.events)
      overlap |= ea.kind == 'D' && eb.kind == 'D' && ea.tick == eb.tick && ea.tick - t.start < loop;
  EXPECT_TRUE(overlap);
}

}  // namespace

// Opening or flushing one end never hands the other end its bytes early: a recording
// whose gate is not open yet would throw them away.
TEST(SimulatedLink, OneEndsOpenAndFlushLeaveTheOtherEndsBytes) {
  ManualClock clock;
  SimulatedLink link(clock);
  QString error;
  ASSERT_TRUE(link.loadScenarioText(QStringLiteral("d1 \"abc\"\nwait 20ms\nd1 \"de\""), QStringLiteral("t"), &error));
  SerialPort comB(QStringLiteral("ComB"), [&](int) { return link.createDevice(End::B); });
  SerialPort comA(QStringLiteral("ComA"), [&](int) { return link.createDevice(End::A); });
  ASSERT_TRUE(comB.SetOpen(true, &error));
  clock.advance(10 * kMs);
  ASSERT_TRUE(comA.SetOpen(true, &error));
  comA.FlushInBuffer();
  EXPECT_EQ(comB.inCount(), 0);
  EXPECT_EQ(link.bytesDelivered(End::B), 0u);
  clock.advance(30 * kMs);
  comB.readPending();
  EXPECT_EQ(drain(comB), "abcde");
}
