#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "capture/TapLink.h"
#include "capture/Termios2.h"
#include "settings/Texts.h"
#include "support/PumpUntil.h"

namespace {

// A pseudo-terminal pair standing in for the serial device: the tap opens the slave.
struct DevicePair {
  int master = -1;
  int slave = -1;  // our own descriptor, to read the settings the tap gives the device
  QString path;
  DevicePair() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
      return;
    path = QString::fromLocal8Bit(name);
    termios t;
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~DevicePair() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
};

struct RecordingSink : PortSink {
  std::string data;
  int modemChanges = 0;
  uint8_t lastModem = 0xFF;
  void deviceData(const uint8_t* d, std::size_t n) override { data.append(reinterpret_cast<const char*>(d), n); }
  void deviceLineError(uint8_t, bool, uint8_t) override {}
  void deviceModemChanged(uint8_t status) override { ++modemChanges, lastModem = status; }
  void deviceLost(const QString&) override {}
  int32_t baud = 0;
  void deviceSettingsChanged(const LineSettings& s) override { baud = s.baud; }
};

std::string readAll(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, std::size_t(n));
  return out;
}

bool isLink(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

TEST(TapLink, LinkPathIsOursOnlyWhileOpen) {
  DevicePair device;
  ASSERT_GE(device.slave, 0);
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("ttyV0"));
  QString error;

  // Somebody's file stays as it is, and the device is not held.
  {
    QFile f(link);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("mine");
  }
  TapLink refused(device.path, link);
  EXPECT_FALSE(refused.open(LineSettings{}, &error));
  EXPECT_TRUE(error.contains(link)) << error.toStdString();
  EXPECT_FALSE(refused.isOpen());
  QFile f(link);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("mine"));
  f.close();
  QFile::remove(link);

  // A link to a terminal that is still there may be another tap's: refused too.
  ASSERT_EQ(::symlink(QFile::encodeName(device.path).constData(), QFile::encodeName(link).constData()), 0);
  EXPECT_FALSE(refused.open(LineSettings{}, &error));
  QFile::remove(link);

  // A link left by a killed tap (its terminal is gone) is taken over and removed at the end.
  ASSERT_EQ(::symlink("/dev/pts/987654", QFile::encodeName(link).constData()), 0);
  TapLink tap(device.path, link);
  ASSERT_TRUE(tap.open(LineSettings{}, &error)) << error.toStdString();
  EXPECT_TRUE(isLink(link));
  EXPECT_EQ(QFile::symLinkTarget(link), tap.slavePath());
  tap.close();
  EXPECT_FALSE(isLink(link));

  // A file put in the link's place while the tap ran is not the tap's to remove.
  ASSERT_TRUE(tap.open(LineSettings{}, &error)) << error.toStdString();
  QFile::remove(link);
  ASSERT_EQ(::symlink("/dev/null", QFile::encodeName(link).constData()), 0);
  tap.close();
  EXPECT_TRUE(isLink(link));
}

TEST(TapLink, RelaysBothWaysToTheEndsAndFollowsTheApplicationsSettings) {
  DevicePair device;
  ASSERT_GE(device.slave, 0);
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("ttyV1"));
  TapLink tap(device.path, link);
  LineSettings settings;
  settings.baud = 9600;
  settings.dataBits = 7;
  settings.parity = Parity::Even;
  auto deviceEnd = tap.createDevice(TapLink::End::Device);
  auto appEnd = tap.createDevice(TapLink::End::Application);
  RecordingSink d2, d1;
  QString error;
  ASSERT_TRUE(appEnd->open(settings, d1, &error)) << error.toStdString();
  ASSERT_TRUE(deviceEnd->open(settings, d2, &error)) << error.toStdString();
  EXPECT_EQ(appEnd->path(), link);
  EXPECT_EQ(deviceEnd->path(), device.path);
  // The tap holds DTR and RTS up for the application; they arrive on the inputs that carry them.
  EXPECT_EQ(appEnd->modemStatus(), ModemBit::Dsr | ModemBit::Cts);

  const int app = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(app, 0);
  const std::string ask("AT\r\xff\x00 binary", 12);
  ASSERT_EQ(::write(app, ask.data(), ask.size()), ssize_t(ask.size()));
  std::string atDevice;
  ASSERT_TRUE(pumpUntil([&] { return (atDevice += readAll(device.master)).size() >= ask.size(); }));
  EXPECT_EQ(atDevice, ask);
  EXPECT_EQ(d1.data, ask);

  const std::string answer("OK\r\n\xff\xff\x00", 7);
  ASSERT_EQ(::write(device.master, answer.data(), answer.size()), ssize_t(answer.size()));
  std::string atApp;
  ASSERT_TRUE(pumpUntil([&] { return (atApp += readAll(app)).size() >= answer.size(); }));
  EXPECT_EQ(atApp, answer);
  EXPECT_EQ(d2.data, answer);

  // Baud rate and stop bits follow the application; data bits and parity stay as opened.
  LineSettings applied;
  int applications = 0;
  QObject::connect(&tap, &TapLink::settingsApplied, [&](const LineSettings& s, bool ok) {
    applied = s;
    applications += ok ? 1 : 0;
  });
  termios t;
  ASSERT_EQ(::tcgetattr(app, &t), 0);
  ::cfsetspeed(&t, B38400);
  t.c_cflag |= CSTOPB;
  ASSERT_EQ(::tcsetattr(app, TCSANOW, &t), 0);
  ASSERT_TRUE(pumpUntil([&] { return applications == 1; }));
  EXPECT_EQ(applied.baud, 38400);
  EXPECT_EQ(applied.stopBits, 2);
  EXPECT_EQ(applied.dataBits, 7);
  EXPECT_EQ(applied.parity, Parity::Even);
  LineSettings onDevice;
  ASSERT_EQ(tio2::readFrame(device.slave, &onDevice), 0);
  EXPECT_EQ(onDevice.baud, 38400);
  EXPECT_EQ(onDevice.stopBits, 2);
  EXPECT_EQ(d1.baud, 38400);  // both ports learn the line's new rate
  EXPECT_EQ(d2.baud, 38400);

  // Baud 0 is the application hanging up: DTR and RTS drop.
  ::cfsetspeed(&t, B0);
  ASSERT_EQ(::tcsetattr(app, TCSANOW, &t), 0);
  ASSERT_TRUE(pumpUntil([&] { return d1.lastModem == 0; }));
  EXPECT_EQ(appEnd->modemStatus(), 0);
  ::close(app);

  // The link lives as long as either end is open.
  deviceEnd->close();
  EXPECT_TRUE(isLink(link));
  appEnd->close();
  EXPECT_FALSE(isLink(link));
  EXPECT_FALSE(tap.isOpen());
}

// The tap's messages are filled in with arg(): a translation that lost a placeholder
// would drop the path or the rate the message is about.
TEST(TapTexts, BothLanguagesTakeTheSameValues) {
  QFile file(QStringLiteral(VORLOG_SOURCE_DIR "/resources/texts-tap.txt"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QString error;
  const QList<Texts::Entry> entries = Texts::parseTable(file.readAll(), &error);
  EXPECT_TRUE(error.isEmpty()) << error.toStdString();
  ASSERT_FALSE(entries.isEmpty());
  const QRegularExpression re(QStringLiteral("%[1-9]"));
  auto placeholders = [&](const QString& text) {
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();) found << it.next().captured();
    found.sort();
    return found;
  };
  for (const Texts::Entry& e : entries) {
    EXPECT_GE(e.number, 9370);
    EXPECT_LE(e.number, 9399);
    EXPECT_EQ(placeholders(e.german), placeholders(e.english)) << e.number;
    EXPECT_NE(e.german, e.english) << e.number << ": not translated";
  }
}
