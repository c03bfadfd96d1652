// The log entries in a target file, and commands started without a shell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "AlerterSupport.h"
#include "alerter/AlertLog.h"
#include "alerter/CommandStart.h"

using namespace Klaxor;

TEST(AlertLog, OneLinePerEntryAppendedToTheTarget) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("alerter.log"));
  QString error;
  ASSERT_TRUE(writeLog(target, "KLAXOR", "No soundfile provided", &error)) << qPrintable(error);
  ASSERT_TRUE(writeLog(target, "KLAXOR", "two\nlines", &error)) << qPrintable(error);
  QFile file(target);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
  ASSERT_EQ(lines.size(), 3);  // two lines and the empty rest after the last line break
  const QRegularExpression shape(
      QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z) KLAXOR\\[%1\\]: (.*)$")
          .arg(getpid()));
  const QRegularExpressionMatch first = shape.match(lines[0]);
  ASSERT_TRUE(first.hasMatch()) << qPrintable(lines[0]);
  EXPECT_EQ(first.captured(2), "No soundfile provided");
  EXPECT_EQ(shape.match(lines[1]).captured(2), "two lines");
  EXPECT_TRUE(lines[2].isEmpty());
}

TEST(AlertLog, LineShapeAndUnwritableTarget) {
  const QDateTime when(QDate(2026, 12, 8), QTime(7, 43, 33, 120), Qt::OffsetFromUTC, 3600);
  EXPECT_EQ(logLine(when, "KLAXOR", 4711, "Command execution failed RC=2"),
            "2026-12-08T07:43:33.120+01:00 KLAXOR[4711]: Command execution failed RC=2\n");
  QString error;
  EXPECT_FALSE(writeLog("/nonexistent-folder/alerter.log", "KLAXOR", "lost", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(writeLog(QString(), "KLAXOR", "to the system log"));  // syslog(3) reports nothing back
}

TEST(CommandStart, ProgramGetsTheRestAsWholeArgumentsWithoutAShell) {
  QTemporaryDir dir;
  const QString withBlank = dir.filePath(QStringLiteral("made by klaxor"));
  const QString withSemicolon = dir.filePath(QStringLiteral("a;b"));
  const CommandLine command =
      splitCommand(QStringLiteral("touch \"%1\" %2 %3").arg(withBlank, withSemicolon, dir.filePath("$(id)")));
  EXPECT_EQ(startDetachedCommand(command), 0);
  EXPECT_TRUE(waitUntil([&] { return QDir(dir.path()).count() == 5; }, 10000));
  EXPECT_TRUE(QFile::exists(withBlank));
  EXPECT_TRUE(QFile::exists(withSemicolon));
  EXPECT_TRUE(QFile::exists(dir.filePath("$(id)")));
}

TEST(CommandStart, FailuresGiveTheShellsCodes) {
  QTemporaryDir dir;
  EXPECT_EQ(startDetachedCommand({"no-such-program-anywhere", {}}), 2);
  EXPECT_EQ(startDetachedCommand({dir.filePath("missing"), {}}), 2);
  EXPECT_EQ(startDetachedCommand({dir.filePath("no/folder/prog"), {}}), 3);
  QFile plain(dir.filePath("notes.txt"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  EXPECT_EQ(startDetachedCommand({plain.fileName(), {}}), 5);
  EXPECT_EQ(startDetachedCommand({dir.path(), {}}), 5);
}
