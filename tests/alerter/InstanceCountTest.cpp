// The instance count in Klaxor.ini: alerter held while an alerter lives, in process and
// across klaxor processes.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "AlerterSupport.h"
#include "alerter/InstanceSlots.h"
#include "settings/Texts.h"

namespace {

QString userPathIn(const QTemporaryDir& dir) { return dir.path() + QStringLiteral("/user/"); }

void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(InstanceCount, SlotsAreHeldWhileAlertersLiveAndFreedSlotsAreTakenAgain) {
  QTemporaryDir dir;
  const QString path = userPathIn(dir);
  auto first = std::make_unique<InstanceSlots>(path);
  auto second = std::make_unique<InstanceSlots>(path);
  auto third = std::make_unique<InstanceSlots>(path);
  EXPECT_EQ(first->countIn(), 1);
  EXPECT_EQ(second->countIn(), 2);
  EXPECT_EQ(third->countIn(), 3);
  EXPECT_EQ(InstanceSlots::storedCount(path), 3);
  EXPECT_EQ(readFile(InstanceSlots::iniPath(path)), "[Application]\nInstance=3\n");

  // Gone without counting out, as after a kill: its slot is free, the next one takes it.
  second.reset();
  EXPECT_EQ(InstanceSlots::liveCount(path), 2);
  InstanceSlots fourth(path);
  EXPECT_EQ(fourth.countIn(), 2);
  EXPECT_EQ(InstanceSlots::storedCount(path), 3);

  first->countOut();
  first->countOut();  // a second count-out changes nothing
  EXPECT_EQ(InstanceSlots::storedCount(path), 2);
  third->countOut();
  fourth.countOut();
  EXPECT_EQ(InstanceSlots::storedCount(path), 0);
  EXPECT_TRUE(first->problems().isEmpty() && fourth.problems().isEmpty());
}

TEST(InstanceCount, StaleCountInTheFileIsCorrectedByTheNextAlerter) {
  QTemporaryDir dir;
  const QString path = userPathIn(dir);
  writeFile(InstanceSlots::iniPath(path), "; kept\n[Application]\nInstance=7\n[Other]\nKey=1\n");
  InstanceSlots alerter(path);
  EXPECT_EQ(alerter.countIn(), 1);  // not 8: nobody holds the seven slots any more
  EXPECT_TRUE(alerter.problems().isEmpty());
  const QByteArray ini = readFile(InstanceSlots::iniPath(path));
  EXPECT_TRUE(ini.contains("Instance=1")) << ini.constData();
  EXPECT_TRUE(ini.contains("; kept") && ini.contains("Key=1")) << ini.constData();
}

TEST(InstanceCount, GarbledKlaxorIniIsReportedAndWrittenAfresh) {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  const QList<QByteArray> garbage = {QByteArray("\x00\xff\xfe garbage \x01", 13),
                                     "[Applic",
                                     "[Application]\nInstance=",
                                     "[Application]\nInstance=abc\n",
                                     "[Application]\nInstance=-4\n",
                                     QByteArray(100000, 'x')};
  for (const QByteArray& bytes : garbage) {
    QTemporaryDir dir;
    const QString path = userPathIn(dir);
    writeFile(InstanceSlots::iniPath(path), bytes);
    InstanceSlots alerter(path);
    EXPECT_EQ(alerter.countIn(), 1) << bytes.left(30).toHex().constData();
    EXPECT_EQ(InstanceSlots::storedCount(path), 1) << bytes.left(30).toHex().constData();
    alerter.countOut();
    EXPECT_EQ(InstanceSlots::storedCount(path), 0);
    // What cannot be a count is named; a file cut off before the key is no harm.
    if (bytes != "[Applic") {
      ASSERT_FALSE(alerter.problems().isEmpty()) << bytes.left(30).toHex().constData();
      EXPECT_TRUE(alerter.problems().first().contains(InstanceSlots::iniPath(path)));
      EXPECT_TRUE(alerter.problems().first().contains("cannot be read"));
    }
  }
}

TEST(InstanceCount, UnusableUserPathStillGivesAWindow) {
  QTemporaryDir dir;
  writeFile(dir.path() + QStringLiteral("/blocked"), "a file where the folder should be");
  InstanceSlots alerter(dir.path() + QStringLiteral("/blocked/"));
  EXPECT_EQ(alerter.countIn(), 1);
  EXPECT_FALSE(alerter.counted());
  ASSERT_FALSE(alerter.problems().isEmpty());
  EXPECT_TRUE(alerter.problems().first().contains("Klaxor.lock"));
  alerter.countOut();
}

// Three klaxor processes count up to 3; one killed is not counted any more, and the
// others, ended by the session's signal, count down to 0.
TEST(InstanceCount, AcrossKlaxorProcesses) {
  QTemporaryDir dir;
  const QString path = userPathIn(dir);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VORLOG_USER_PATH"), path);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  std::vector<std::unique_ptr<QProcess>> alerters;
  auto startOne = [&] {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(KLAXOR_BIN), {QStringLiteral("-mstays until closed"), QStringLiteral("-n")});
    EXPECT_TRUE(p->waitForStarted(5000));
    alerters.push_back(std::move(p));
  };
  for (int expected = 1; expected <= 3; ++expected) {
    startOne();
    EXPECT_TRUE(waitUntil([&] { return InstanceSlots::storedCount(path) == expected; }, 20000)) << expected;
  }
  EXPECT_EQ(InstanceSlots::liveCount(path), 3);

  alerters[1]->kill();
  ASSERT_TRUE(alerters[1]->waitForFinished(5000));
  EXPECT_EQ(InstanceSlots::liveCount(path), 2);
  EXPECT_EQ(InstanceSlots::storedCount(path), 3);  // the killed one could not count itself out
  startOne();                                      // takes the free slot: the count says 3 again, not 4
  EXPECT_TRUE(waitUntil([&] { return InstanceSlots::liveCount(path) == 3; }, 20000));
  EXPECT_EQ(InstanceSlots::storedCount(path), 3);

  for (size_t i : {size_t(0), size_t(2), size_t(3)}) {
    ::kill(pid_t(alerters[i]->processId()), SIGTERM);
    ASSERT_TRUE(alerters[i]->waitForFinished(20000)) << i;
    EXPECT_EQ(alerters[i]->exitStatus(), QProcess::NormalExit) << i;
    EXPECT_EQ(alerters[i]->exitCode(), 0) << i;
  }
  EXPECT_EQ(InstanceSlots::storedCount(path), 0);
  EXPECT_EQ(InstanceSlots::liveCount(path), 0);
}
