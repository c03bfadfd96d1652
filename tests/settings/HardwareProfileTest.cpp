#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "settings/Configuration.h"
#include "settings/HardwareProfile.h"
#include "settings/Texts.h"
#include "support/Unprivileged.h"

namespace {

class HardwareProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { Texts::setLanguageOffset(Texts::kEnglishOffset); }
  QString user() const { return dir_.path() + QLatin1Char('/'); }
  QString path(const char* name = "bench") const { return profilePath(user(), QString::fromLatin1(name)); }
  void write(const QByteArray& bytes, const char* name = "bench") const {
    QDir().mkpath(user() + QStringLiteral("profiles"));
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray read(const char* name = "bench") const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  HardwareProfile load(const QByteArray& bytes, QStringList* warnings = nullptr) const {
    write(bytes);
    HardwareProfile p;
    QStringList w;
    QString error;
    EXPECT_TRUE(LoadHardwareProfile(path(), standards_, p, w, &error)) << error.toStdString();
    if (warnings) *warnings = w;
    return p;
  }
  PortValueLists standards_ = standardValueDefaults();
  QTemporaryDir dir_;
};

TEST_F(HardwareProfileTest, NamesStayFileNamesInsideTheProfilesFolder) {
  struct Case {
    const char* name;
    bool usable;
  } cases[] = {{"default", true}, {"USB 4-port (FTDI)", true}, {"bench.v2", true},   {"", false},
               {"  ", false},     {"../Vorlog", false},        {"a/b", false},       {"a\\b", false},
               {"..", false},     {".hidden", false},          {"tab\there", false}, {"bell\x07", false},
               {"x..y", false}};
  for (const Case& c : cases) {
    const QString name = QString::fromUtf8(c.name);
    EXPECT_EQ(profileNameProblem(name) == 0, c.usable) << c.name;
    const QString p = profilePath(user(), name);
    if (!c.usable) {
      EXPECT_TRUE(p.isEmpty()) << c.name;
      continue;
    }
    EXPECT_EQ(QFileInfo(p).absolutePath(), QDir(user() + QStringLiteral("profiles")).absolutePath()) << c.name;
  }
  EXPECT_NE(profileNameProblem(QString(300, QLatin1Char('x'))), 0);
  EXPECT_EQ(profileNameOf(QStringLiteral("default.vhp")), QStringLiteral("default"));
  EXPECT_EQ(profileNameOf(QStringLiteral("/u/profiles/Bench.VHP")), QStringLiteral("Bench"));
}

TEST_F(HardwareProfileTest, ValuesAreCheckedAndWrittenOneWay) {
  struct Case {
    PortValueKind kind;
    QStringList in;
    QStringList out;
  } cases[] = {
      {PortValueKind::BaudRate,
       {" 9600", "09600", "0", "-300", "50", "12000000", "12000001", "9k6", "", "115200"},
       {"9600", "50", "12000000", "115200"}},
      {PortValueKind::DataBits, {"4", "5", "8", "9", "7.0", "6"}, {"5", "8", "6"}},
      {PortValueKind::Parity, {"n", "E", "X", "NO", "s", "M", "O"}, {"N", "E", "S", "M", "O"}},
      {PortValueKind::StopBits, {"1", "1.5", "1,5", "2", "3", "0"}, {"1", "1.5", "2"}},
  };
  for (const Case& c : cases) EXPECT_EQ(checkedValues(c.kind, c.in), c.out) << c.in.join(' ').toStdString();

  Configuration config;
  config.baudrates = {"0", "garbage"};  // nothing usable: never an empty panel list
  config.parities = {"E", "Z"};
  const PortValueLists s = checkedStandards(config);
  EXPECT_EQ(s.baudRates, standardValueDefaults().baudRates);
  EXPECT_EQ(s.parities, QStringList{"E"});
}

TEST_F(HardwareProfileTest, MissingFileAndKeysGiveTheDefaults) {
  HardwareProfile p;
  QStringList warnings;
  standards_.baudRates = {"300", "9600"};
  ASSERT_TRUE(LoadHardwareProfile(path("none"), standards_, p, warnings));
  EXPECT_EQ(p, HardwareProfile::defaults(standards_));
  EXPECT_TRUE(warnings.isEmpty());
  p = load("[Hardware]\nName=RS-232 card\n[Interface]\nDataBits=7,8\n");
  EXPECT_EQ(p.name, QStringLiteral("RS-232 card"));
  EXPECT_EQ(p.manufacturer, QStringLiteral("Quarnel"));
  EXPECT_EQ(p.values.baudRates, standards_.baudRates);  // the standard list at that moment
  EXPECT_EQ(p.values.dataBits, (QStringList{"7", "8"}));
}

TEST_F(HardwareProfileTest, AProfileOfTheWindowsVersionLoads) {
  const QByteArray file =
      "[Hardware]\r\nName=Schnittstelle f\xfcr Pr\xfc"
      "fstand\r\nManufacturer=M\xfcller \x80 Co\r\n\r\n"
      "[Interface]\r\nBaudRates=300,1200,9600,19200\r\nDataBits=7,8\r\nParity=N,E,O\r\nStopBits=1,2\r\n\r\n"
      "[Registry]\r\nPort1=COM1\r\nPort16=\\\\.\\COM16\r\n";
  const HardwareProfile p = load(file);
  EXPECT_EQ(p.name, QStringLiteral("Schnittstelle für Prüfstand"));
  EXPECT_EQ(p.manufacturer, QStringLiteral("Müller € Co"));
  EXPECT_EQ(p.values.baudRates, (QStringList{"300", "1200", "9600", "19200"}));
  EXPECT_EQ(p.values.parities, (QStringList{"N", "E", "O"}));
  EXPECT_EQ(p.values.stopBits, (QStringList{"1", "2"}));
  EXPECT_EQ(p.registry[0], QStringLiteral("COM1"));
  EXPECT_EQ(p.registry[15], QStringLiteral("\\\\.\\COM16"));

  // Copied over as it was named there: found by its name, whatever the extension's case.
  ASSERT_TRUE(QFile::rename(path(), user() + QStringLiteral("profiles/Lab.VHP")));
  EXPECT_EQ(profilePath(user(), QStringLiteral("Lab")), user() + QStringLiteral("profiles/Lab.VHP"));
  EXPECT_EQ(profileNames(user()), QStringList{QStringLiteral("Lab")});
  HardwareProfile again;
  QStringList warnings;
  ASSERT_TRUE(LoadHardwareProfile(profilePath(user(), QStringLiteral("Lab")), standards_, again, warnings));
  EXPECT_EQ(again, p);
}

TEST_F(HardwareProfileTest, BadProfilesAreNamedAndLoseNothing) {
  // Lists of garbage and thousands of values load with warnings, never as empty lists.
  QStringList warnings;
  HardwareProfile p = load("[Interface]\nBaudRates=0,-5,abc,\nParity=Q\nStopBits=1,7\n", &warnings);
  EXPECT_EQ(p.values.baudRates, standards_.baudRates);
  EXPECT_EQ(p.values.parities, standards_.parities);
  EXPECT_EQ(p.values.stopBits, QStringList{"1"});
  EXPECT_GE(warnings.size(), 5);
  QByteArray many = "[Interface]\nBaudRates=";
  for (int i = 1; i <= 5000; ++i) many += QByteArray::number(i * 100) + ',';
  p = load(many, &warnings);
  EXPECT_EQ(p.values.baudRates.size(), 64);
  EXPECT_TRUE(warnings.join('\n').contains(QStringLiteral("more than 64")));

  // Binary, oversized and folder "profiles" are refused: the profile in use stays.
  const HardwareProfile before = p;
  for (const QByteArray& bad : {QByteArray("[Hardware]\nName=x\0y\n", 19),
                                QByteArray("\x7f"
                                           "ELF\x02\x01\x01",
                                           7),
                                QByteArray(70 * 1024, 'a')}) {
    write(bad);
    QString error;
    EXPECT_FALSE(LoadHardwareProfile(path(), standards_, p, warnings, &error));
    EXPECT_TRUE(error.contains(path())) << error.toStdString();
    EXPECT_EQ(p, before);
    EXPECT_EQ(read(), bad);
  }
  // An empty file is a profile with nothing in it: the defaults.
  EXPECT_EQ(load(""), HardwareProfile::defaults(standards_));
}

TEST_F(HardwareProfileTest, SaveCreatesTheFolderAndKeepsWhatItDoesNotWrite) {
  HardwareProfile p = HardwareProfile::defaults(standards_);
  p.name = QStringLiteral("Bench\nInjected=1");  // one line, whatever is typed
  p.values.baudRates = {"9600", "19200"};
  p.registry[3] = QStringLiteral("kept");
  QString error;
  ASSERT_FALSE(QFileInfo::exists(user() + QStringLiteral("profiles")));
  ASSERT_TRUE(SaveHardwareProfile(path(), p, &error)) << error.toStdString();
  HardwareProfile back;
  QStringList warnings;
  ASSERT_TRUE(LoadHardwareProfile(path(), standards_, back, warnings));
  EXPECT_EQ(back.values, p.values);
  EXPECT_EQ(back.registry, p.registry);
  EXPECT_EQ(back.name, QStringLiteral("Bench Injected=1"));

  write("; bench at the lab\n[Hardware]\nName=old\nSerial=4711\n[Notes]\nWho=me\n");
  ASSERT_TRUE(SaveHardwareProfile(path(), p, &error));
  const QByteArray text = read();
  for (const char* kept : {"; bench at the lab", "Serial=4711", "[Notes]", "Who=me", "BaudRates=9600,19200"})
    EXPECT_TRUE(text.contains(kept)) << kept;
  EXPECT_FALSE(text.contains("Name=old"));
}

TEST_F(HardwareProfileTest, AFailedSaveNamesThePathAndTheReason) {
  write("[Hardware]\nName=old\n");
  const QByteArray folder = QFile::encodeName(user() + QStringLiteral("profiles"));
  ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
  ::chmod(folder.constData(), 0555);
  const QString file = path();
  QByteArray why;
  const int rc = unprivileged(
      [&](QByteArray* out) {
        QString e;
        const bool saved = SaveHardwareProfile(file, HardwareProfile::defaults(standards_), &e);
        *out = e.toUtf8();
        return !saved;
      },
      &why);
  ::chmod(folder.constData(), 0755);
  if (rc == 77) GTEST_SKIP() << "cannot drop root";
  EXPECT_EQ(rc, 0) << "the save claimed success";
  EXPECT_TRUE(why.contains(QFile::encodeName(file)) && why.contains("ermission denied")) << why.constData();
  EXPECT_EQ(read(), QByteArray("[Hardware]\nName=old\n"));
}

TEST_F(HardwareProfileTest, TheShippedDefaultProfileIsTheOneAFreshUserPathGets) {
  ASSERT_TRUE(ensureDefaultProfile(user(), standards_));
  HardwareProfile written, shipped;
  QStringList warnings;
  ASSERT_TRUE(LoadHardwareProfile(path("default"), standards_, written, warnings));
  ASSERT_TRUE(LoadHardwareProfile(QStringLiteral(VORLOG_SOURCE_DIR "/resources/profiles/default.vhp"), PortValueLists{},
                                  shipped, warnings));
  EXPECT_EQ(shipped, written);
  EXPECT_TRUE(warnings.isEmpty());
  write("[Hardware]\nName=mine\n", "default");  // an existing default profile is the user's own
  ASSERT_TRUE(ensureDefaultProfile(user(), standards_));
  EXPECT_EQ(read("default"), QByteArray("[Hardware]\nName=mine\n"));
}

TEST(PortChoiceTest, TheOtherLineMovesOffTheChosenPort) {
  struct Case {
    int count, otherBefore, index, chosen, other;
  } cases[] = {
      {1, 0, 0, 0, -1},                                      // one port: never both lines on it
      {2, 1, 1, 1, 0},  {2, 0, 1, 1, 0},   {2, 1, 0, 0, 1},  // two: the other one
      {3, 1, 1, 1, 2},  {3, 2, 2, 2, 0},   {3, 0, 2, 2, 0},  // three: the next, wrapping
      {3, -1, 0, 0, 1}, {0, 0, 0, -1, -1},
  };
  for (const Case& c : cases) {
    int chosen = -1, other = c.otherBefore;
    choosePort(chosen, other, c.index, c.count);
    EXPECT_EQ(chosen, c.chosen) << c.count << " ports, index " << c.index;
    EXPECT_EQ(other, c.other) << c.count << " ports, index " << c.index;
  }
}

TEST(PortChoiceTest, RefilledListsKeepTheirValueOrFallBack) {
  ValueList list{{"300", "9600", "19200"}, 1};
  refillValueList(list, {"1200", "9600"});
  EXPECT_EQ(list.current(), QStringLiteral("9600"));
  refillValueList(list, {"300", "600", "1200"});
  EXPECT_EQ(list.current(), QStringLiteral("600"));  // the second entry
  refillValueList(list, {"115200"});
  EXPECT_EQ(list.current(), QStringLiteral("115200"));  // a list of one has no second entry
}

}  // namespace
