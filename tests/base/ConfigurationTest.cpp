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
#include <random>

#include "settings/Configuration.h"
#include "settings/UserPath.h"

// Readable failure messages for texts.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class ConfigurationTest : public ::testing::Test {
 protected:
  QString path(const char* name = "Vorlog.ini") const { return dir_.filePath(QString::fromLatin1(name)); }
  // A list saved with the configuration and loaded back.
  QStringList throughFile(QStringList Configuration::*list, const QStringList& items) const {
    Configuration c;
    c.*list = items;
    EXPECT_TRUE(c.save(path()));
    Configuration back;
    back.load(path());
    return back.*list;
  }
  void write(const QByteArray& bytes, const char* name = "Vorlog.ini") const {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray read(const char* name = "Vorlog.ini") const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  Configuration loaded(const QByteArray& bytes) const {
    write(bytes);
    Configuration c;
    c.load(path());
    return c;
  }
  QTemporaryDir dir_;
};

// Every value the save writes, away from its default.
Configuration everyValueChanged() {
  Configuration c;
  c.profile = "rs485-adapter.vhp";
  c.baudrates = {"300", "9600", "10400"};
  c.databits = {"7", "8"};
  c.parities = {"N", "E"};
  c.stopbits = {"1", "2"};
  c.installLang = "fr";  // kept as it is, GlobalLang rules
  c.languageOffset = 10000;
  c.pinNaming = 1;
  c.displayMode = 4;
  c.recordMode = 2;
  c.characterControl = 8;
  c.signalMode = 0;
  c.timeControl = 2;
  c.window = {-40, 1200, 1024, 768, 0};
  c.monitors = {{"FormMain", 1}, {"FormGoto", 2}, {"FormExport", 0}};
  c.bottomPanels = {3, 400, 900, 250};
  c.centerPanel = {5, 500, 1100, 0};
  c.gotoDialog = {10, 20, 2, true};
  c.exportDialog = {30, 40, 1, true};
  c.reportDialog = {-50, 60, 2, true};
  c.searchPageIndex = 3;
  c.controlSearchPageIndex = 2;
  c.environmentFile = "/home/op/jobs/line 7.ven";
  c.gridOptions = 16447 & ~8;
  c.viewHold = true;
  c.recorderAppend = false;
  c.recorderReplace = true;
  for (ViewColumns* v : {&c.dataDump, &c.dataOnly, &c.vertical}) {
    for (qsizetype i = 0; i < v->widths.size(); ++i) v->widths[i] = int(7 + i);
    v->characterMode1 = 5;
    v->characterMode2 = 6;
  }
  c.triggerListColumns = {1, 2, 3, 4, 5, 6};
  c.checkForUpdatesAtProgStart = true;
  c.displayHoldOnProgStart = true;
  c.beginRecordOnProgStart = true;
  return c;
}

TEST_F(ConfigurationTest, DefaultsWithoutFile) {
  Configuration c;
  EXPECT_FALSE(c.load(path()));
  EXPECT_EQ(c.languageOffset, 10000);  // the installer default "en": English
  EXPECT_EQ(c.installLang, "xx");
  EXPECT_EQ(c.window, (WindowPlacement{0, 0, 800, 600, 0}));
  EXPECT_EQ(c.displayMode, 1);
  EXPECT_EQ(&c.view(c.displayMode), &c.vertical);
  EXPECT_EQ(c.vertical.characterMode1, 1);  // USASCII
  EXPECT_EQ(c.vertical.characterMode2, 3);  // hex
  EXPECT_EQ(c.timeControl, 0);
  EXPECT_EQ(c.pinNaming, 0);
  EXPECT_TRUE(c.recorderAppend);
  EXPECT_FALSE(c.recorderReplace);
  EXPECT_EQ(c.recordMode, 1);
  EXPECT_EQ(c.profile, "default.vhp");
  EXPECT_EQ(c.environmentFile, "Default.ven");
  EXPECT_EQ(c.baudrates.size(), 24);
  EXPECT_EQ(c.baudrates[13], "10400");
  EXPECT_EQ(c.stopbits, (QStringList{"1", "1.5", "2"}));
  EXPECT_TRUE(c.verticalGridLines() && c.horizontalGridLines());
  EXPECT_EQ(c.vertical.widths, (QList<int>{100, 80, 150, 30, 30, 30, 30, 30, 30, 30, 30, 35, 35, 200}));
  ASSERT_EQ(c.dataOnly.widths.size(), 326);
  EXPECT_EQ(c.dataOnly.widths[2], 10);
  ASSERT_EQ(c.dataDump.widths.size(), 35);
  EXPECT_EQ(c.dataDump.widths[17], 12);
  EXPECT_EQ(c.dataDump.widths[18], 20);
  EXPECT_EQ(c.dataDump.widths[34], 25);
  EXPECT_EQ(c.triggerListColumns, (QList<int>{150, 20, 100, 100, 175, 100}));
  EXPECT_EQ(c.gotoDialog, (DialogPlacement{100, 100, 0, false}));
  EXPECT_EQ(c.skinCurrent, 0);
  ASSERT_EQ(c.skins.size(), 99);
  EXPECT_EQ(c.skins[0], (SkinEntry{"Fusion Light", false}));  // the shipped skins
  EXPECT_EQ(c.skins[1], (SkinEntry{"Fusion Dark", true}));
  EXPECT_EQ(c.skins[2].name, "None");

  // The first save makes the installer's choice final.
  ASSERT_TRUE(c.save(path()));
  const QByteArray file = read();
  EXPECT_TRUE(file.contains("InstallLang=xx\n"));
  EXPECT_TRUE(file.contains("GlobalLang=10000\n"));
  EXPECT_FALSE(file.contains("[Skin"));
  EXPECT_LT(file.indexOf("[Hardware]"), file.indexOf("[Port Standards]"));
  EXPECT_LT(file.indexOf("[DispMode4]"), file.indexOf("[DispMode1]"));
  EXPECT_LT(file.indexOf("[TriggerList]"), file.indexOf("[ProgramStart]"));
}

TEST_F(ConfigurationTest, RoundTripOfEveryKey) {
  const Configuration original = everyValueChanged();
  ASSERT_TRUE(original.save(path()));
  Configuration back;
  ASSERT_TRUE(back.load(path()));
  EXPECT_EQ(back, original);
  EXPECT_EQ(back.dataOnly.widths[325], 7 + 325);

  // No key of fixed name is forgotten by the save.
  const QByteArray file = read();
  for (const ConfigKeys::Key* k : ConfigKeys::kWrittenKeys) {
    const qsizetype section = file.indexOf(QByteArray("[") + k->section + "]\n");
    ASSERT_GE(section, 0) << k->section;
    const qsizetype next = file.indexOf("\n[", section + 1);
    EXPECT_TRUE(file.mid(section, next < 0 ? -1 : next - section).contains(QByteArray("\n") + k->name + "="))
        << k->section << "/" << k->name;
  }
  EXPECT_TRUE(file.contains("[Monitor]\n0=1\nFormMain=1\n1=2\nFormGoto=2\n"));
}

TEST_F(ConfigurationTest, MaximisedWindowKeepsItsNormalPlacement) {
  write("[Window]\nLeft=10\nTop=20\nWidth=640\nHeight=480\nWindowState=0\n");
  Configuration c;
  c.load(path());
  c.window = {0, 0, 1920, 1080, 2};
  ASSERT_TRUE(c.save(path()));
  EXPECT_TRUE(read().contains("[Window]\nLeft=10\nTop=20\nWidth=640\nHeight=480\nWindowState=2\n"));
}

TEST_F(ConfigurationTest, GridLineBits) {
  Configuration c = loaded("[DataGrid]\nGridOptions=16439\n");  // bit 3 cleared
  EXPECT_TRUE(c.verticalGridLines());
  EXPECT_FALSE(c.horizontalGridLines());
  c.setGridLines(false, true);
  EXPECT_EQ(c.gridOptions, 16447 & ~4);
  c.setGridLines(false, false);
  EXPECT_EQ(c.gridOptions, 16447 & ~12);  // the grid's other behaviours pass through
}

struct LanguageCase {
  const char* file;
  int offset;
  const char* installLangAfter;
};

TEST_F(ConfigurationTest, InstallLangIsAppliedOnce) {
  const LanguageCase cases[] = {
      {"InstallLang=en\nGlobalLang=0\n", 10000, "xx"},
      {"InstallLang=de\nGlobalLang=10000\n", 0, "xx"},
      {"InstallLang=xx\nGlobalLang=10000\n", 10000, "xx"},
      {"InstallLang=xx\n", 0, "xx"},
      {"InstallLang=fr\nGlobalLang=10000\n", 10000, "fr"},  // other text: GlobalLang, kept as is
      {"InstallLang=fr\n", 0, "fr"},
      {"GlobalLang=0\n", 10000, "xx"},  // no InstallLang: the installer default "en"
  };
  for (const LanguageCase& lc : cases) {
    SCOPED_TRACE(lc.file);
    Configuration c = loaded(QByteArray("[Modes]\n") + lc.file);
    EXPECT_EQ(c.languageOffset, lc.offset);
    EXPECT_EQ(c.installLang, lc.installLangAfter);
    ASSERT_TRUE(c.save(path()));
    Configuration again;
    again.load(path());
    EXPECT_EQ(again.languageOffset, lc.offset);
    EXPECT_EQ(again.installLang, lc.installLangAfter);
  }
  EXPECT_TRUE(read().contains("InstallLang=xx\n"));
  EXPECT_TRUE(read().contains("GlobalLang=10000\n"));
}

TEST_F(ConfigurationTest, LoadLanguageConfigReadsOnlyGlobalLang) {
  EXPECT_EQ(Configuration::LoadLanguageConfig(path()), 0);
  write("[Modes]\nInstallLang=en\n");
  EXPECT_EQ(Configuration::LoadLanguageConfig(path()), 0);
  write("[Modes]\nInstallLang=de\nGlobalLang=10000\n");
  EXPECT_EQ(Configuration::LoadLanguageConfig(path()), 10000);
  write("[Modes]\nGlobalLang=1e4\n");
  EXPECT_EQ(Configuration::LoadLanguageConfig(path()), 0);
}

TEST_F(ConfigurationTest, SaveKeepsWhatItDoesNotWrite) {
  write(
      "; Vorlog settings of the test bench\n\n"
      "; modes of the last session\n"
      "[Modes]\nDisplayMode=3\nOperatorNote=leave as is\nTimeControl=1\n"
      "[Ports]\nCOM3=/dev/ttyUSB0\nCOM4=/dev/pts/7\n"
      "[Skin]\nMax=2\nCurrent=2\n"
      "[Skin2]\nName=Carbon Dark\nDark=yes\n"
      "[Site]\nLab=Hall 3\n"
      "; kept at the end\n");
  Configuration c;
  c.load(path());
  EXPECT_EQ(c.ports, (QList<PortEntry>{{"COM3", "/dev/ttyUSB0"}, {"COM4", "/dev/pts/7"}}));
  ASSERT_EQ(c.skins.size(), 2);
  EXPECT_EQ(c.skins[1], (SkinEntry{"Carbon Dark", false}));  // "yes" is not a number
  EXPECT_EQ(c.skinCurrent, 2);
  c.displayMode = 4;
  c.skinCurrent = 0;  // not written: the skin loader owns it
  c.ports.clear();    // not written: the port registry owns it
  ASSERT_TRUE(c.save(path()));
  ASSERT_TRUE(c.save(path()));
  const QByteArray file = read();
  EXPECT_TRUE(file.startsWith("; Vorlog settings of the test bench\n"));
  EXPECT_TRUE(
      file.contains("; modes of the last session\n[Modes]\nDisplayMode=4\nOperatorNote=leave as is\n"
                    "TimeControl=1\n"));
  EXPECT_TRUE(file.contains("[Ports]\nCOM3=/dev/ttyUSB0\nCOM4=/dev/pts/7\n"));
  EXPECT_TRUE(file.contains("[Skin]\nMax=2\nCurrent=2\n"));
  EXPECT_TRUE(file.contains("[Skin2]\nName=Carbon Dark\nDark=yes\n"));
  EXPECT_TRUE(file.contains("[Site]\nLab=Hall 3\n"));
  EXPECT_TRUE(file.endsWith("\n; kept at the end\n"));
  EXPECT_EQ(file.count("; kept at the end"), 1);
}

TEST_F(ConfigurationTest, ListsWithCommasBlanksAndQuotes) {
  const QStringList tricky = {"a,b", " lead", "trail ", "say \"hi\"", "", "plain", "\"", "two  blanks", "1.5"};
  EXPECT_EQ(decodeList(encodeList(tricky)), tricky);
  EXPECT_EQ(encodeList({"5", "6,5", ""}), "5,\"6,5\",\"\"");

  EXPECT_EQ(throughFile(&Configuration::parities, tricky), tricky);

  // As a user might edit them by hand.
  EXPECT_EQ(decodeList("9600, 19200,,38400,"), (QStringList{"9600", "19200", "38400"}));
  EXPECT_EQ(decodeList("\"unterminated, item"), (QStringList{"unterminated, item"}));
  EXPECT_EQ(loaded("[Port Standards]\nDatabits=\nStopbits= , ,\n").databits, (QStringList{"5", "6", "7", "8"}));
}

// The reader trims every Unicode blank from the ends of a value, not only the ASCII
// ones: an item that starts or ends with one must be quoted to come back as it was,
// wherever it stands in the list.
TEST_F(ConfigurationTest, ListItemsWithUnicodeBlanksAtTheirEnds) {
  const QString x = QStringLiteral("x");
  for (const char16_t blank : {u'\u3000', u'\u00a0', u'\u0085', u'\u2028', u'\u202f', u' '}) {
    const QString b(QChar{blank});
    for (const QStringList& items : {QStringList{b + x}, QStringList{x + b}, QStringList{b}, QStringList{b + x, x + b},
                                     QStringList{x, b + x + b, x}, QStringList{x + b + x}}) {
      SCOPED_TRACE(QStringLiteral("U+%1 in %2").arg(int(blank), 4, 16, QLatin1Char('0')).arg(items.join(u'|')).toStdString());
      EXPECT_EQ(decodeList(encodeList(items)), items);
      EXPECT_EQ(throughFile(&Configuration::baudrates, items), items);
    }
  }
  EXPECT_EQ(encodeList({QStringLiteral("a\u3000b")}), QStringLiteral("a\u3000b"));  // inside an item it needs no quotes
}

TEST_F(ConfigurationTest, EmptyGarbageAndLongLinesGiveDefaults) {
  const Configuration defaults = [] {
    Configuration c;
    c.load(QString());
    return c;
  }();
  EXPECT_EQ(loaded(""), defaults);
  EXPECT_EQ(loaded("\xEF\xBB\xBF"), defaults);

  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    QByteArray junk(4096, '\0');
    for (char& b : junk) b = char(rng());
    const Configuration c = loaded(junk);
    EXPECT_GE(c.window.width, 0);
    ASSERT_TRUE(c.save(path()));
  }

  const QByteArray mega(1 << 20, '7');
  Configuration c =
      loaded("[Window]\nWidth=" + mega + "\n" + QByteArray(1 << 20, 'x') + "\nHeight=700\n[Site]\nBlob=" + mega + "\n");
  EXPECT_EQ(c.window.width, 800);   // overflow
  EXPECT_EQ(c.window.height, 700);  // reading goes on after the long lines
  ASSERT_TRUE(c.save(path()));
  EXPECT_TRUE(read().contains("Blob=" + mega + "\n"));
}

TEST_F(ConfigurationTest, DuplicatesAndBrokenLines) {
  const Configuration c = loaded(
      "[Window]\nWidth=500\nWidth=900\nLeft\nTop=33\n"
      "[Modes]\nTimeControl=1\n"
      "[Window]\nHeight=700\n"
      "[window]\nWindowState=2\n");
  EXPECT_EQ(c.window, (WindowPlacement{0, 33, 900, 700, 2}));  // last value wins, sections merge
  EXPECT_EQ(c.timeControl, 1);
}

TEST_F(ConfigurationTest, NumbersAndRanges) {
  const Configuration c = loaded(
      "[Modes]\nDisplayMode=2\nTimeControl=3\nDefLang=2\nRecordMode=0\nSignalMode=-7\nCharacterControl=12abc\n"
      "[Window]\nLeft=-30000\nTop=5000000\nWidth=0\nHeight=-5\nWindowState=9\n"
      "[DataGrid]\nGridOptions= +2147483647 \n"
      "[AllBottomPanels]\nWidth=2147483648\nHeight=abc\n"
      "[GOWindow]\nSearchPageIndex=4\nVisible=true\n"
      "[EXWindow]\nVisible=7\n[REWindow]\nVisible=junk\n"
      "[DispMode1]\nColumn0=-1\nColumn13=0\nCharacterMode1=0\nCharacterMode2=0\n"
      "[TriggerList]\nColumn5=999999999\n"
      "[Monitor]\nFormMain=-2\nFormGoto=5\n0=3\n"
      "[Skin]\nMax=-1\nCurrent=-3\n");
  EXPECT_EQ(c.displayMode, 1);  // the reserved horizontal view cannot be shown
  EXPECT_EQ(c.timeControl, 0);
  EXPECT_EQ(c.pinNaming, 0);
  EXPECT_EQ(c.recordMode, 1);
  EXPECT_EQ(c.signalMode, -7);  // any value but 1 means trace only
  EXPECT_EQ(c.characterControl, 0);
  EXPECT_EQ(c.window, (WindowPlacement{-30000, 0, 0, 600, 0}));  // the window fixes 0 and off-screen itself
  EXPECT_EQ(c.gridOptions, 2147483647);
  EXPECT_EQ(c.bottomPanels, (PanelPlacement{0, 325, 1016, 300}));
  EXPECT_EQ(c.searchPageIndex, 0);
  EXPECT_TRUE(c.gotoDialog.visible);
  EXPECT_TRUE(c.exportDialog.visible);
  EXPECT_FALSE(c.reportDialog.visible);
  EXPECT_EQ(c.vertical.widths[0], 100);
  EXPECT_EQ(c.vertical.widths[13], 0);
  EXPECT_EQ(c.vertical.characterMode1, 1);
  EXPECT_EQ(c.vertical.characterMode2, 0);  // no second code
  EXPECT_EQ(c.triggerListColumns[5], 100);
  EXPECT_EQ(c.monitors, (QList<FormMonitor>{{"FormMain", 0}, {"FormGoto", 5}}));
  EXPECT_EQ(c.monitorOf("FormReport"), 0);
  EXPECT_EQ(c.skins.size(), 99);
  EXPECT_EQ(c.skinCurrent, 0);

  QElapsedTimer t;
  t.start();
  const Configuration wild = loaded("[Skin]\nMax=2000000000\n");
  EXPECT_EQ(wild.skinMax, ConfigKeys::kSkinLimit);
  EXPECT_LT(t.elapsed(), 2000);
}

TEST_F(ConfigurationTest, ControlCharactersCannotInjectLines) {
  Configuration c;
  c.environmentFile = "evil\n[Ports]\nCOM1=/dev/ttyS0";
  ASSERT_TRUE(c.save(path()));
  Configuration back;
  back.load(path());
  EXPECT_TRUE(back.ports.isEmpty());
  EXPECT_EQ(back.environmentFile, "evil [Ports] COM1=/dev/ttyS0");
}


TEST_F(ConfigurationTest, FailedSaveNamesTheFileAndKeepsTheOldOne) {
  QString error;
  write("plain file");
  const QString underFile = path() + "/Vorlog.ini";
  EXPECT_FALSE(Configuration().save(underFile, &error));
  EXPECT_TRUE(error.contains(underFile)) << error.toStdString();
  EXPECT_TRUE(error.contains("Not a directory")) << error.toStdString();
  EXPECT_FALSE(Configuration().save(dir_.path(), &error));  // a folder where the file should be
  EXPECT_TRUE(error.contains(dir_.path())) << error.toStdString();

  // A read-only file, then a read-only folder: each save fails once, names the file,
  // and the old content stays complete.
  const QByteArray old = "[Modes]\nDisplayMode=3\n[Site]\nLab=Hall 3\n";
  ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
  for (const bool folderReadOnly : {false, true}) {
    SCOPED_TRACE(folderReadOnly ? "read-only folder" : "read-only file");
    const QString sub = dir_.filePath(folderReadOnly ? "ro-folder" : "ro-file");
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString file = sub + "/Vorlog.ini";
    {
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(old);
    }
    const QByteArray fileName = QFile::encodeName(file), subName = QFile::encodeName(sub);
    if (::geteuid() == 0) {
      // The child gives up root: the folder and file have to be nobody's own.
      ASSERT_EQ(::chown(fileName.constData(), 65534, 65534), 0);
      if (!folderReadOnly) {
        ASSERT_EQ(::chown(subName.constData(), 65534, 65534), 0);
      }
    }
    ::chmod(fileName.constData(), folderReadOnly ? 0644 : 0444);
    ::chmod(subName.constData(), folderReadOnly ? 0555 : 0755);
    QByteArray why;
    const int rc = unprivileged(
        [&](QByteArray* out) {
          QString e;
          Configuration c;
          c.displayMode = 4;
          const bool saved = c.save(file, &e);
          *out = e.toUtf8();
          return !saved;
        },
        &why);
    if (rc == 77) GTEST_SKIP() << "cannot drop root";
    ::chmod(subName.constData(), 0755);
    EXPECT_EQ(rc, 0) << "the save claimed success";
    EXPECT_TRUE(why.contains(fileName)) << why.constData();
    EXPECT_TRUE(why.contains("Permission denied")) << why.constData();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);
    EXPECT_EQ(QDir(sub).entryList(QDir::Files), QStringList{"Vorlog.ini"});  // no temporary left behind
  }
}

TEST_F(ConfigurationTest, UserPathIsMadeOnFirstSave) {
  qputenv("VORLOG_USER_PATH", dir_.filePath("fresh/user").toLocal8Bit());
  Configuration c;
  c.timeControl = 2;
  QString error;
  EXPECT_TRUE(c.save(&error)) << error.toStdString();
  EXPECT_TRUE(QFileInfo(dir_.filePath("fresh/user/recordings")).isDir());
  Configuration back;
  EXPECT_TRUE(back.load());
  EXPECT_EQ(back.timeControl, 2);
  qunsetenv("VORLOG_USER_PATH");
}

}  // namespace
