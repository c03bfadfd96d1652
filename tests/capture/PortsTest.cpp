#include <fcntl.h>
#include <stdlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "capture/CaptureEngine.h"
#include "capture/PortRegistry.h"
#include "capture/Ports.h"
#include "settings/Texts.h"
#include "support/FakeDevice.h"
#include "support/RecordingMessages.h"

namespace {

// Both ports on fake devices with the engine behind them.
struct PortsRig {
  ManualClock clock;
  LiveViewBuffer live;
  CaptureEngine engine{clock, live};
  FakePort a{"ComA"}, b{"ComB"};
  RecordingMessages messages;
  bool changed = false;
  Ports ports{a.port, b.port, engine, messages, changed};
};

struct PortsFixture : ::testing::Test, PortsRig {
  void offer(QStringList numbers) {
    ports.portListA = ports.portListB = numbers;
    const PortValueLists v = PortValueLists::defaults();
    ports.baudRates = {v.baudRates, 0};
    ports.dataBits = {v.dataBits, 0};
    ports.parities = {v.parities, 0};
    ports.stopBits = {v.stopBits, 0};
  }
};

TEST_F(PortsFixture, LineSettingsReachBothPorts) {
  offer({"1", "2"});
  ports.baudRates.select("10400");  // not offered: added and taken as it is
  ports.dataBits.select("7");
  ports.parities.select("M");
  ports.stopBits.select("2");
  ports.InitInterface();
  for (SerialPort* p : {&a.port, &b.port}) {
    EXPECT_EQ(p->settings().baud, 10400);
    EXPECT_EQ(p->settings().dataBits, 7);
    EXPECT_EQ(p->settings().parity, Parity::Mark);
    EXPECT_EQ(p->settings().stopBits, 2);
  }
  EXPECT_EQ(engine.minimumSpacing(), 11ull * 1000000000ull / 10400 + 1);

  ports.stopBits.select("1");
  ports.dataBits.select("5");
  ports.InitInterface();
  EXPECT_EQ(a.port.settings().stopBits, 2);  // 1.5 stop bits at 5 data bits
  ports.dataBits.select("8");
  ports.parities.select("X");  // a letter nobody offers: no parity
  ports.InitInterface();
  EXPECT_EQ(a.port.settings().stopBits, 1);
  EXPECT_EQ(a.port.settings().parity, Parity::None);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PortsFixture, PortNumbersAndTheTwoPortRule) {
  offer({});
  ports.InitInterface();
  EXPECT_EQ(a.port.comNumber(), 1);
  EXPECT_EQ(b.port.comNumber(), 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], std::make_pair(205, 2053));

  offer({"3", "7", "9"});
  ports.indexA = ports.indexB = 1;  // the same port twice
  ports.InitInterface();
  EXPECT_EQ(b.port.comNumber(), 7);
  EXPECT_EQ(a.port.comNumber(), 9);  // moved at once, never the same device
  ports.indexA = ports.indexB = 2;
  ports.InitInterface();
  EXPECT_EQ(a.port.comNumber(), 3);  // wraps to the first
  offer({"3", "7"});
  ports.indexA = 0;
  ports.indexB = 2;  // out of range
  ports.InitInterface();
  EXPECT_EQ(b.port.comNumber(), 3);
  EXPECT_EQ(a.port.comNumber(), 7);
}

TEST_F(PortsFixture, TrialOpenProvesAndReports) {
  offer({"1", "2"});
  EXPECT_TRUE(ports.TryToOpenPorts());
  EXPECT_TRUE(changed);
  EXPECT_EQ(a.state->opens, 1);
  EXPECT_EQ(b.state->opens, 1);
  EXPECT_FALSE(a.port.isOpen());
  EXPECT_FALSE(b.port.isOpen());
  a.state->failOpen = true;
  EXPECT_FALSE(ports.TryToOpenPorts());
  ASSERT_EQ(messages.reports.size(), 1u);
  EXPECT_EQ(messages.reports[0].title, 2000);
  EXPECT_EQ(messages.reports[0].message, 9650);
  EXPECT_TRUE(messages.reports[0].extra.startsWith("COM2 (FAKE): refused\n\n"))
      << messages.reports[0].extra.toStdString();
  EXPECT_EQ(b.state->opens, 2);  // ComB is still proved
}

// The first line says which port failed and why; the advice for this system comes after it.
TEST(PortFailureText, ReasonFirstThenTheAdvice) {
  const QString advice = "\n\n" + Texts::text(9652);
  EXPECT_TRUE(advice.contains("dialout") && advice.contains("vorlog-cli ports") && advice.contains("journalctl -k"));
  PortFailure f = portOpenFailure(true, 3, "/dev/ttyUSB0", "/dev/ttyUSB0: permission denied");
  EXPECT_EQ(f.message, 9650);
  EXPECT_EQ(f.extra, "COM3 (/dev/ttyUSB0): permission denied" + advice);
  f = portOpenFailure(false, 3, "/dev/ttyUSB0", "/dev/ttyUSB0 is busy: another program has it open");
  EXPECT_EQ(f.message, 9651);
  EXPECT_EQ(f.extra, "COM3 (/dev/ttyUSB0) is busy: another program has it open" + advice);
  // A reason that names the port itself, or nothing at all, or no device known yet.
  EXPECT_EQ(portOpenFailure(false, 7, "", "COM7 is not assigned to a device").extra,
            "COM7 is not assigned to a device" + advice);
  EXPECT_EQ(portOpenFailure(false, 7, "", "COM71 is other").extra, "COM7: COM71 is other" + advice);
  EXPECT_EQ(portOpenFailure(true, 4, "/dev/ttyS1", "").extra, "COM4 (/dev/ttyS1)" + advice);
  EXPECT_EQ(portOpenFailure(true, 0, "/dev/nope", "/dev/nope: no such device").extra,
            "/dev/nope: no such device" + advice);
}

struct RegistryFixture : ::testing::Test {
  QTemporaryDir dir;
  QString ini() const { return dir.filePath("Vorlog.ini"); }
  QString console() const { return dir.filePath("console"); }
  QList<PortInfo> found;
  PortRegistry make() {
    PortRegistry r(ini());
    r.setEnumerator([this] { return found; });
    r.setConsoleListFile(console());
    return r;
  }
  void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
};

TEST_F(RegistryFixture, NumbersStayAcrossRunsAndTheConsoleIsNeverOffered) {
  writeFile(console(), "tty0 ttyS0\n");
  found = {{0, "/dev/ttyS0", "console"}, {0, "/dev/ttyUSB0", "adapter"}, {0, "/dev/ttyACM0", "modem"}};
  {
    PortRegistry r = make();
    ASSERT_TRUE(r.scan());
    ASSERT_EQ(r.ports().size(), 2);
    EXPECT_EQ(r.pathFor(1), "/dev/ttyUSB0");
    EXPECT_EQ(r.pathFor(2), "/dev/ttyACM0");
    EXPECT_EQ(r.createDevice(3), nullptr);
  }
  // Next run: the first adapter is gone, a new one appears; the kept numbers stay.
  found = {{0, "/dev/ttyACM0", "modem"}, {0, "/dev/ttyUSB1", "new"}};
  PortRegistry r = make();
  ASSERT_TRUE(r.scan());
  EXPECT_EQ(r.pathFor(1), "/dev/ttyUSB0");
  EXPECT_EQ(r.pathFor(2), "/dev/ttyACM0");
  EXPECT_EQ(r.pathFor(3), "/dev/ttyUSB1");
  EXPECT_EQ(r.numberFor("/dev/null"), 4);
  // Each refusal names the device or number it is about.
  QString why;
  EXPECT_EQ(r.numberFor("/dev/no-such-adapter", &why), 0);
  EXPECT_TRUE(why.contains("/dev/no-such-adapter") && why.contains("no such device")) << why.toStdString();
  EXPECT_EQ(r.numberFor("/dev/ttyS0", &why), 0);  // the console, even by name
  EXPECT_TRUE(why.contains("/dev/ttyS0")) << why.toStdString();
  EXPECT_FALSE(r.IsPortAvailable(1, &why));  // listed but not there
  EXPECT_TRUE(why.contains("/dev/ttyUSB0")) << why.toStdString();
  EXPECT_FALSE(r.IsPortAvailable(9, &why));
  EXPECT_TRUE(why.contains("COM9")) << why.toStdString();
}

// Ports pulled while they are being listed: each is shown as gone, at once, and the
// lists the window offers leave it out.
TEST_F(RegistryFixture, APortGoneBeforeItIsProbedIsListedAsGoneWithoutWaiting) {
  auto openPty = [](bool unlock, QString* slave) {
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (m < 0 || ::grantpt(m) != 0 || (unlock && ::unlockpt(m) != 0) || ::ptsname_r(m, name, sizeof name) != 0)
      return -1;
    *slave = QString::fromLocal8Bit(name);
    return m;
  };
  QString closed, locked, alive;
  const int closedMaster = openPty(true, &closed);
  const int lockedMaster = openPty(false, &locked);  // its slave answers EIO, as a tty being torn down does
  const int aliveMaster = openPty(true, &alive);
  ASSERT_TRUE(closedMaster >= 0 && lockedMaster >= 0 && aliveMaster >= 0) << "no pseudo-terminals";
  found = {{0, dir.filePath("ttyUSB-pulled"), "adapter"},
           {0, closed, "closed"},
           {0, locked, "locked"},
           {0, alive, "alive"},
           {0, "", "nameless"}};
  PortRegistry r = make();
  ::close(closedMaster);  // pulled after the enumeration, before the probe

  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(r.scan());
  ASSERT_EQ(r.ports().size(), 4);
  for (const PortInfo& p : r.ports()) {
    QString why;
    const bool available = r.IsPortAvailable(p.comNumber, &why);
    EXPECT_EQ(available, p.path == alive) << p.path.toStdString() << ": " << why.toStdString();
    if (!available) {
      EXPECT_EQ(why, Texts::text(9533).arg(p.path));
    }
  }
  PortsRig rig;
  rig.ports.BuildPortLists(r, PortValueLists::defaults());
  EXPECT_EQ(rig.ports.portListA, QStringList{QString::number(r.numberFor(alive))});
  EXPECT_LT(clock.elapsed(), 1000);
  ::close(lockedMaster);
  ::close(aliveMaster);
}

TEST_F(RegistryFixture, GarbageInThePortsSectionIsSkipped) {
  writeFile(ini(),
            "[Other]\nkeep=1\n[Ports]\nCOM0=/dev/a\nCOM50=/dev/b\nCOMx=/dev/c\nCOM2=\nCOM3=/dev/ttyUSB9\n"
            "COM4=/dev/ttyUSB9\nnonsense\n\x01\x02\xff\n");
  PortRegistry r = make();
  ASSERT_TRUE(r.scan());
  ASSERT_EQ(r.ports().size(), 1);
  EXPECT_EQ(r.pathFor(3), "/dev/ttyUSB9");
  found = {{0, "/dev/ttyUSB2", ""}};
  ASSERT_TRUE(r.scan());
  EXPECT_EQ(r.pathFor(1), "/dev/ttyUSB2");
  QFile f(ini());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray text = f.readAll();
  EXPECT_TRUE(text.contains("keep = 1") || text.contains("keep=1"));  // other sections survive
}

TEST_F(RegistryFixture, OneDeviceHasOneNumberWhateverItIsCalledAndOnlyOpenedPortsAreKept) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const QString slave = QString::fromLocal8Bit(::ptsname(master));
  const QString link = dir.filePath("by-id-adapter");
  ASSERT_TRUE(QFile::link(slave, link));
  auto iniText = [this] {
    QFile f(ini());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  {
    PortRegistry r = make();
    ASSERT_TRUE(r.scan());
    const int n = r.numberFor(slave);
    ASSERT_GT(n, 0);
    EXPECT_EQ(r.numberFor(link), n);
    EXPECT_EQ(r.numberFor("/dev/../dev/pts/" + slave.section('/', -1)), n);
    const int file = r.numberFor(ini() + ".not-a-port");
    EXPECT_EQ(file, 0);  // not there
    writeFile(dir.filePath("plain"), "x");
    const int plain = r.numberFor(dir.filePath("plain"));
    EXPECT_GT(plain, n);  // serves this run, so that opening it can say what is wrong
    EXPECT_FALSE(iniText().contains("pts")) << "kept before it opened";
    r.keep(n);
    EXPECT_TRUE(iniText().contains(slave.toUtf8()));
    EXPECT_FALSE(iniText().contains("plain"));
  }
  // Two names of one device in the file: the first number wins, the alias is dropped.
  writeFile(ini(), QStringLiteral("[Ports]\nCOM3=%1\nCOM4=%2\n").arg(link, slave).toUtf8());
  PortRegistry r = make();
  ASSERT_TRUE(r.scan());
  EXPECT_EQ(r.numberFor(slave), 3);
  EXPECT_TRUE(r.pathFor(4).isEmpty());
  ::close(master);
}

}  // namespace
