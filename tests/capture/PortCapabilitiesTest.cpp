#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "capture/PortCapabilities.h"

namespace {

// A sysfs tree as the kernel lays it out for one USB adapter: the tty's device link
// points into the devices tree, where the driver link and the latency timer are.
struct FakeSysfs {
  QTemporaryDir dir;
  QString root() const { return dir.path(); }

  void mkdir(const QString& rel) const { QDir().mkpath(root() + QLatin1Char('/') + rel); }
  void link(const QString& target, const QString& rel) const {
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(root() + QLatin1Char('/') + rel).constData()), 0);
  }
  void write(const QString& rel, const QByteArray& text) const {
    QFile f(root() + QLatin1Char('/') + rel);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  // class/tty/<tty>/device -> devices/usb1/1-1/1-1:1.0/<tty>, bound to driver.
  QString adapter(const QString& tty, const QString& driver) const {
    const QString dev = QStringLiteral("devices/usb1/1-1/1-1:1.0/") + tty;
    mkdir(dev);
    mkdir(QStringLiteral("bus/usb-serial/drivers/") + driver);
    mkdir(QStringLiteral("class/tty/") + tty);
    link(QStringLiteral("../../../../../bus/usb-serial/drivers/") + driver, dev + QStringLiteral("/driver"));
    link(QStringLiteral("../../../") + dev, QStringLiteral("class/tty/") + tty + QStringLiteral("/device"));
    return dev;
  }
};

TEST(SysfsTty, LatencyTimerReadsNumbersAndNamesWhatItCannotRead) {
  struct Case {
    const char* name;
    const char* content;  // nullptr: no file
    int ms;
    SysfsProblem problem;
    const char* detail;
  };
  const Case cases[] = {
      {"default FTDI", "16\n", 16, SysfsProblem::None, ""},
      {"set by the udev rule", "1\n", 1, SysfsProblem::None, ""},
      {"no newline", "2", 2, SysfsProblem::None, ""},
      {"missing: not an FTDI adapter", nullptr, -1, SysfsProblem::Missing, ""},
      {"empty", "", -1, SysfsProblem::Empty, ""},
      {"blank line", " \n", -1, SysfsProblem::Empty, ""},
      {"words", "fast\n", -1, SysfsProblem::Garbage, "fast"},
      {"negative", "-1\n", -1, SysfsProblem::Garbage, "-1"},
      {"beyond the chip's 255 ms", "256\n", -1, SysfsProblem::Garbage, "256"},
      {"control bytes shown harmlessly", "1\x1b[2J", -1, SysfsProblem::Garbage, "1?[2J"},
      {"long garbage cut short", "12345678901234567890", -1, SysfsProblem::Garbage, "1234567890123456..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSysfs sys;
    const QString dev = sys.adapter(QStringLiteral("ttyUSB0"), QStringLiteral("ftdi_sio"));
    if (c.content) sys.write(dev + QStringLiteral("/latency_timer"), QByteArray(c.content));
    const LatencyReading r = SysfsTty(sys.root()).latencyTimer(QStringLiteral("ttyUSB0"));
    EXPECT_EQ(r.ms, c.ms);
    EXPECT_EQ(int(r.problem), int(c.problem));
    if (c.problem == SysfsProblem::Garbage) {
      EXPECT_EQ(r.detail.toStdString(), c.detail);
    }
  }
}

TEST(SysfsTty, FindsDriverAndTimerThroughLinksAndTheBusListing) {
  FakeSysfs sys;
  const QString dev = sys.adapter(QStringLiteral("ttyUSB0"), QStringLiteral("ftdi_sio"));
  sys.write(dev + QStringLiteral("/latency_timer"), "16\n");
  const SysfsTty tty(sys.root());
  EXPECT_EQ(tty.driver(QStringLiteral("ttyUSB0")), QStringLiteral("ftdi_sio"));
  EXPECT_EQ(tty.driver(QStringLiteral("ttyUSB9")), QString());  // no such tty
  EXPECT_EQ(tty.driver(QStringLiteral("..")), QString());

  // Only in the usb-serial bus listing.
  sys.adapter(QStringLiteral("ttyUSB1"), QStringLiteral("pl2303"));
  sys.mkdir(QStringLiteral("bus/usb-serial/devices/ttyUSB1"));
  sys.write(QStringLiteral("bus/usb-serial/devices/ttyUSB1/latency_timer"), "4\n");
  EXPECT_EQ(tty.latencyTimer(QStringLiteral("ttyUSB1")).ms, 4);

  // A device without a driver link, and a latency timer that is a folder.
  sys.mkdir(QStringLiteral("devices/platform/serial/ttyS4/latency_timer"));
  sys.mkdir(QStringLiteral("class/tty/ttyS4"));
  sys.link(QStringLiteral("../../../devices/platform/serial/ttyS4"), QStringLiteral("class/tty/ttyS4/device"));
  EXPECT_EQ(tty.driver(QStringLiteral("ttyS4")), QString());
  EXPECT_EQ(int(tty.latencyTimer(QStringLiteral("ttyS4")).problem), int(SysfsProblem::Unreadable));

  // A driver link whose name is no driver name.
  sys.adapter(QStringLiteral("ttyUSB2"), QStringLiteral("bad name\x01"));
  EXPECT_EQ(tty.driver(QStringLiteral("ttyUSB2")), QString());

  // The user's name for the device (a by-id link) leads to the kernel's name.
  QTemporaryDir devdir;
  QFile node(devdir.path() + QStringLiteral("/ttyUSB0"));
  ASSERT_TRUE(node.open(QIODevice::WriteOnly));
  ASSERT_EQ(::symlink("ttyUSB0", QFile::encodeName(devdir.path() + QStringLiteral("/usb-FTDI-if00")).constData()), 0);
  EXPECT_EQ(tty.ttyName(devdir.path() + QStringLiteral("/usb-FTDI-if00")), QStringLiteral("ttyUSB0"));
}

// The driver's flags as a test wants them: refusing, dropping the flag, or taking it.
struct FakeFlags : SerialFlagsAccess {
  int flags = 0x40;  // some other user flag that must survive
  bool refuseGet = false, refuseSet = false, dropLowLatency = false;
  int sets = 0;
  int get(int, int* out) override {
    if (refuseGet) return ENOTTY;
    *out = flags;
    return 0;
  }
  int set(int, int f) override {
    if (refuseSet) return EPERM;
    ++sets;
    flags = dropLowLatency ? (f & ~LowLatencyRequest::kFlag) : f;
    return 0;
  }
};

TEST(LowLatencyRequest, AsksOnceAndPutsBackOnlyWhatItChanged) {
  constexpr int LL = LowLatencyRequest::kFlag;
  struct Case {
    const char* name;
    int before;
    bool refuseGet, refuseSet, drop;
    bool granted;
    int sets;  // request and restore together
  };
  const Case cases[] = {
      {"driver takes it", 0x40, false, false, false, true, 2},
      {"already on: left alone", 0x40 | LL, false, false, false, true, 0},
      {"no such ioctl (pseudo-terminal)", 0x40, true, false, false, false, 0},
      {"refused without privileges", 0x40, false, true, false, false, 0},
      {"accepted but dropped", 0x40, false, false, true, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFlags io;
    io.flags = c.before;
    io.refuseGet = c.refuseGet;
    io.refuseSet = c.refuseSet;
    io.dropLowLatency = c.drop;
    LowLatencyRequest r(io);
    EXPECT_EQ(r.request(3), c.granted);
    EXPECT_EQ(r.granted(), c.granted);
    if (c.granted) {
      EXPECT_TRUE(io.flags & LL);
    }
    r.restore(3);
    r.restore(3);  // a second close changes nothing
    EXPECT_EQ(io.flags, c.before);
    EXPECT_EQ(io.sets, c.sets);
  }
  // A device gone before the close: nothing to put back, and no harm done.
  FakeFlags io;
  LowLatencyRequest r(io);
  ASSERT_TRUE(r.request(3));
  io.refuseGet = true;
  r.restore(3);
  EXPECT_EQ(io.sets, 1);
}

TEST(PortCapabilities, NotesSayWhatARecordingMisses) {
  using N = PortNote;
  auto caps = [](const char* driver, ModemWatch w, bool counters, int latency, bool lowLatency) {
    PortCapabilities c;
    c.known = true;
    c.driver = QString::fromLatin1(driver);
    c.modemWatch = w;
    c.errorCounters = counters;
    c.latency.ms = latency;
    c.latency.problem = latency >= 0 ? SysfsProblem::None : SysfsProblem::Missing;
    c.lowLatency = lowLatency;
    return c;
  };
  struct Case {
    const char* name;
    PortCapabilities caps;
    std::vector<N> notes;
  };
  const Case cases[] = {
      {"built-in UART", caps("serial8250", ModemWatch::Waits, true, -1, true), {}},
      {"pseudo-terminal", caps("pty", ModemWatch::None, false, -1, false), {N::ModemNotSeen, N::ErrorKindsApproximated}},
      {"FTDI at 16 ms without low latency", caps("ftdi_sio", ModemWatch::Waits, true, 16, false), {N::LatencySmear}},
      {"FTDI with low latency runs at 1 ms", caps("ftdi_sio", ModemWatch::Waits, true, 16, true), {}},
      {"FTDI set to 1 ms by udev", caps("ftdi_sio", ModemWatch::Waits, true, 1, false), {}},
      {"adapter that cannot wait nor count", caps("cp210x", ModemWatch::Polls, false, -1, false),
       {N::ModemPolled, N::ErrorKindsApproximated}},
      {"modem watch not known: no claim", caps("x", ModemWatch::Unknown, true, -1, false), {}},
      {"simulated link", PortCapabilities{}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(recordingNotes(c.caps), c.notes);
    EXPECT_EQ(recordingNoteTexts(c.caps, QStringLiteral("COM3 (/dev/ttyUSB0)")).size(), qsizetype(c.notes.size()));
  }
  const QStringList smear = recordingNoteTexts(caps("ftdi_sio", ModemWatch::Waits, true, 16, false), QStringLiteral("COM3"));
  ASSERT_EQ(smear.size(), 1);
  EXPECT_TRUE(smear[0].startsWith(QStringLiteral("COM3: ")) && smear[0].contains(QStringLiteral("16 ms")) &&
              smear[0].contains(QStringLiteral("99-vorlog-ftdi-latency.rules")))
      << smear[0].toStdString();
  // The port list names an unreadable timer with the file's text.
  PortCapabilities garbled = caps("ftdi_sio", ModemWatch::Waits, true, -1, false);
  garbled.latency = {-1, SysfsProblem::Garbage, QStringLiteral("fast")};
  EXPECT_TRUE(describeCapabilities(garbled).join(QLatin1Char(';')).contains(QStringLiteral("\"fast\"")));
}

}  // namespace
