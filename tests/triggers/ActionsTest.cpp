// Placeholders, arguments without a shell, and real starts of programs and the alerter.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "TriggerRig.h"
#include "settings/Texts.h"

namespace {

TriggerRecord dataTrigger() {
  TriggerRecord t;
  t.Number = 3;
  t.Name = QStringLiteral("Ring");
  t.Description = QStringLiteral("Modem rings");
  t.Type = TriggerType::Start;
  t.Event = TriggerEvent::Data;
  t.D1 = true;
  t.Data = QStringLiteral("52494E47");
  return t;
}

Placeholders::Values values(const TriggerRecord& t) {
  return Placeholders::valuesFor(t, QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5)));
}

TEST(Placeholders, ExpandInOnePass) {
  TriggerRecord t = dataTrigger();
  struct Row {
    QString name;
    const char* line;
    QStringList args;
  } rows[] = {
      {QStringLiteral("Ring"), "%TRIG_NUM% %TRIG_NUM%", {"3", "3"}},
      {QStringLiteral("Ring"), "n=%TRIG_NUM%%TRIG_NAME%", {"n=3Ring"}},
      // A name that holds its own placeholder is inserted once and never scanned again.
      {QStringLiteral("%TRIG_NAME%"), "%TRIG_NAME%", {"%TRIG_NAME%"}},
      // Shell syntax in a name arrives as one literal argument.
      {QStringLiteral("a\" $(rm -rf ~); b"), "--name=%TRIG_NAME%", {"--name=a\" $(rm -rf ~); b"}},
      {QStringLiteral("Grüße ☎"), "'%TRIG_NAME% x' \"%TRIG_DATA%\"", {"Grüße ☎ x", "52494E47"}},
      {QStringLiteral("Ring"), "%TRIG_TX%|%TRIG_RX%|%TRIG_EVENT%", {Texts::text(9109) + "||" + Texts::text(4226)}},
      {QStringLiteral("Ring"), "\"\" %UNKNOWN% %TRIG_NUM", {"", "%UNKNOWN%", "%TRIG_NUM"}},
      {QStringLiteral("Ring"), "a\\ b 'c d'\"e\"", {"a b", "c de"}},
  };
  for (const Row& r : rows) {
    t.Name = r.name;
    EXPECT_EQ(Placeholders::arguments(QString::fromUtf8(r.line), values(t)), r.args) << r.line;
  }
}

TEST(Placeholders, ValuesFollowTheTrigger) {
  TriggerRecord t = dataTrigger();
  t.Event = TriggerEvent::Signal;
  Placeholders::Values v = values(t);
  EXPECT_TRUE(v[6].isEmpty() && v[7].isEmpty() && v[8].isEmpty()) << "no data, no hints for a signal trigger";
  EXPECT_EQ(v[4], Texts::text(4268));  // "Start recording" in the current language
  t.Type = TriggerType::Inactivity;
  t.Event = TriggerEvent::Inactivity;
  v = values(t);
  EXPECT_TRUE(v[5].isEmpty());
  EXPECT_EQ(v[4], Texts::text(4260));
}

TEST(Actions, SoundAndCommandThroughTheLauncher) {
  FakeLauncher launcher;
  TriggerActions actions(launcher, QStringLiteral("/opt/vorlog/bin"));
  TriggerRecord t = dataTrigger();
  t.PlaySound = true;
  t.SoundFilePath = QStringLiteral("/home/u/My Sounds/bell.wav");
  t.PlaySoundRepeat = true;
  t.ExecCommand = true;
  t.CommandFilePath = QStringLiteral("/bin/echo");
  t.CommandParams = QStringLiteral("fired %TRIG_NUM%");
  EXPECT_TRUE(actions.RunTriggerActions(t, QDateTime::currentDateTime()).empty());
  ASSERT_EQ(launcher.starts.size(), 2u);
  EXPECT_EQ(launcher.starts[0].program, QStringLiteral("/opt/vorlog/bin/klaxor"));
  EXPECT_EQ(launcher.starts[0].args, QStringList{"-r/home/u/My Sounds/bell.wav"});
  EXPECT_EQ(launcher.starts[1].args, (QStringList{"fired", "3"}));

  // An endless alarm of an inactivity trigger is not stacked while the last one plays.
  t.Type = TriggerType::Inactivity;
  t.Event = TriggerEvent::Inactivity;
  t.ExecCommand = false;
  launcher.starts.clear();
  actions.RunTriggerActions(t, QDateTime::currentDateTime());
  actions.RunTriggerActions(t, QDateTime::currentDateTime());
  EXPECT_EQ(launcher.starts.size(), 1u);
  launcher.stillRunning = false;
  actions.RunTriggerActions(t, QDateTime::currentDateTime());
  EXPECT_EQ(launcher.starts.size(), 2u);

  // A program that cannot be started is reported with the result of a missing file.
  t.PlaySound = false;
  t.ExecCommand = true;
  t.CommandFilePath = QStringLiteral("/nonexistent/tool");
  launcher.fail = true;
  const auto failures = actions.RunTriggerActions(t, QDateTime::currentDateTime());
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].messageText, 2131);
  EXPECT_TRUE(failures[0].extra.startsWith(QStringLiteral(" Result=2"))) << failures[0].extra.toStdString();
}

// Waits up to 10 s for a file to hold something.
QByteArray waitForFile(const QString& path) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 10000) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly) && f.size() > 0) return f.readAll();
    QThread::msleep(20);
  }
  return {};
}

TEST(Actions, RealStartsReceiveTheirArgumentsUnchanged) {
  QTemporaryDir dir;
  const QString script = dir.filePath(QStringLiteral("args.sh"));
  const QString out = dir.filePath(QStringLiteral("args.txt"));
  {
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$ARGS_OUT.tmp\" && mv \"$ARGS_OUT.tmp\" \"$ARGS_OUT\"\n");
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  qputenv("ARGS_OUT", out.toLocal8Bit());
  ProcessLauncher launcher;
  TriggerActions actions(launcher, dir.path());
  TriggerRecord t = dataTrigger();
  t.Name = QStringLiteral("$(touch pwned); `id` Grüße");
  t.ExecCommand = true;
  t.CommandFilePath = script;
  t.CommandParams = QStringLiteral("%TRIG_NAME% \"two words\"");
  ASSERT_TRUE(actions.RunTriggerActions(t, QDateTime::currentDateTime()).empty());
  EXPECT_EQ(QString::fromUtf8(waitForFile(out)), QStringLiteral("[$(touch pwned); `id` Grüße]\n[two words]\n"));
  EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("pwned"))));
}

TEST(Actions, TheSoundStartsTheAlerterBesideTheProgram) {
  const QString bin = QStringLiteral(VORLOG_PROGRAM_DIR);
  ASSERT_TRUE(QFile::exists(bin + QStringLiteral("/klaxor"))) << "klaxor is built beside vorlog-cli";
  QTemporaryDir user;
  qputenv("VORLOG_USER_PATH", user.path().toLocal8Bit());
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ProcessLauncher launcher;
  TriggerActions actions(launcher, bin);
  ActionFailure failure;
  // A sound file that is not there still brings the alerter up, which counts itself in.
  ASSERT_TRUE(actions.testSound(user.filePath(QStringLiteral("no such bell.wav")), false, &failure));
  EXPECT_TRUE(waitForFile(user.filePath(QStringLiteral("Klaxor.ini"))).contains("Instance="));
}

}  // namespace
