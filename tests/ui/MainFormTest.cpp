#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolButton>
#include <QTableView>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "app/StatusLight.h"
#include "capture/SerialPort.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"
#include "app/EnvironmentCommands.h"
#include "settings/Environment.h"
#include "triggers/TriggerList.h"
#include "ui/BoxAnswer.h"
#include "view/CellText.h"
#include "view/ui/EventGrid.h"

#include "support/RecordFiles.h"

namespace {

void writeFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

std::vector<EventRecord> readRecords(const QString& path) { return readRecordFile(path); }

bool isMark(const EventRecord& r, uint8_t code) { return r.markType == Mark::SystemType && r.markCode == code; }

struct MainFormTest : ::testing::Test {
  QTemporaryDir dir;
  TMessageForm box;
  GuiMessages messages{box};
  std::unique_ptr<TFormMain> main;

  QString user() const { return dir.path() + "/"; }
  QString recordPath() const { return dir.filePath("rec.vrd"); }
  QString ini() const { return user() + "Vorlog.ini"; }

  void make(const QStringList& args = {}, bool simulate = true, PortRegistry::Enumerator enumerator = {}) {
    QDir().mkpath(user() + "recordings");
    MainFormOptions o;
    o.arguments = args;
    o.userPath = user();
    o.simulate = simulate;
    o.enumerator = std::move(enumerator);
    main = std::make_unique<TFormMain>(o, messages);
    main->show();
    runFor(5);
  }
  void TearDown() override {
    if (!main) return;
    main->closeWithoutQuestions();
    main.reset();
  }
  template <class T>
  T* child(const char* name) const {
    return main->findChild<T*>(QString::fromLatin1(name));
  }
  QPushButton* button(const char* name) const { return child<QPushButton>(name); }
  QString mode() const { return child<QLabel>("pnlStatusBarPanel6")->text(); }
  void record() {
    main->session().file.setName(recordPath());
    button("btnREC")->click();
  }
  // The enabled state of every action and control the program has.
  std::map<QString, bool> enabledStates() const {
    std::map<QString, bool> m;
    for (QAction* a : main->findChildren<QAction*>())
      if (!a->objectName().isEmpty()) m[a->objectName()] = a->isEnabled();
    for (QWidget* w : main->findChildren<QWidget*>())
      if (!w->objectName().isEmpty()) m["w:" + w->objectName()] = w->isEnabled();
    return m;
  }
};

TEST_F(MainFormTest, RecAndStopRecordTheSimulatedLinkIntoTheFile) {
  make();
  ASSERT_TRUE(main->simulated());
  EXPECT_EQ(mode(), Texts::text(4274));
  record();
  ASSERT_TRUE(main->recorder().running());
  EXPECT_TRUE(button("btnREC")->isChecked());
  EXPECT_FALSE(button("btnSTOP")->isChecked());
  EXPECT_EQ(mode(), Texts::text(4273));
  runFor(250);
  button("btnSTOP")->click();
  EXPECT_FALSE(main->recorder().running());
  EXPECT_FALSE(button("btnREC")->isChecked());
  EXPECT_TRUE(button("btnSTOP")->isChecked());
  EXPECT_EQ(mode(), Texts::text(4274));

  const auto r = readRecords(recordPath());
  ASSERT_GE(r.size(), 4u);  // file start, user start, the line states, ..., user stop
  EXPECT_TRUE(isMark(r[0], Mark::Plain));
  EXPECT_TRUE(isMark(r[1], Mark::UserStart));
  EXPECT_TRUE(isMark(r.back(), Mark::UserStop));
  EXPECT_EQ(QFileInfo(recordPath()).size() % 80, 0);
  EXPECT_EQ(box.shownCount(), 0);
}

TEST_F(MainFormTest, PauseHoldAppendAndReplaceFollowTheRecorder) {
  make();
  record();
  button("btnPAUSE")->click();
  EXPECT_TRUE(main->recorder().paused());
  EXPECT_FALSE(main->recorder().running());
  EXPECT_TRUE(main->action("actPause")->isChecked());
  button("btnPAUSE")->click();
  EXPECT_TRUE(main->recorder().running());
  EXPECT_FALSE(button("btnPAUSE")->isChecked());

  button("btnViewHold")->click();
  EXPECT_TRUE(main->recorder().hold());
  EXPECT_TRUE(main->action("actFreezeDisplay")->isChecked());
  main->action("actFreezeDisplay")->trigger();
  EXPECT_FALSE(main->recorder().hold());
  EXPECT_FALSE(button("btnViewHold")->isChecked());
  button("btnSTOP")->click();
  const size_t first = readRecords(recordPath()).size();

  // APPEND is down by default; REPLACE from the menu puts its button down and APPEND up.
  EXPECT_TRUE(button("btnRECappend")->isChecked());
  main->action("actReplace")->trigger();
  EXPECT_TRUE(button("btnRECreplace")->isChecked());
  EXPECT_FALSE(button("btnRECappend")->isChecked());
  EXPECT_FALSE(main->action("actAppend")->isChecked());
  record();
  button("btnSTOP")->click();
  const auto replaced = readRecords(recordPath());
  ASSERT_GE(replaced.size(), 3u);
  EXPECT_TRUE(isMark(replaced[1], Mark::UserStart));

  button("btnRECappend")->click();
  EXPECT_TRUE(main->action("actAppend")->isChecked());
  EXPECT_FALSE(main->action("actReplace")->isChecked());
  record();
  button("btnSTOP")->click();
  const auto appended = readRecords(recordPath());
  ASSERT_GT(appended.size(), replaced.size());
  EXPECT_TRUE(isMark(appended[replaced.size()], Mark::Appended));
  EXPECT_GT(first, 0u);
}

TEST_F(MainFormTest, LampsFollowTheLinesAndTheRecorder) {
  make();
  auto* recorderLamp = child<StatusLight>("LedRecorder");
  auto* holdLamp = child<StatusLight>("LedHold");
  record();
  // The scenario raises DTR, RTS, DSR and CTS within its first 165 ms.
  runFor(400);
  EXPECT_TRUE(child<StatusLight>("LedS1")->lit());
  EXPECT_TRUE(child<StatusLight>("LedM1")->lit());
  EXPECT_TRUE(child<StatusLight>("LedS2")->lit());
  EXPECT_TRUE(child<StatusLight>("LedM2")->lit());
  EXPECT_FALSE(child<StatusLight>("LedM3")->lit());

  // The blink: the recorder lamp toggles while recording, the hold lamp while holding.
  button("btnViewHold")->click();
  const bool rec = recorderLamp->lit(), hold = holdLamp->lit();
  main->LEDToggleTimerTimer();
  EXPECT_NE(recorderLamp->lit(), rec);
  EXPECT_NE(holdLamp->lit(), hold);
  button("btnViewHold")->click();
  EXPECT_FALSE(holdLamp->lit());
  main->LEDToggleTimerTimer();
  EXPECT_FALSE(holdLamp->lit());

  button("btnSTOP")->click();
  main->LEDToggleTimerTimer();
  EXPECT_FALSE(recorderLamp->lit());
  // Examining again: the lamps show the selected event of the file.
  const EventRecord& selected = main->session().liveView.at(main->grid()->selectedRow());
  EXPECT_NE(selected.eventNumber, 0u);
  EXPECT_EQ(child<StatusLight>("LedS1")->lit(), selected.signalBytes[SigS1Dtr] != 0);
  EXPECT_EQ(child<StatusLight>("LedM3")->lit(), selected.signalBytes[SigM3Rng] != 0);
}

TEST_F(MainFormTest, CloseIsRefusedWhileRecordingAndAllowedAfterStop) {
  make();
  record();
  EXPECT_FALSE(main->close());
  EXPECT_TRUE(main->isVisible());
  // A paused recording has no stop mark yet: closing is refused as well.
  button("btnPAUSE")->click();
  EXPECT_FALSE(main->close());
  EXPECT_EQ(box.shownCount(), 0);  // refused without a message
  button("btnSTOP")->click();
  EXPECT_FALSE(main->recorder().paused());

  BoxAnswer yes(box, {1});
  EXPECT_TRUE(main->close());
  EXPECT_EQ(box.shownCount(), 1);
  EXPECT_EQ(main->configurationSaves(), 1);
  EXPECT_TRUE(QFile::exists(ini()));
  EXPECT_TRUE(isMark(readRecords(recordPath()).back(), Mark::UserStop));
}

TEST_F(MainFormTest, AnsweringNoToTheCloseQuestionSavesNothing) {
  make();
  main->setEnvironmentChanged(true);
  BoxAnswer no(box, {3});
  EXPECT_FALSE(main->close());
  EXPECT_TRUE(main->isVisible());
  EXPECT_EQ(box.shownCount(), 1);  // no environment question either
  EXPECT_EQ(main->configurationSaves(), 0);
  EXPECT_FALSE(QFile::exists(ini()));
}

TEST_F(MainFormTest, AChangedEnvironmentIsAskedAboutBeforeClosing) {
  make();
  main->setEnvironmentChanged(true);
  BoxAnswer answers(box, {1, 3});
  EXPECT_TRUE(main->close());
  EXPECT_EQ(box.shownCount(), 2);
  EXPECT_EQ(main->configurationSaves(), 1);
}

TEST_F(MainFormTest, LayoutResetAsksAndThenRestoresTheDefaults) {
  make();
  main->move(40, 30);
  main->resize(1200, 900);
  main->setBottomPanelHeight(400);
  {
    BoxAnswer no(box, {3});
    main->action("actWinResetAll")->trigger();
  }
  EXPECT_EQ(main->size(), QSize(1200, 900));
  EXPECT_FALSE(main->environmentChanged());
  {
    BoxAnswer yes(box, {1});
    main->action("actWinResetAll")->trigger();
  }
  runFor(5);
  EXPECT_EQ(main->pos(), QPoint(0, 0));
  EXPECT_EQ(main->size(), QSize(960, 640));  // 800 x 600 asked, the minimum applies
  EXPECT_EQ(main->bottomPanelHeight(), 300);
  EXPECT_TRUE(main->environmentChanged());
  EXPECT_EQ(box.shownCount(), 2);
}

TEST_F(MainFormTest, TheBottomPanelSnapsTo150) {
  make();
  QPushButton* minMax = button("btnTrigListMinMax");
  main->setBottomPanelHeight(100);
  main->FormResize();
  EXPECT_EQ(main->bottomPanelHeight(), 150);
  EXPECT_EQ(minMax->text(), QString(QChar(0x25B2)));
  main->setBottomPanelHeight(220);
  main->FormResize();
  EXPECT_EQ(main->bottomPanelHeight(), 220);
  EXPECT_EQ(minMax->text(), QString(QChar(0x25BC)));
  minMax->click();
  EXPECT_EQ(main->bottomPanelHeight(), 150);
  minMax->click();
  EXPECT_EQ(main->bottomPanelHeight(), 300);
}

TEST_F(MainFormTest, RecordingLocksTheControlsAndGivesTheirStatesBack) {
  make();
  const auto before = enabledStates();
  ASSERT_TRUE(before.at("actExit"));
  ASSERT_TRUE(before.at("actHomepage"));
  // One of the language switches is the current one and stays unavailable.
  ASSERT_NE(before.at("actLangDE"), before.at("actLangEN"));

  record();
  EXPECT_FALSE(main->action("actExit")->isEnabled());
  EXPECT_FALSE(main->action("actStart")->isEnabled());
  EXPECT_TRUE(main->action("actStop")->isEnabled());
  EXPECT_FALSE(main->action("actLangDE")->isEnabled());
  EXPECT_FALSE(main->action("actLangEN")->isEnabled());
  EXPECT_FALSE(main->action("actWinResetAll")->isEnabled());
  EXPECT_FALSE(main->action("actHomepage")->isEnabled());
  EXPECT_FALSE(child<QComboBox>("cbPortBaudRate")->isEnabled());
  EXPECT_FALSE(child<QScrollBar>("ScrollBar1")->isVisible());
  // Pause and resume keep the lock.
  button("btnPAUSE")->click();
  button("btnPAUSE")->click();
  EXPECT_FALSE(main->action("actExit")->isEnabled());

  button("btnSTOP")->click();
  EXPECT_EQ(enabledStates(), before);
  EXPECT_TRUE(child<QScrollBar>("ScrollBar1")->isVisible());
}

TEST_F(MainFormTest, ARecordFileThatCannotBeCreatedLeavesTheControlsAlone) {
  make();
  const auto before = enabledStates();
  main->session().file.setName(dir.filePath("missing/folder/rec.vrd"));
  BoxAnswer ok(box, {2});
  button("btnREC")->click();
  EXPECT_EQ(messages.reportCount(), 1);
  EXPECT_FALSE(main->recorder().running());
  EXPECT_FALSE(button("btnREC")->isChecked());
  EXPECT_FALSE(main->session().comA.isOpen());
  EXPECT_EQ(enabledStates(), before);
  EXPECT_EQ(mode(), Texts::text(4274));
}

TEST_F(MainFormTest, CommandLineNamesTheEnvironmentAndTheRecordFile) {
  const QString shown = dir.filePath("shown.vrd");
  writeFile(shown, QByteArray(160, '\0'));
  writeFile(user() + "line.ven", "[Files]\nRecord data=job.vrd\n");
  make({"line.ven", shown});  // a job of defaults: nothing to say
  EXPECT_EQ(main->commandLineRecordFile(), shown);
  EXPECT_EQ(main->recordFileName(), shown);  // the command line wins over the job's record file
  EXPECT_EQ(main->environmentFileName(), user() + "line.ven");
  EXPECT_TRUE(main->windowTitle().endsWith("line.ven"));
  EXPECT_TRUE(child<QLabel>("lblFileLine")->text().contains("shown.vrd"));
  main->closeWithoutQuestions();
  make({"/data/SHOWN.VRD", "a.vrd", "b.vrd"});
  EXPECT_EQ(main->recordFileName(), "b.vrd");  // in the recordings folder, which can take it
  EXPECT_EQ(main->environmentFileName(), user() + "Default.ven");  // a close without questions keeps nothing
  main->closeWithoutQuestions();
  make({"/data/SHOWN.VRD"});
  EXPECT_EQ(main->recordFileName(), "Default.vrd");
  EXPECT_EQ(box.shownCount(), 0);
}

TEST_F(MainFormTest, FilesThatCannotBeUsedAreNamedAndTheDefaultsTakeOver) {
  const QString missingFolder = dir.filePath("no/such/folder/rec.vrd");
  {
    BoxAnswer ok(box, {2, 2});
    make({missingFolder, dir.filePath("gone.ven")});
    EXPECT_TRUE(ok.allUsed());
  }
  EXPECT_EQ(box.shownCount(), 2);
  EXPECT_EQ(main->environmentFileName(), user() + "Default.ven");
  EXPECT_EQ(main->recordFileName(), "Default.vrd");
  EXPECT_TRUE(main->isVisible());
  // The window works on: a recording goes into the default file.
  button("btnREC")->click();
  EXPECT_TRUE(main->recorder().running());
  button("btnSTOP")->click();
  EXPECT_TRUE(QFileInfo::exists(user() + "recordings/Default.vrd"));
}

TEST(RecordFileProblemTest, SaysWhyAFileCannotBeUsed) {
  QTemporaryDir dir;
  EXPECT_TRUE(recordFileProblem(dir.filePath("new.vrd")).isEmpty());
  EXPECT_TRUE(recordFileProblem(dir.filePath("no/new.vrd")).contains(dir.filePath("no")));
  // A folder that refuses new files, whoever runs the test.
  EXPECT_EQ(recordFileProblem("/proc/self/rec.vrd"), Texts::text(9747).arg("/proc/self"));
  EXPECT_EQ(recordFileProblem(dir.path() + "/"), Texts::text(9750));  // a folder is no record file
  EXPECT_EQ(recordFileProblem("/dev/null"), Texts::text(9751));
  writeFile(dir.filePath("old.vrd"), QByteArray(80, '\0'));
  EXPECT_TRUE(recordFileProblem(dir.filePath("old.vrd")).isEmpty());
  // No read permission. The super-user reads any file, but not a write-only system setting.
  const QString locked = ::geteuid() == 0 ? QStringLiteral("/proc/sys/vm/drop_caches") : dir.filePath("old.vrd");
  ::chmod(dir.filePath("old.vrd").toLocal8Bit().constData(), 0200);
  const int probe = ::open(locked.toLocal8Bit().constData(), O_RDONLY);
  if (probe >= 0) {
    ::close(probe);
    GTEST_SKIP() << locked.toStdString() << " can be read here";
  }
  EXPECT_EQ(recordFileProblem(locked), Texts::text(9752));
}

TEST_F(MainFormTest, ARecordFileThatIsAFolderIsNamedAsSuchAndLendsNoSize) {
  const QString folder = dir.filePath("folder.vrd");
  ASSERT_TRUE(QDir().mkpath(folder));
  // Entries enough for the folder itself to measure some KB, on any file system.
  for (int i = 0; i < 100; ++i) writeFile(folder + QStringLiteral("/entry-with-a-long-name-%1").arg(i), {});
  {
    BoxAnswer ok(box, {2});
    make({folder});
    EXPECT_TRUE(ok.allUsed());
  }
  const QString said = box.findChild<QLabel*>("lblText")->text();
  EXPECT_TRUE(said.contains(folder) && said.contains(Texts::text(9750))) << said.toStdString();
  EXPECT_EQ(main->recordFileName(), "Default.vrd");
  // The caption names the file shown, with its own size: none yet.
  const QString caption = child<QLabel>("lblFileLine")->text();
  EXPECT_TRUE(caption.contains(user() + "recordings/Default.vrd")) << caption.toStdString();
  EXPECT_TRUE(caption.endsWith("[  0 KB ]")) << caption.toStdString();
}

TEST(WindowPlacementTest, AFormLandsFullyOnItsMonitor) {
  // Two monitors side by side, the second with a task bar at its top.
  const QRect first(0, 0, 1280, 1024), second(1280, 40, 1920, 1040);
  const QSize minimum(960, 640);
  EXPECT_EQ(screenIndexFor(5, 2), 1);
  EXPECT_EQ(screenIndexFor(0, 2), 0);
  EXPECT_EQ(screenIndexFor(-3, 2), 0);
  EXPECT_EQ(screenIndexFor(0, 0), -1);
  // Inside already: left alone.
  EXPECT_EQ(fitOnScreen(QRect(100, 50, 1000, 700), minimum, first), QRect(100, 50, 1000, 700));
  // Far off to the bottom right, and to the top left.
  EXPECT_EQ(fitOnScreen(QRect(90000, 90000, 1000, 700), minimum, second), QRect(2200, 380, 1000, 700));
  EXPECT_EQ(fitOnScreen(QRect(-5000, -5000, 1000, 700), minimum, second), QRect(1280, 40, 1000, 700));
  // No size at all gives the smallest usable window.
  EXPECT_EQ(fitOnScreen(QRect(0, 0, 0, 0), minimum, first), QRect(0, 0, 960, 640));
  // Larger than the monitor: as large as the monitor.
  EXPECT_EQ(fitOnScreen(QRect(10, 10, 4000, 3000), minimum, first), first);
  // A monitor smaller than the minimum: the top left corner stays in view.
  EXPECT_EQ(fitOnScreen(QRect(300, 300, 960, 640), minimum, QRect(0, 0, 800, 600)), QRect(0, 0, 960, 640));
}

TEST_F(MainFormTest, AWindowStoredOffScreenOrWithoutSizeComesUpOnScreen) {
  writeFile(ini(), "[Window]\nLeft=-40000\nTop=70000\nWidth=0\nHeight=0\n[Monitor]\nFormMain=9\n");
  make();
  const QRect available = QGuiApplication::screens().last()->availableGeometry();
  EXPECT_GE(main->width(), 960);
  EXPECT_GE(main->height(), 640);
  const QRect frame = main->frameGeometry();
  // Along each edge: fully inside where the screen is large enough, else from its start.
  if (frame.width() <= available.width()) {
    EXPECT_GE(frame.left(), available.left());
    EXPECT_LE(frame.right(), available.right());
  } else {
    EXPECT_EQ(frame.left(), available.left());
  }
  if (frame.height() <= available.height()) {
    EXPECT_GE(frame.top(), available.top());
    EXPECT_LE(frame.bottom(), available.bottom());
  } else {
    EXPECT_EQ(frame.top(), available.top());
  }
  EXPECT_EQ(box.shownCount(), 0);
}

TEST_F(MainFormTest, TheConfigurationIsAppliedAtStartAndCollectedAtExit) {
  writeFile(ini(),
            "[Modes]\nInstallLang=xx\nGlobalLang=10000\nDefLang=1\n"
            "[Window]\nLeft=5\nTop=6\nWidth=1000\nHeight=700\nWindowState=2\n"
            "[AllBottomPanels]\nHeight=240\n[Recorder]\nAppend=0\nReplace=1\n"
            "[TriggerList]\nColumn0=222\n[ProgramStart]\nDisplayHoldOnProgStart=1\nBeginRecordOnProgStart=1\n");
  make();
  EXPECT_TRUE(main->isMaximized());
  EXPECT_TRUE(button("btnRECreplace")->isChecked());
  EXPECT_FALSE(button("btnRECappend")->isChecked());
  EXPECT_TRUE(main->action("actReplace")->isChecked());
  EXPECT_TRUE(button("btnViewHold")->isChecked());
  EXPECT_TRUE(main->recorder().running());  // begin recording at program start
  EXPECT_EQ(child<QLabel>("lblD1")->text(), "Tx");
  EXPECT_EQ(main->bottomPanelHeight(), 240);
  EXPECT_EQ(child<QTableView>("TriggerList")->columnWidth(0), 222);
  runFor(600);
  EXPECT_TRUE(child<StatusLight>("LedHold")->lit() || child<StatusLight>("LedRecorder")->lit());
  button("btnSTOP")->click();
  {
    BoxAnswer yesThenNo(box, {1, 3});  // close: yes; the changed environment: do not save it
    main->close();
  }
  ASSERT_FALSE(main->isVisible());
  Configuration saved;
  ASSERT_TRUE(saved.load(ini()));
  EXPECT_EQ(saved.window.windowState, 2);
  // Maximised: the normal placement in the file stays as it was.
  EXPECT_EQ(saved.window.left, 5);
  EXPECT_EQ(saved.window.width, 1000);
  EXPECT_TRUE(saved.recorderReplace);
  EXPECT_FALSE(saved.recorderAppend);
  EXPECT_TRUE(saved.viewHold);
  EXPECT_TRUE(saved.displayHoldOnProgStart);
  EXPECT_TRUE(saved.beginRecordOnProgStart);
  EXPECT_EQ(saved.pinNaming, 1);
  EXPECT_EQ(saved.triggerListColumns.value(0), 222);
  EXPECT_EQ(saved.monitorOf("FormMain"), 0);
  EXPECT_EQ(saved.monitorOf("MessageForm"), 0);
  EXPECT_GT(saved.bottomPanels.height, 150);
  EXPECT_GT(saved.centerPanel.width, 0);
}

TEST_F(MainFormTest, EveryCommandIsThereAndNoneIsADeadClick) {
  make();
  const QStringList named = {
      "actNewRecordFile", "actOpenRecordFile", "actSaveRecordFile", "actExport", "actPrintReport", "actExit",
      "actStart", "actStop", "actPause", "actAppend", "actReplace", "actFreezeDisplay", "actDetailedData",
      "actHorizontalDataTable", "actDataDump", "actResetGridRowCol", "actUSASCII", "actEBCDIC", "actHex", "actDec",
      "actOct", "actBin", "actControlChars", "actCommandChars", "actSearchEvent", "actDeltaTimeMeasurement",
      "actGotoTP", "actGotoMP", "actShowCCITTV24Pin", "actLifePortPinOut", "actTrigInsert", "actTrigRemove",
      "actTrigEdit", "actTrigUp", "actTrigDown", "actTrigGridReset", "actTrigMarkAll", "actTrigMarkNone",
      "actTrigMarkReverse", "actLoadEnv", "actSaveEnv", "actEnvConf", "actOptions", "actStyleWindows", "actLangDE",
      "actLangEN", "actWinResetAll", "actSearchForUpdate", "actCopy"};
  const QString later = Texts::text(9700);
  for (const QString& name : named) {
    QAction* a = main->action(name);
    ASSERT_TRUE(a) << qPrintable(name);
    EXPECT_FALSE(a->text().isEmpty()) << qPrintable(name);
    // Reachable: in a menu, on a tool bar, or on a button or pop-up of the window.
    EXPECT_FALSE(a->associatedObjects().isEmpty() && name != "actLifePortPinOut") << qPrintable(name);
    // Either it works, or it says it comes later and cannot be clicked (the trigger
    // commands on one trigger wait for a selection).
    const bool needsSelection = QStringList{"actTrigRemove", "actTrigEdit", "actTrigUp", "actTrigDown"}.contains(name);
    if (!a->isEnabled() && !name.startsWith("actLang") && !needsSelection) {
      EXPECT_TRUE(a->toolTip().contains(later)) << qPrintable(name);
    }
  }
  // Every menu has a caption, and the trigger panel buttons run the menu's commands.
  for (QAction* top : main->menuBar()->actions()) {
    EXPECT_FALSE(top->text().isEmpty());
    for (QAction* entry : top->menu()->actions()) EXPECT_TRUE(entry->isSeparator() || !entry->text().isEmpty());
  }
  auto* ins = child<QToolButton>("btnTrigInsert");
  ASSERT_TRUE(ins);
  EXPECT_EQ(ins->defaultAction(), main->action("actTrigInsert"));
  // The panel's V24/USA button and the menu command switch the same naming.
  button("btnSwitchPinFromPanel")->click();
  EXPECT_EQ(child<QLabel>("lblD1")->text(), "Tx");
  main->action("actShowCCITTV24Pin")->trigger();
  EXPECT_EQ(child<QLabel>("lblD1")->text(), "D1");
}

TEST_F(MainFormTest, WithoutSerialPortsTheSimulatedLinkIsUsed) {
  make({}, false, [] { return QList<PortInfo>(); });
  EXPECT_TRUE(main->simulated());
  EXPECT_EQ(main->session().ports.portListA.size(), 2);
  EXPECT_EQ(main->session().comA.comNumber(), 1);
  EXPECT_EQ(main->session().comB.comNumber(), 2);
  EXPECT_EQ(box.shownCount(), 0);  // two ports: no warning
}

TEST_F(MainFormTest, APortSettingChangeTriesThePortsAndMarksTheEnvironment) {
  make();
  auto* baud = child<QComboBox>("cbPortBaudRate");
  const int i = baud->findText("19200");
  ASSERT_GE(i, 0);
  baud->setCurrentIndex(i);
  emit baud->activated(i);
  EXPECT_TRUE(main->environmentChanged());
  EXPECT_EQ(main->session().comA.settings().baud, 19200);
  EXPECT_EQ(main->session().comB.settings().baud, 19200);
  EXPECT_FALSE(main->session().comA.isOpen());
  EXPECT_EQ(messages.reportCount(), 0);
}

TEST_F(MainFormTest, SwitchingTheLanguageSavesTheConfiguration) {
  make();
  const int offset = Texts::languageOffset();
  QAction* other = main->action(offset == 0 ? "actLangEN" : "actLangDE");
  other->trigger();
  EXPECT_NE(Texts::languageOffset(), offset);
  EXPECT_FALSE(other->isEnabled());
  EXPECT_TRUE(other->isChecked());
  EXPECT_EQ(main->configurationSaves(), 1);
  EXPECT_EQ(Configuration::LoadLanguageConfig(ini()), Texts::languageOffset());
  Texts::setLanguageOffset(offset);
}

}  // namespace

namespace {

TEST_F(MainFormTest, F9HoldsTheGridWhileRecordingAndTwiceGivesItBack) {
  make();
  record();
  runFor(300);
  EventGrid* grid = main->grid();
  QAction* f9 = main->action(QStringLiteral("actFreezeDisplay"));
  ASSERT_EQ(f9->shortcut(), QKeySequence(Qt::Key_F9));
  QLabel* panel = child<QLabel>("pnlStatusBarPanel1");
  // The scenario pauses now and then; a redraw step comes with the next event.
  const auto waitForPanel = [panel](const QString& start) {
    for (int i = 0; i < 100 && !panel->text().startsWith(start); ++i) runFor(50);
    return panel->text().startsWith(start);
  };
  f9->trigger();
  ASSERT_TRUE(main->recorder().hold());
  ASSERT_TRUE(waitForPanel(QStringLiteral(" |"))) << panel->text().toStdString();
  const QImage held = grid->grab().toImage();
  const int64_t before = main->session().engine.counter(CntD1) + main->session().engine.counter(CntD2);
  for (int i = 0; i < 100 && main->session().engine.counter(CntD1) + main->session().engine.counter(CntD2) == before;
       ++i)
    runFor(50);
  runFor(100);
  EXPECT_EQ(grid->grab().toImage(), held);  // new events came, the picture stayed
  f9->trigger();
  EXPECT_FALSE(main->recorder().hold());
  EXPECT_FALSE(child<StatusLight>("LedHold")->lit());
  EXPECT_TRUE(waitForPanel(QStringLiteral("Tx:  "))) << panel->text().toStdString();
  button("btnSTOP")->click();
  // After the stop the file is shown: its last page, the stop mark in the last filled row.
  EXPECT_GT(main->scrollBar()->maximum(), 4);
}

TEST_F(MainFormTest, TheNamingSwitchChangesHeadersAndLabelsAtOnce) {
  make();
  QLabel* d1 = child<QLabel>("lblD1");
  ASSERT_NE(d1, nullptr);
  EXPECT_EQ(d1->text(), QStringLiteral("D1"));
  EXPECT_EQ(main->viewState().pinNaming, 0);
  button("btnSwitchPinFromPanel")->click();
  EXPECT_EQ(main->viewState().pinNaming, 1);
  EXPECT_EQ(d1->text(), QStringLiteral("Tx"));
  EXPECT_EQ(child<QLabel>("lblM3")->text(), QStringLiteral("RNG"));
  EXPECT_EQ(CellText::headerText(ViewMode::Vertical, 5, main->viewState().timeMode, main->viewState().pinNaming),
            QStringLiteral("DTR"));
  main->action(QStringLiteral("actShowCCITTV24Pin"))->trigger();
  EXPECT_EQ(d1->text(), QStringLiteral("D1"));
}

}  // namespace

TEST_F(MainFormTest, AnEnvironmentLoadsSavesAndIsAskedForAtClose) {
  make();
  EnvironmentCommands& env = main->environmentCommands();
  QString next;
  env.setChooser([&](bool, const QString&) { return next; });
  next = QStringLiteral(VORLOG_SOURCE_DIR "/docs/example-job.ven");
  {
    BoxAnswer ok(box, {2});  // COM3 and COM4 of the job are not offered on the simulated link
    ASSERT_TRUE(env.loadDialog());
    EXPECT_TRUE(ok.allUsed());
  }
  EXPECT_EQ(main->triggerList().count(), 4);
  EXPECT_EQ(main->headerGeneral().value(0), "Dial-up test of the field modem");
  EXPECT_EQ(child<QComboBox>("cbPortBaudRate")->currentText(), "19200");
  EXPECT_EQ(child<QComboBox>("cbPortParity")->currentText(), "E");
  EXPECT_FALSE(main->environmentChanged());
  EXPECT_TRUE(main->windowTitle().endsWith("example-job.ven"));

  next = dir.filePath("copy.ven");
  ASSERT_TRUE(env.saveDialog());
  Environment copy;
  EnvironmentWarnings warnings;
  ASSERT_TRUE(LoadEnvironment(next, copy, warnings));
  EXPECT_EQ(copy.triggers, main->triggerList().records());
  EXPECT_EQ(copy.description, main->headerDescription());
  EXPECT_EQ(copy.comA.baud, 19200);

  // A save over a folder fails: it is said, and the job stays marked as changed.
  main->setEnvironmentChanged(true);
  next = dir.path();
  {
    BoxAnswer ok(box, {2});
    EXPECT_FALSE(env.saveDialog());
  }
  EXPECT_TRUE(main->environmentChanged());
  EXPECT_TRUE(main->windowTitle().endsWith("copy.ven"));

  // Closing with changes: "Yes, save" and then a cancelled save dialog keep the window.
  next.clear();
  {
    BoxAnswer yes(box, {1, 1});
    EXPECT_FALSE(main->close());
  }
  EXPECT_TRUE(main->isVisible());
}
