#include <gtest/gtest.h>

#include "support/Unprivileged.h"
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "settings/Environment.h"
#include "settings/Texts.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override { Texts::setLanguageOffset(Texts::kEnglishOffset); }
  QString path(const char* name = "job.ven") const { return dir_.filePath(QString::fromLatin1(name)); }
  void write(const QByteArray& bytes, const char* name = "job.ven") const {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray read(const char* name = "job.ven") const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  Environment loaded(const QByteArray& bytes, QStringList* warnings = nullptr) const {
    write(bytes);
    Environment env;
    EnvironmentWarnings w;
    QString error;
    EXPECT_TRUE(LoadEnvironment(path(), env, w, &error)) << error.toStdString();
    if (warnings) *warnings = w.lines;
    return env;
  }
  QTemporaryDir dir_;
};

TriggerRecord trigger(const QString& name, int type, int event) {
  TriggerRecord t;
  t.Name = name;
  t.Type = type;
  t.Event = event;
  return t;
}

// Every value away from its default.
Environment everyValueChanged() {
  Environment e;
  e.comA = {7, 10400, 7, 2, 2};
  e.comB = {12, 10400, 7, 2, 2};
  e.recordFile = "/srv/jobs/line 7.vrd";
  for (int i = 0; i < EnvGeneral::Count; ++i) e.general[i] = QStringLiteral("general %1 äöü €").arg(i);
  for (int i = 0; i < EnvCustomer::Count; ++i) e.customer[i] = QStringLiteral("customer %1").arg(i);
  e.description = {"first line", "", "third = line; with ; and #"};
  TriggerRecord t = trigger("All fields", TriggerType::Stop, TriggerEvent::Time);
  t.Description = "described";
  t.Active = true;
  t.D1 = t.D2 = t.PE = t.FE = t.LE = true;
  t.Data = "0D0A";
  t.S1 = 1, t.M1 = 2, t.S2 = 1, t.M2 = 2, t.M5 = 1, t.M3 = 2;
  t.TimeReached = QDateTime(QDate(2026, 12, 8), QTime(14, 30, 0, 250));
  t.InActivityTime = 65535;
  t.EventD1 = t.EventD2 = t.EventS1 = t.EventM1 = t.EventS2 = t.EventM2 = t.EventM5 = t.EventM3 = true;
  t.EventPE = t.EventFE = t.EventLE = true;
  t.PlaySound = t.PlaySoundRepeat = t.ExecCommand = true;
  t.SoundFilePath = "/usr/share/sounds/a b.wav";
  t.CommandFilePath = "/usr/bin/logger";
  t.CommandParams = "-t vorlog \"%TRIG_NAME%\"";
  t.Number = 1;
  e.triggers.push_back(t);
  return e;
}

TEST_F(EnvironmentTest, MissingFileLoadsTheDefaultsAndWritesNothing) {
  Environment env = everyValueChanged();
  EnvironmentWarnings w;
  EXPECT_TRUE(LoadEnvironment(path(), env, w));
  EXPECT_EQ(env, Environment());
  EXPECT_EQ(env.comA, (EnvironmentPort{1, 9600, 8, 0, 1}));
  EXPECT_EQ(env.comB, (EnvironmentPort{2, 9600, 8, 0, 1}));
  EXPECT_EQ(env.recordFile, "Default.vrd");
  ASSERT_EQ(w.lines.size(), 1);
  EXPECT_TRUE(w.lines[0].contains(path())) << w.lines[0].toStdString();
  EXPECT_TRUE(QDir(dir_.path()).isEmpty());
}

TEST_F(EnvironmentTest, EveryValueRoundTrips) {
  const Environment e = everyValueChanged();
  QString error;
  ASSERT_TRUE(SaveEnvironment(path(), e, &error)) << error.toStdString();
  Environment back;
  EnvironmentWarnings w;
  ASSERT_TRUE(LoadEnvironment(path(), back, w));
  EXPECT_TRUE(w.empty()) << w.lines.join('\n').toStdString();
  EXPECT_EQ(back, e);
  const QByteArray text = read();
  EXPECT_TRUE(text.contains("TimeReached=2026-12-08T14:30:00.250\n"));
  EXPECT_TRUE(text.contains("Record data=/srv/jobs/line 7.vrd\n"));
  // The sections in the order the program writes them, the trigger keys in record order.
  qsizetype at = 0;
  for (const char* s : {"[ComA]", "[ComB]", "[Files]", "[General]", "[Customer]", "[Description]", "[Trigger0]",
                        "Name=", "Active=1", "Data=0D0A", "M3=2", "TimeReached=", "EventLE=1", "CommandParams="}) {
    const qsizetype next = text.indexOf(s, at);
    EXPECT_GT(next, at - 1) << s;
    at = next;
  }
}

TEST_F(EnvironmentTest, SavingFewerTriggersAndLinesLeavesNoneOfTheOldOnes) {
  Environment e;
  for (int i = 0; i < 5; ++i) e.triggers.push_back(trigger(QStringLiteral("T%1").arg(i), 0, 0));
  e.description = {"a", "b", "c", "d"};
  ASSERT_TRUE(SaveEnvironment(path(), e));
  e.triggers.resize(3);
  e.triggers.push_back(trigger("  ", 0, 0));  // a trigger without a name is not written
  e.description = {"x", "y"};
  ASSERT_TRUE(SaveEnvironment(path(), e));
  const QByteArray text = read();
  EXPECT_TRUE(text.contains("[Trigger2]"));
  EXPECT_FALSE(text.contains("[Trigger3]"));
  EXPECT_FALSE(text.contains("[Trigger4]"));
  EXPECT_FALSE(text.contains("Line2"));
  Environment back;
  EnvironmentWarnings w;
  ASSERT_TRUE(LoadEnvironment(path(), back, w));
  EXPECT_EQ(back.triggers.size(), 3u);
  EXPECT_EQ(back.description, (QStringList{"x", "y"}));
}

TEST_F(EnvironmentTest, UnknownKeysSectionsAndCommentsAreKept) {
  write("; job of line 7\n[ComA]\n; the modem side\nDevice=5\nVendorKey=abc\n[Site]\nHall=3\n"
        "[Trigger0]\nName=old\nFuture=1\n[Trigger1]\nName=gone\n; a note at the end\n");
  Environment e;
  QStringList w;
  e = loaded(read(), &w);
  e.triggers.resize(1);
  ASSERT_TRUE(SaveEnvironment(path(), e));
  const QByteArray text = read();
  for (const char* kept : {"; job of line 7", "; the modem side\nDevice=5", "VendorKey=abc", "[Site]\nHall=3",
                           "Future=1", "; a note at the end"})
    EXPECT_TRUE(text.contains(kept)) << kept << "\n" << text.constData();
  EXPECT_FALSE(text.contains("gone"));
}

TEST_F(EnvironmentTest, WindowsFileWithCrLfIsReadAsWindows1252) {
  QStringList w;
  const Environment e = loaded("[General]\r\nCity=K\xF6ln\r\nTitle=\x80 5 \x96 Test\r\n[Description]\r\n"
                               "Line0=Stra\xDF" "e\r\nLine1=zwei\r\n[Trigger0]\r\nName=Gr\xFC\xDF" "e\r\nType=1\r\n",
                               &w);
  EXPECT_TRUE(w.empty()) << w.join('\n').toStdString();
  EXPECT_EQ(e.general[EnvGeneral::City], "Köln");
  EXPECT_EQ(e.general[EnvGeneral::Title], "€ 5 – Test");
  EXPECT_EQ(e.description, (QStringList{"Straße", "zwei"}));
  ASSERT_EQ(e.triggers.size(), 1u);
  EXPECT_EQ(e.triggers[0].Name, "Grüße");
  ASSERT_TRUE(SaveEnvironment(path(), e));  // written back as UTF-8
  EXPECT_TRUE(read().contains("City=K\xC3\xB6ln\n"));
}

TEST_F(EnvironmentTest, TimesInTheFormsOfBothLocales) {
  const QDateTime expected(QDate(2026, 12, 8), QTime(14, 30, 0));
  const struct {
    const char* text;
    int ms;
  } rows[] = {{"2026-12-08T14:30:00.250", 250}, {"2026-12-08T14:30:00", 0},  {"08.12.2026 14:30:00", 0},
              {"08.12.2026 14:30", 0},          {"8.12.2026 14:30:00.250", 250}, {"12/08/2026 2:30:00 PM", 0},
              {"12/8/2026 2:30 PM", 0},         {"2026-12-08 14:30:00", 0},  {"2026-12-08 14:30:00.250", 250}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    QStringList w;
    const Environment e = loaded(QByteArray("[Trigger0]\nName=t\nActive=1\nType=0\nEvent=3\nTimeReached=") + row.text,
                                 &w);
    ASSERT_EQ(e.triggers.size(), 1u);
    EXPECT_EQ(e.triggers[0].TimeReached, expected.addMSecs(row.ms));
    EXPECT_TRUE(e.triggers[0].Active);
    EXPECT_TRUE(w.empty()) << w.join('\n').toStdString();
  }
  // Delphi writes midnight without the time.
  EXPECT_EQ(loaded("[Trigger0]\nName=t\nEvent=3\nTimeReached=08.12.2026").triggers[0].TimeReached,
            QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
}

// Bad input: loading goes on with the rest, names what was not used, writes nothing.
TEST_F(EnvironmentTest, BadInputIsNamedAndTheRestLoads) {
  QByteArray many;
  for (int i = 0; i < 1000; ++i) many += QStringLiteral("[Trigger%1]\nName=t%1\n").arg(i).toUtf8();
  const QByteArray example = [] {
    QFile f(VORLOG_SOURCE_DIR "/docs/example-job.ven");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  ASSERT_FALSE(example.isEmpty());
  const struct Row {
    const char* name;
    QByteArray bytes;
    const char* warning;  // a text every warning line together must contain; "" for none
    std::function<void(const Environment&)> check;
  } rows[] = {
      {"empty", "", "", [](const Environment& e) { EXPECT_EQ(e, Environment()); }},
      {"binary", QByteArray("[ComA]\nDevice=4\n\0\x01\xFF[ComB]\nDevice=9\n", 32), "binary data at byte 16",
       [](const Environment& e) { EXPECT_EQ(e.comA.device, 4);
         EXPECT_EQ(e.comB.device, 2); }},
      {"truncated", example.left(example.indexOf("[Trigger2]") + 30), "",
       [](const Environment& e) {
         ASSERT_EQ(e.triggers.size(), 3u);
         EXPECT_EQ(e.triggers[2].Name, "Line error");
         EXPECT_FALSE(e.triggers[2].PE);
       }},
      {"ports out of range",
       "[ComA]\nDevice=99\nCustomBaudRate=3\nDataBits=9\nParity=5\nStopBits=3\n[ComB]\nDevice=x\nCustomBaudRate=-1\n",
       "[ComA] Device=99 is not between 1 and 49; 1 is used",
       [](const Environment& e) {
         EXPECT_EQ(e.comA, (EnvironmentPort{1, 9600, 8, 0, 1}));
         EXPECT_EQ(e.comB, (EnvironmentPort{2, 9600, 8, 0, 1}));
       }},
      {"lower-case hex", "[Trigger0]\nName=t\nActive=1\nD1=1\nData=41 54 0d\n", "",
       [](const Environment& e) { EXPECT_EQ(e.triggers[0].Data, "41540D");
         EXPECT_TRUE(e.triggers[0].Active); }},
      {"odd hex", "[Trigger0]\nName=t\nActive=1\nD1=1\nData=415\n", "Data=415 is not hexadecimal",
       [](const Environment& e) { EXPECT_EQ(e.triggers[0].Data, "");
         EXPECT_FALSE(e.triggers[0].Active); }},
      {"too long hex", "[Trigger0]\nName=t\nActive=1\nD1=1\nData=" + QByteArray(512, 'A') + "\n", "Data=AAAA",
       [](const Environment& e) { EXPECT_FALSE(e.triggers[0].Active); }},
      {"date in another locale", "[Trigger0]\nName=t\nActive=1\nEvent=3\nTimeReached=8 déc. 2026 14:30\n",
       "TimeReached=8 déc. 2026 14:30 is not a readable date",
       [](const Environment& e) {
         EXPECT_FALSE(e.triggers[0].Active);
         EXPECT_FALSE(e.triggers[0].TimeReached.isValid());  // never "now"
       }},
      {"time trigger without time", "[Trigger0]\nName=t\nActive=1\nEvent=3\n", "has no TimeReached",
       [](const Environment& e) { EXPECT_FALSE(e.triggers[0].Active); }},
      {"codes out of range",
       "[Trigger0]\nName=a\nActive=1\nType=7\n[Trigger1]\nName=b\nActive=1\nEvent=4\n[Trigger2]\nName=c\nActive=1\n"
       "Event=1\nM5=3\n[Trigger3]\nName=d\nActive=1\nType=2\nEvent=0\nInActivityTime=0\nEventD1=1\n",
       "Type=7 is not valid",
       [](const Environment& e) {
         ASSERT_EQ(e.triggers.size(), 4u);
         for (int i = 0; i < 4; ++i) EXPECT_FALSE(e.triggers[i].Active) << i;
         EXPECT_EQ(e.triggers[0].Type, 0);
         EXPECT_EQ(e.triggers[1].Event, 0);
         EXPECT_EQ(e.triggers[2].M5, 0);
         EXPECT_EQ(e.triggers[3].Event, 4);
         EXPECT_EQ(e.triggers[3].InActivityTime, 1);
       }},
      {"1000 triggers", many, "the first 255 are loaded, 745 more are not",
       [](const Environment& e) { EXPECT_EQ(e.triggers.size(), 255u);
         EXPECT_EQ(e.triggers[254].Number, 255); }},
      {"nameless trigger ends the list", "[Trigger0]\nName=a\n[Trigger1]\nName= \n[Trigger2]\nName=c\n",
       "[Trigger1] has no Name and ends the trigger list: 2 trigger sections",
       [](const Environment& e) { EXPECT_EQ(e.triggers.size(), 1u); }},
      {"active but arms nothing", "[Trigger0]\nName=a\nActive=1\nEvent=2\n", "No error kind is chosen",
       [](const Environment& e) { EXPECT_TRUE(e.triggers[0].Active); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QStringList w;
    const Environment e = loaded(row.bytes, &w);
    row.check(e);
    if (*row.warning) {
      EXPECT_TRUE(w.join('\n').contains(QString::fromUtf8(row.warning))) << w.join('\n').toStdString();
    } else {
      EXPECT_TRUE(w.isEmpty()) << w.join('\n').toStdString();
    }
    EXPECT_EQ(read(), row.bytes);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"job.ven"});
  }
}

TEST_F(EnvironmentTest, HugeFilesLoadQuicklyOrAreRefused) {
  QByteArray big = "[ComA]\nDevice=6\n[Description]\n";
  for (int i = 0; big.size() < 10'000'000; ++i) big += "Line" + QByteArray::number(i) + "=" + QByteArray(60, 'x') + "\n";
  QElapsedTimer timer;
  timer.start();
  QStringList w;
  const Environment e = loaded(big, &w);
  EXPECT_LT(timer.elapsed(), 3000);
  EXPECT_EQ(e.comA.device, 6);
  EXPECT_GT(e.description.size(), 100000);
  big += QByteArray(7'000'000, '\n');
  write(big);
  Environment env;
  EnvironmentWarnings warnings;
  QString error;
  EXPECT_FALSE(LoadEnvironment(path(), env, warnings, &error));
  EXPECT_TRUE(error.contains(path()) && error.contains("larger than 16 MiB")) << error.toStdString();
  EXPECT_FALSE(LoadEnvironment(dir_.path(), env, warnings, &error));  // a folder
  EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
}

TEST_F(EnvironmentTest, ExampleJobLoadsAsDocumented) {
  Environment e;
  EnvironmentWarnings w;
  ASSERT_TRUE(LoadEnvironment(VORLOG_SOURCE_DIR "/docs/example-job.ven", e, w));
  EXPECT_TRUE(w.empty()) << w.lines.join('\n').toStdString();
  EXPECT_EQ(e.comA, (EnvironmentPort{3, 19200, 7, 2, 1}));
  EXPECT_EQ(e.comB, (EnvironmentPort{4, 19200, 7, 2, 1}));
  EXPECT_EQ(e.recordFile, "modem-dialup.vrd");
  EXPECT_EQ(e.general[EnvGeneral::City], "Köln");
  EXPECT_EQ(e.description.size(), 2);
  ASSERT_EQ(e.triggers.size(), 4u);
  for (const TriggerRecord& t : e.triggers) {
    EXPECT_TRUE(t.Active);
    EXPECT_EQ(triggerArmProblem(t), 0) << t.Name.toStdString();
  }
  EXPECT_EQ(e.triggers[0].Data, "41540D");
  EXPECT_EQ(e.triggers[1].M5, Edge::Falls);
  EXPECT_TRUE(e.triggers[2].PE && e.triggers[2].FE && e.triggers[2].ExecCommand);
  EXPECT_EQ(e.triggers[3].Type, TriggerType::Inactivity);
  EXPECT_EQ(e.triggers[3].InActivityTime, 10);
  EXPECT_TRUE(e.triggers[3].PlaySound && e.triggers[3].PlaySoundRepeat);
}


TEST_F(EnvironmentTest, FailedSaveNamesTheFileAndKeepsTheOldOne) {
  QString error;
  EXPECT_FALSE(SaveEnvironment(path("none/job.ven"), Environment(), &error));
  EXPECT_TRUE(error.contains(path("none/job.ven")) && error.contains("No such file")) << error.toStdString();
  const QString sub = dir_.filePath("ro");
  ASSERT_TRUE(QDir().mkpath(sub));
  const QString file = sub + "/job.ven";
  const QByteArray old = "[ComA]\nDevice=5\n";
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(old);
  }
  const QByteArray fileName = QFile::encodeName(file), subName = QFile::encodeName(sub);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(fileName.constData(), 65534, 65534), 0);
  }
  ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
  ::chmod(subName.constData(), 0555);
  QByteArray why;
  const int rc = unprivileged(
      [&](QByteArray* out) {
        QString e;
        const bool saved = SaveEnvironment(file, everyValueChanged(), &e);
        *out = e.toUtf8();
        return !saved;
      },
      &why);
  ::chmod(subName.constData(), 0755);
  if (rc == 77) GTEST_SKIP() << "cannot drop root";
  EXPECT_EQ(rc, 0) << "the save claimed success";
  EXPECT_TRUE(why.contains(fileName) && why.contains("Permission denied")) << why.constData();
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), old);
  EXPECT_EQ(QDir(sub).entryList(QDir::Files), QStringList{"job.ven"});
}

TEST(EnvironmentName, RelativeNamesLieInTheUserPath) {
  EXPECT_EQ(qualifyEnvironmentName("Default.ven", "/home/op/.local/share/Vorlog/"),
            "/home/op/.local/share/Vorlog/Default.ven");
  EXPECT_EQ(qualifyEnvironmentName("jobs/../a.ven", "/u/"), "/u/a.ven");
  EXPECT_EQ(qualifyEnvironmentName("/srv/b.ven", "/u/"), "/srv/b.ven");
  EXPECT_EQ(qualifyEnvironmentName("", "/u/"), "/u/Default.ven");
}

TEST(EnvironmentPorts, ValuesTheListsDoNotOfferAreKeptAndNamed) {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  const QStringList bauds{"9600", "19200"}, bits{"7", "8"}, parities{"N", "E", "O"}, stops{"1", "1.5", "2"};
  EnvironmentWarnings w;
  checkOfferedPortValues("ComA", {1, 19200, 8, 2, 1}, bauds, bits, parities, stops, w);
  EXPECT_TRUE(w.empty());
  const EnvironmentPort odd{1, 10400, 5, 3, 2};
  checkOfferedPortValues("ComA", odd, bauds, bits, parities, {"1", "2"}, w);
  ASSERT_EQ(w.lines.size(), 4) << w.lines.join('\n').toStdString();
  EXPECT_EQ(w.lines[0], "ComA: Baud 10400 is not in the offered list; the value is kept.");
  EXPECT_TRUE(w.lines[1].contains(" 5 ") && w.lines[2].contains(" M ") && w.lines[3].contains(" 1.5 "));
  EXPECT_EQ(parityLetter(0), "N");
  EXPECT_EQ(parityLetter(1), "O");
  EXPECT_EQ(parityLetter(4), "S");
  EXPECT_EQ(stopBitsText(2, 8), "2");
  EXPECT_EQ(stopBitsText(1, 5), "1");
}

}  // namespace
