// The options window and the value selector, alone and wired to the main window's port
// panel on pseudo-terminals. Message boxes are answered by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "app/OptionsCommands.h"
#include "capture/SerialPort.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"
#include "settings/ui/OptionsDialog.h"
#include "settings/ui/ValueSelector.h"
#include "ui/BoxAnswer.h"

namespace {

QStringList items(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

struct OptionsTest : ::testing::Test {
  QTemporaryDir dir;
  TMessageForm box;
  std::unique_ptr<TFormOptions> form;
  OptionsSettings opened;

  QString user() const { return dir.path() + "/"; }
  template <class T>
  T* child(QObject* parent, const char* name) const {
    return parent->findChild<T*>(QString::fromLatin1(name));
  }
  template <class T>
  T* child(const char* name) const {
    return child<T>(form.get(), name);
  }
  void SetUp() override {
    Texts::setLanguageOffset(Texts::kEnglishOffset);
    ASSERT_TRUE(ensureDefaultProfile(user(), standardValueDefaults()));
    form = std::make_unique<TFormOptions>(box, user());
    opened.skins = {"Windows", "Fusion Light", "Fusion Dark"};
    opened.ports = {"1", "2", "3"};
    opened.indexA = 0;
    opened.indexB = 1;
    opened.profileName = "default";
    opened.standards = standardValueDefaults();
    opened.profile = HardwareProfile::defaults(opened.standards);
  }
  void show(int page = TFormOptions::Interface) {
    form->open(opened, page);
    runFor(5);
  }
  QListWidget* list(const char* name) { return child<QListWidget>(&form->selector(), name); }
  void pick(QListWidget* l, const QString& value) { l->setCurrentRow(int(items(l).indexOf(value))); }
  void press(const char* name) { child<QPushButton>(&form->selector(), name)->click(); }
  QByteArray profileText(const char* name) const {
    QFile f(user() + "profiles/" + name + ".vhp");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(OptionsTest, TheSelectorPicksSortsAndNeverLeavesAnEmptyList) {
  show();
  opened.profile.values.stopBits = {"1", "2"};
  form->open(opened, TFormOptions::Interface);
  child<QPushButton>("btnEditStopbits")->click();
  EXPECT_EQ(form->selector().windowTitle(), "Select available stopbits");
  EXPECT_FALSE(child<QPushButton>(&form->selector(), "btnResetValues")->isEnabled());
  pick(list("lbAvailable"), "1.5");
  press("btnToSelected");
  EXPECT_EQ(items(list("lbSelected")), (QStringList{"1", "1.5", "2"}));  // 1.5 between 1 and 2
  press("btnSave");
  EXPECT_EQ(child<QLineEdit>("edStopbits")->text(), "1,1.5,2");
  EXPECT_TRUE(form->optionsChanged());

  child<QPushButton>("btnSelectBaudRates")->click();
  pick(list("lbSelected"), "300");
  press("ToAvailable");
  EXPECT_EQ(items(list("lbAvailable")), QStringList{"300"});
  child<QLineEdit>(&form->selector(), "edAvailableValues")->setText("250000");
  press("btnAddValue");  // a baud rate of its own joins the standard list
  EXPECT_EQ(items(list("lbAvailable")), (QStringList{"300", "250000"}));
  press("btnResetValues");
  EXPECT_TRUE(items(list("lbSelected")).isEmpty());
  press("btnSave");  // nothing picked: the standard baud rates, never none
  EXPECT_EQ(form->current().profile.values.baudRates, standardValueDefaults().baudRates);
  EXPECT_EQ(child<QPlainTextEdit>("edBaudrates")->toPlainText(), standardValueDefaults().baudRates.join(", "));

  child<QPushButton>("btnEditDatabits")->click();
  pick(list("lbSelected"), "5");
  press("ToAvailable");
  press("btnCancel");  // changes nothing
  EXPECT_EQ(form->current().profile.values.dataBits, (QStringList{"5", "6", "7", "8"}));
}

TEST_F(OptionsTest, OkCreatesANewProfileAndAsksBeforeOverwriting) {
  show();
  QSignalSpy accepted(form.get(), &TFormOptions::accepted);
  // A new name: written without a question.
  child<QComboBox>("cbSelHwProfile")->setEditText("bench");
  child<QLineEdit>("edInterfaceName")->setText("Bench card");
  ASSERT_TRUE(form->btnOKClick());
  EXPECT_TRUE(profileText("bench").contains("Name=Bench card"));
  ASSERT_EQ(accepted.size(), 1);
  EXPECT_EQ(accepted[0][0].value<OptionsSettings>().profileName, "bench");

  // Only a port changed, the profile exists: asked; No keeps the dialog and the file.
  opened.profileName = "bench";
  show();
  const QByteArray before = profileText("bench");
  form->cbComAChange(2);
  {
    BoxAnswer no(box, {3});
    EXPECT_FALSE(form->btnOKClick());
    EXPECT_TRUE(no.allUsed());
  }
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(profileText("bench"), before);
  {
    BoxAnswer yes(box, {1});
    EXPECT_TRUE(form->btnOKClick());
  }
  ASSERT_EQ(accepted.size(), 2);
  EXPECT_EQ(accepted[1][0].value<OptionsSettings>().indexA, 2);
}

TEST_F(OptionsTest, EachPortTellsItsDriverAsToolTipAlsoWhenChosen) {
  opened.portDetails = {"COM1: /dev/ttyUSB0\ndriver: ftdi_sio", "COM2: /dev/pts/4\ndriver: pty",
                        "COM3: /dev/ttyS1\ndriver: serial8250"};
  show();
  auto* comA = child<QComboBox>("cbComA");
  auto* comB = child<QComboBox>("cbComB");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(comA->itemData(i, Qt::ToolTipRole).toString(), opened.portDetails[i]);
  EXPECT_EQ(comA->toolTip(), opened.portDetails[0]);
  EXPECT_EQ(comB->toolTip(), opened.portDetails[1]);
  form->cbComAChange(2);
  EXPECT_EQ(comA->toolTip(), opened.portDetails[2]);
}

TEST_F(OptionsTest, RefusedNamesAndFailedSavesKeepTheDialogOpen) {
  show();
  QSignalSpy accepted(form.get(), &TFormOptions::accepted);
  for (const char* bad : {"../escape", "", ".hidden", "a\\b"}) {
    child<QComboBox>("cbSelHwProfile")->setEditText(QString::fromUtf8(bad));
    BoxAnswer ok(box, {2});
    EXPECT_FALSE(form->btnOKClick()) << bad;
    EXPECT_TRUE(ok.allUsed()) << bad;
  }
  EXPECT_FALSE(QFile::exists(dir.path() + "/escape.vhp"));
  EXPECT_EQ(accepted.size(), 0);

  // profiles/ cannot be made: the message names the path, the dialog stays open.
  QTemporaryDir other;
  QFile blocker(other.path() + "/profiles");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TFormOptions elsewhere(box, other.path() + "/");
  elsewhere.open(opened, TFormOptions::Interface);
  child<QComboBox>(&elsewhere, "cbSelHwProfile")->setEditText("bench");
  BoxAnswer ok(box, {2});
  QString shown;
  QTimer peek;
  QObject::connect(&peek, &QTimer::timeout, [&] {
    if (box.isShowingMessage()) shown = box.findChild<QLabel*>("lblText")->text();
  });
  peek.start(0);
  EXPECT_FALSE(elsewhere.btnOKClick());
  EXPECT_TRUE(shown.contains(other.path() + "/profiles")) << shown.toStdString();
  EXPECT_TRUE(elsewhere.isVisible());
}

TEST_F(OptionsTest, CancelPutsBackWhatTheDialogOpenedWith) {
  ASSERT_TRUE(SaveHardwareProfile(user() + "profiles/bench.vhp", [] {
    HardwareProfile p = HardwareProfile::defaults(standardValueDefaults());
    p.values.baudRates = {"9600"};
    return p;
  }()));
  opened.skin = 1;
  show(TFormOptions::Display);
  QSignalSpy skins(form.get(), &TFormOptions::skinChosen);
  auto* theme = child<QComboBox>("cbTheme");
  ASSERT_EQ(theme->count(), 3);
  form->cbThemeChange(2);
  form->cbThemeChange(0);
  child<QCheckBox>("cbBeginRecAtProgStart")->setChecked(true);
  child<QCheckBox>("cbCheckForUpdatesOnStartup")->setChecked(true);
  auto* profiles = child<QComboBox>("cbSelHwProfile");
  form->cbSelHwProfileSelect(profiles->findText("bench"));
  EXPECT_EQ(form->current().profile.values.baudRates, QStringList{"9600"});
  child<QPushButton>("btnAbort")->click();
  ASSERT_EQ(skins.size(), 3);
  EXPECT_EQ(skins.last()[0].toInt(), 1);  // the skin before the changes
  const OptionsSettings back = form->current();
  EXPECT_FALSE(back.beginRecordOnProgStart);
  EXPECT_FALSE(back.checkForUpdatesAtProgStart);
  EXPECT_EQ(back.profileName, "default");
  EXPECT_EQ(back.profile, opened.profile);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(OptionsTest, AProfileThatCannotBeReadIsNamedAndNotTaken) {
  QFile bad(user() + "profiles/broken.vhp");
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write(QByteArray("\x00\x01\x02garbage", 10));
  bad.close();
  show();
  auto* profiles = child<QComboBox>("cbSelHwProfile");
  BoxAnswer ok(box, {2});
  form->cbSelHwProfileSelect(profiles->findText("broken"));
  EXPECT_TRUE(ok.allUsed());
  EXPECT_EQ(form->current().profileName, "default");
  EXPECT_EQ(profiles->currentText(), "default");
}

TEST_F(OptionsTest, Screenshots) {
  const QString folder = qEnvironmentVariable("VORLOG_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "VORLOG_SHOTS not set";
  auto save = [&](QWidget* w, const char* name) {
    w->show();
    runFor(30);
    EXPECT_TRUE(w->grab().save(folder + "/" + name + ".png")) << name;
  };
  opened.profile.name = "USB serial adapter, 2 ports";
  opened.profile.manufacturer = "Quarnel";
  opened.profile.values.baudRates = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
  opened.profile.values.stopBits = {"1", "2"};
  const char* names[] = {"options-start", "options-display", "options-interface", "options-update"};
  for (int page = 0; page < 4; ++page) {
    form->open(opened, page);
    save(form.get(), names[page]);
  }
  child<QPushButton>("btnSelectBaudRates")->click();
  pick(list("lbAvailable"), "10400");
  form->selector().lbAvailableClick();
  save(&form->selector(), "selector");
}

// --- wired to the main window on pseudo-terminals ---------------------------------------

struct Pty {
  int master = -1;
  QString slave;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    char name[128];
    if (::ptsname_r(master, name, sizeof name) == 0) slave = QString::fromLocal8Bit(name);
  }
  ~Pty() {
    if (master >= 0) ::close(master);
  }
};

struct OptionsWindowTest : ::testing::TestWithParam<int> {
  QTemporaryDir dir;
  TMessageForm box;
  GuiMessages messages{box};
  std::vector<std::unique_ptr<Pty>> ptys;
  std::unique_ptr<TFormMain> main;

  void make(int ports) {
    QDir().mkpath(dir.path() + "/recordings");
    for (int i = 0; i < ports; ++i) ptys.push_back(std::make_unique<Pty>());
    MainFormOptions o;
    o.userPath = dir.path() + "/";
    o.enumerator = [this] {
      QList<PortInfo> list;
      for (const auto& p : ptys) list.push_back({0, p->slave, QStringLiteral("pseudo-terminal"), false});
      return list;
    };
    BoxAnswer warnings(box, {2, 2, 2, 2});  // a single port is named once it is in use
    main = std::make_unique<TFormMain>(o, messages);
    main->show();
    runFor(20);
  }
  void TearDown() override {
    if (main) main->closeWithoutQuestions();
    main.reset();
  }
};

TEST_P(OptionsWindowTest, PortsMoveAndThePanelIsRefilledFromTheProfile) {
  const int count = GetParam();
  make(count);
  ASSERT_FALSE(main->simulated());
  ASSERT_TRUE(QFile::exists(dir.path() + "/profiles/default.vhp"));  // a fresh user path gets it
  main->findChild<QPushButton*>("btnCallComABOptions")->click();
  TFormOptions& options = main->optionsCommands().dialog();
  ASSERT_TRUE(options.isVisible());
  auto* comA = options.findChild<QComboBox*>("cbComA");
  auto* comB = options.findChild<QComboBox*>("cbComB");
  ASSERT_EQ(comA->count(), count);
  if (count == 1) {
    EXPECT_EQ(comB->currentIndex(), -1);  // never both lines on one device
  }

  // Line A takes line B's port: B moves out of the way.
  const int target = count == 1 ? 0 : comB->currentIndex();
  options.cbComAChange(target);
  const int expectedB = count == 1 ? -1 : count == 2 ? 1 - target : (target + 1) % count;
  EXPECT_EQ(comA->currentIndex(), target);
  EXPECT_EQ(comB->currentIndex(), expectedB);

  // A profile offering less: the panel keeps 9600 and falls back to the second entry.
  OptionsSettings s = options.current();
  s.profile.values.baudRates = {"4800", "9600"};
  s.profile.values.parities = {"E", "O"};
  options.open(s, TFormOptions::Interface);
  options.cbComAChange(target);
  {
    BoxAnswer yes(box, {1, 2, 2, 2});  // overwrite; with one port the missing line is named
    ASSERT_TRUE(options.btnOKClick());
  }
  const Ports& p = main->session().ports;
  EXPECT_EQ(p.indexA, target);
  EXPECT_EQ(p.indexB, expectedB);
  EXPECT_EQ(p.baudRates.items, (QStringList{"4800", "9600"}));
  EXPECT_EQ(p.baudRates.current(), "9600");
  EXPECT_EQ(p.parities.current(), "O");
  auto* baud = main->findChild<QComboBox*>("cbPortBaudRate");
  EXPECT_EQ(baud->count(), 2);
  EXPECT_EQ(baud->currentText(), "9600");
  if (count == 1) {
    EXPECT_EQ(main->session().comB.comNumber(), 0);
    QString why;
    EXPECT_FALSE(main->session().comB.SetOpen(true, &why));  // what recording reports
    EXPECT_TRUE(why.contains("two serial ports")) << why.toStdString();
  } else {
    EXPECT_NE(main->session().comA.comNumber(), main->session().comB.comNumber());
  }
  EXPECT_TRUE(main->environmentChanged());
  QFile ini(dir.path() + "/Vorlog.ini");
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("Profile=default.vhp"));
}

INSTANTIATE_TEST_SUITE_P(OneTwoThreePorts, OptionsWindowTest, ::testing::Values(1, 2, 3));

}  // namespace
