// The window side of the triggers: linked data fields, editor, parameter pool, trigger
// panel and the environment header dialog. Message boxes are answered by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "app/EnvironmentCommands.h"
#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"
#include "settings/ui/EnvironmentHeaderDialog.h"
#include "triggers/TriggerEngine.h"
#include "triggers/TriggerList.h"
#include "triggers/ui/LinkedDataFields.h"
#include "triggers/ui/TriggerEditor.h"
#include "triggers/ui/TriggerPanel.h"
#include "triggers/ui/TriggerParamsPool.h"
#include "ui/BoxAnswer.h"
#include "view/ui/EventGrid.h"

namespace {

void typeText(QWidget* w, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

TriggerRecord dataTrigger(const QString& name, const QString& hex = QStringLiteral("0D0A"), bool active = true) {
  TriggerRecord t;
  t.Name = name;
  t.Active = active;
  t.D1 = true;
  t.Data = hex;
  return t;
}

QString boxText(TMessageForm& box) { return box.findChild<QLabel*>(QStringLiteral("lblText"))->text(); }

}  // namespace

// --- linked data fields ------------------------------------------------------------------

TEST(LinkedDataFieldsTest, TypingInOneFieldUpdatesTheOthers) {
  Texts::setLanguageOffset(Texts::kEnglishOffset);
  LinkedDataFields f;
  typeText(f.asciiField(), QStringLiteral("A^A"));  // caret notation, one key at a time
  EXPECT_EQ(f.hexField()->text(), "41 01");
  EXPECT_EQ(f.binField()->text(), "01000001 00000001");
  EXPECT_EQ(f.asciiField()->text(), "A^A");

  f.setHex({});
  typeText(f.hexField(), QStringLiteral("4a0042"));  // the zero byte goes, upper case
  EXPECT_EQ(f.hexField()->text(), "4A 42");
  EXPECT_EQ(f.asciiField()->text(), "JB");
  EXPECT_EQ(f.hex(), "4A42");

  f.setHex({});
  typeText(f.binField(), QStringLiteral("0100x0001"));
  EXPECT_EQ(f.binField()->text(), "01000001");
  EXPECT_EQ(f.asciiField()->text(), "A");
  EXPECT_EQ(f.hexField()->text(), "41");
}

TEST(LinkedDataFieldsTest, ACharacterTheCodePageCannotShowIsDroppedAndTheCaretStays) {
  LinkedDataFields f;
  typeText(f.asciiField(), QStringLiteral("A\u2713B"));
  EXPECT_EQ(f.hex(), "4142");  // never 00
  EXPECT_EQ(f.asciiField()->text(), "AB");
  f.asciiField()->setCursorPosition(1);
  typeText(f.asciiField(), QStringLiteral("^C"));
  EXPECT_EQ(f.hex(), "410342");
  EXPECT_EQ(f.asciiField()->cursorPosition(), 3);
  f.hexField()->setCursorPosition(2);  // between 41 and 03: a digit typed there
  typeText(f.hexField(), QStringLiteral("7"));
  EXPECT_EQ(f.hexField()->text(), "41 70 34 2");
  EXPECT_EQ(f.hexField()->cursorPosition(), 4);
}

// --- editor ---------------------------------------------------------------------------------

struct EditorTest : ::testing::Test {
  TMessageForm box;
  TFormTrig editor{box};
  void SetUp() override { Texts::setLanguageOffset(Texts::kEnglishOffset); }
  template <class T>
  T* child(const char* name) {
    return editor.findChild<T*>(QString::fromLatin1(name));
  }
};

TEST_F(EditorTest, OkRefusesWhatCanArmNothing) {
  struct Row {
    const char* what;
    std::function<void(TriggerRecord&)> change;
    int text;
  };
  const Row rows[] = {
      {"blank name", [](TriggerRecord& t) { t.Name = "   "; }, 2112},
      {"no data", [](TriggerRecord& t) { t.Data.clear(); }, TriggerProblem::EmptyData},
      {"256 bytes", [](TriggerRecord& t) { t.Data = QString(512, 'A'); }, TriggerProblem::BadPattern},
      {"no edge", [](TriggerRecord& t) { t.Event = TriggerEvent::Signal; }, TriggerProblem::NoSignalEdge},
      {"no error kind", [](TriggerRecord& t) { t.Event = TriggerEvent::Error; }, TriggerProblem::NoErrorKind},
      {"no activity", [](TriggerRecord& t) { t.Type = TriggerType::Inactivity; }, TriggerProblem::NoActivity},
  };
  for (const Row& row : rows) {
    TriggerRecord t = dataTrigger("T");
    row.change(t);
    editor.LoadTrigger(t);
    editor.prepareInsert();
    if (row.text == 2112) child<QLineEdit>("edTrigName")->setText(t.Name);
    editor.show();
    BoxAnswer ok(box, {2});
    editor.btnOKClick();
    EXPECT_TRUE(editor.isVisible()) << row.what;
    EXPECT_TRUE(boxText(box).contains(Texts::text(row.text))) << row.what << ": " << qPrintable(boxText(box));
    editor.hide();
  }
}

TEST_F(EditorTest, InsertAddsSuffixAndOkHandsTheTriggerBack) {
  editor.LoadTrigger(dataTrigger("Frame"));
  editor.prepareInsert();
  editor.prepareInsert();
  EXPECT_EQ(child<QLineEdit>("edTrigName")->text(), "Frame_1_1");
  editor.show();
  editor.btnOKClick();
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(editor.result().Name, "Frame_1_1");
  EXPECT_EQ(editor.result().Data, "0D0A");
  EXPECT_TRUE(editor.result().D1);
}

TEST_F(EditorTest, OverwriteAndCancelQuestions) {
  TriggerRecord t = dataTrigger("Old");
  t.D1 = false;
  t.D2 = true;
  editor.prepareEdit(t);
  EXPECT_TRUE(child<QRadioButton>("rbRxData")->isChecked());
  editor.show();
  child<QLineEdit>("edTrigDescr")->setText("new");
  {
    BoxAnswer cancel(box, {3});  // overwrite? Cancel: stays
    editor.btnOKClick();
  }
  EXPECT_TRUE(editor.isVisible());
  {
    BoxAnswer no(box, {2});  // No: closes without handing anything back
    editor.btnOKClick();
  }
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(editor.result(), TriggerRecord());

  editor.prepareEdit(t);
  editor.show();
  typeText(child<QLineEdit>("edTrigDescr"), "x");
  EXPECT_TRUE(editor.changesMade());
  {
    BoxAnswer cancelThenYesYes(box, {3});  // save the changes? Cancel: stays
    editor.btnCancelClick();
  }
  EXPECT_TRUE(editor.isVisible());
  {
    BoxAnswer yesThenYes(box, {1, 1});  // save? Yes runs OK; overwrite? Yes
    editor.btnCancelClick();
  }
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(editor.result().Description, "x");
  EXPECT_EQ(editor.result().Name, "Old");
}

TEST_F(EditorTest, InactivityBackToStartShowsDataAndSecondsStayInRange) {
  TriggerRecord t = dataTrigger("Idle");
  t.Type = TriggerType::Inactivity;
  t.Event = TriggerEvent::Inactivity;
  t.EventD1 = true;
  editor.prepareEdit(t);
  EXPECT_FALSE(child<QComboBox>("cbTrigEvent")->isVisibleTo(&editor));
  EXPECT_EQ(editor.conditionPage(), TFormTrig::InactivityPage);
  child<QComboBox>("cbTrigRec")->setCurrentIndex(TriggerType::Stop);
  EXPECT_EQ(child<QComboBox>("cbTrigEvent")->currentIndex(), TriggerEvent::Data);
  EXPECT_EQ(editor.conditionPage(), TFormTrig::DataPage);
  EXPECT_EQ(editor.formValues().Event, TriggerEvent::Data);
  auto* seconds = child<QSpinBox>("csInActivityTime");
  seconds->setValue(0);
  EXPECT_EQ(seconds->value(), 1);
  seconds->setValue(70000);
  EXPECT_EQ(seconds->value(), 65535);
}

TEST_F(EditorTest, EveryDataLineChoiceSurvivesAnEdit) {
  for (auto [d1, d2] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
    TriggerRecord t = dataTrigger("Lines");
    t.D1 = d1, t.D2 = d2;
    editor.LoadTrigger(t);
    EXPECT_EQ(editor.formValues().D1, d1);
    EXPECT_EQ(editor.formValues().D2, d2);
  }
}

TEST_F(EditorTest, PoolInsertsAtTheCaretOrAppends) {
  auto* params = child<QLineEdit>("edCommandParams");
  params->setText("ab");
  params->setCursorPosition(1);
  TFormTrigParams* pool = editor.pool();
  pool->selectRow(1);
  EXPECT_EQ(pool->selectedPlaceholder(), "%TRIG_NUM%");
  pool->show();
  pool->btnOKClick();
  EXPECT_EQ(params->text(), "a%TRIG_NUM%b");
  EXPECT_FALSE(pool->isVisible());
  params->end(false);
  pool->selectRow(0);
  pool->btnOKClick();
  EXPECT_EQ(params->text(), "a%TRIG_NUM%b%TIMESTAMP%");
}

// --- panel, in the window -------------------------------------------------------------------

struct PanelTest : ::testing::Test {
  QTemporaryDir dir;
  TMessageForm box;
  GuiMessages messages{box};
  std::unique_ptr<TFormMain> main;
  void SetUp() override {
    QDir().mkpath(dir.path() + "/recordings");
    MainFormOptions o;
    o.userPath = dir.path() + "/";
    o.simulate = true;
    main = std::make_unique<TFormMain>(o, messages);
    main->show();
    runFor(5);
    main->triggerList().setAll({dataTrigger("A"), dataTrigger("B", "42", false), dataTrigger("C")});
    main->triggerEditor().LoadTrigger(dataTrigger("New"));
  }
  void TearDown() override { main->closeWithoutQuestions(); }
  TriggerList& list() { return main->triggerList(); }
  TriggerPanel& panel() { return main->triggerPanel(); }
  QAction* act(const char* name) { return main->action(QString::fromLatin1(name)); }
  QStringList names() {
    QStringList n;
    for (const TriggerRecord& t : list().records()) n << t.Name;
    return n;
  }
};

TEST_F(PanelTest, InsertGoesBeforeTheSelectionAndIsSelected) {
  panel().selectRow(1);
  QTimer::singleShot(0, &main->triggerEditor(), &TFormTrig::btnOKClick);
  act("actTrigInsert")->trigger();
  EXPECT_EQ(names(), QStringList({"A", "New_1", "B", "C"}));
  EXPECT_EQ(panel().selectedRow(), 1);
  EXPECT_EQ(list().at(2).Number, 3);
  EXPECT_TRUE(main->environmentChanged());
  panel().view()->clearSelection();
  QTimer::singleShot(0, &main->triggerEditor(), &TFormTrig::btnOKClick);
  act("actTrigInsert")->trigger();
  EXPECT_EQ(list().count(), 5);
  EXPECT_EQ(panel().selectedRow(), 4);  // appended
}

TEST_F(PanelTest, RemoveAsksMoveKeepsTheSelectionReverseToggles) {
  EXPECT_FALSE(act("actTrigRemove")->isEnabled());
  panel().selectRow(0);
  EXPECT_FALSE(act("actTrigUp")->isEnabled());
  EXPECT_TRUE(act("actTrigDown")->isEnabled());
  act("actTrigDown")->trigger();
  EXPECT_EQ(names(), QStringList({"B", "A", "C"}));
  EXPECT_EQ(panel().selectedRow(), 1);
  act("actTrigDown")->trigger();
  EXPECT_EQ(panel().selectedRow(), 2);
  EXPECT_FALSE(act("actTrigDown")->isEnabled());
  {
    BoxAnswer no(box, {3});
    act("actTrigRemove")->trigger();
  }
  EXPECT_EQ(list().count(), 3);
  {
    BoxAnswer yes(box, {1});
    act("actTrigRemove")->trigger();
  }
  EXPECT_EQ(names(), QStringList({"B", "C"}));
  EXPECT_FALSE(act("actTrigRemove")->isEnabled());
  act("actTrigMarkReverse")->trigger();
  EXPECT_TRUE(list().at(0).Active);
  EXPECT_FALSE(list().at(1).Active);
}

TEST_F(PanelTest, LockedWhileTheRecorderIsLoadedAndFullAt255) {
  panel().selectRow(1);
  main->triggerEngine().setRecorderLoaded(true);
  for (const char* name : {"actTrigInsert", "actTrigRemove", "actTrigEdit", "actTrigUp", "actTrigMarkAll"})
    EXPECT_FALSE(act(name)->isEnabled()) << name;
  EXPECT_FALSE(list().setData(list().index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
  main->triggerEngine().setRecorderLoaded(false);
  EXPECT_TRUE(act("actTrigRemove")->isEnabled());

  list().setAll(std::vector<TriggerRecord>(kMaxTriggers, dataTrigger("T")));
  {
    BoxAnswer ok(box, {2});
    act("actTrigInsert")->trigger();
  }
  EXPECT_EQ(list().count(), kMaxTriggers);
  EXPECT_EQ(boxText(box), Texts::text(9811));
}

TEST_F(PanelTest, CtrlLMovesDownInThePanelAndLoadsElsewhere) {
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
  panel().selectRow(0);
  panel().view()->setFocus();
  QTest::keyClick(panel().view(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(names(), QStringList({"B", "A", "C"}));
  QAction* load = act("actLoadEnv");
  QSignalSpy loads(load, &QAction::triggered);
  main->environmentCommands().setChooser([](bool, const QString&) { return QString(); });  // the user cancels
  main->grid()->setFocus();
  QTest::keyClick(main->grid(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(loads.count(), 1);
  EXPECT_EQ(names(), QStringList({"B", "A", "C"}));
}

// --- header dialog ------------------------------------------------------------------------------

TEST(EnvironmentHeaderTest, CancelAfterAChangeAsksAndRestores) {
  TMessageForm box;
  TFormEnvConf dialog(box);
  dialog.setTexts({"Title"}, {"Firm", "Contact"}, {"one", "two"});
  dialog.show();
  auto* title = dialog.findChild<QLineEdit*>("edGeneral0");
  typeText(title, "X");
  EXPECT_TRUE(dialog.changed());
  {
    BoxAnswer no(box, {3});
    dialog.btnCancelClick();
  }
  EXPECT_TRUE(dialog.isVisible());
  {
    BoxAnswer yes(box, {1});
    dialog.btnCancelClick();
  }
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.general().value(0), "Title");
  EXPECT_EQ(dialog.customer().value(1), "Contact");
  EXPECT_EQ(dialog.description(), QStringList({"one", "two"}));
}

TEST_F(PanelTest, HeaderOkKeepsTheTextsAndChangesTheEnvironment) {
  main->setEnvironmentChanged(false);
  QTimer::singleShot(0, [this] {
    auto& d = main->environmentHeader();
    typeText(d.findChild<QLineEdit*>("edCustomer1"), "Ann");
    d.btnOKClick();
  });
  main->action("actEnvConf")->trigger();
  EXPECT_EQ(main->headerCustomer().value(1), "Ann");
  EXPECT_TRUE(main->environmentChanged());
}

// --- pictures for the README: VORLOG_SHOTS=folder, skipped otherwise ---------------------------

TEST_F(PanelTest, Screenshots) {
  const QString folder = qEnvironmentVariable("VORLOG_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "VORLOG_SHOTS not set";
  auto save = [&](QWidget* w, const char* name) {
    w->show();
    runFor(20);
    EXPECT_TRUE(w->grab().save(folder + "/" + name + ".png")) << name;
  };
  TriggerRecord data = dataTrigger("CR LF on TxD", "0D0A");
  data.Description = "End of a line";
  TriggerRecord signal = dataTrigger("DTR rises");
  signal.Event = TriggerEvent::Signal;
  signal.S1 = Edge::Rises;
  signal.M2 = Edge::Falls;
  signal.Type = TriggerType::Stop;
  TriggerRecord error = dataTrigger("Parity", {}, false);
  error.Event = TriggerEvent::Error;
  error.PE = error.FE = true;
  error.Type = TriggerType::Stop;
  TriggerRecord time = dataTrigger("At noon");
  time.Event = TriggerEvent::Time;
  time.TimeReached = QDateTime(QDate(2026, 12, 24), QTime(12, 0));
  TriggerRecord idle = dataTrigger("Quiet line");
  idle.Type = TriggerType::Inactivity;
  idle.Event = TriggerEvent::Inactivity;
  idle.InActivityTime = 30;
  idle.EventD1 = idle.EventD2 = idle.EventS1 = true;
  idle.PlaySound = true;
  idle.SoundFilePath = "/usr/share/sounds/alarm.wav";
  idle.ExecCommand = true;
  idle.CommandFilePath = "/usr/bin/logger";
  idle.CommandParams = "-t vorlog %TRIG_NAME% %TIMESTAMP%";
  list().setAll({data, signal, error, time, idle});
  list().setSeenAt(1, 1234);
  main->resize(1100, 720);
  panel().selectRow(1);
  save(main->findChild<QWidget*>("pnlAllBottom"), "trigger-panel");

  TFormTrig& e = main->triggerEditor();
  const std::pair<TriggerRecord, const char*> pages[] = {{data, "trigger-editor-data"},
                                                         {signal, "trigger-editor-signal"},
                                                         {error, "trigger-editor-error"},
                                                         {time, "trigger-editor-time"},
                                                         {idle, "trigger-editor-inactivity"}};
  for (const auto& [t, name] : pages) {
    e.prepareEdit(t);
    save(&e, name);
  }
  e.tabs()->setCurrentIndex(TFormTrig::ActionPage);
  save(&e, "trigger-editor-action");
  e.pool()->selectRow(2);
  save(e.pool(), "trigger-pool");
  e.pool()->close();
  e.hide();

  TFormEnvConf& h = main->environmentHeader();
  h.setTexts({"Line test", "A. Engineer", "Vorlog GmbH", "Street 1", "", "Berlin", "10115", "", "Germany"},
             {"Customer AG", "B. Buyer"}, {"Link between PLC and terminal", "9600 8N1"});
  h.setFileName("/home/user/.local/share/Vorlog/Default.ven");
  save(&h, "environment-header");
  h.hide();
}

TEST_F(PanelTest, RecordingWaitsForTheStartTriggerInItsOwnStatusField) {
  list().setAll({dataTrigger("Never", "FEFDFC")});
  main->session().file.setName(dir.filePath("rec.vrd"));
  main->btnRecordClick();
  auto* status = main->findChild<QLabel*>("pnlTriggerStatus");
  EXPECT_EQ(status->text(), Texts::text(2121) + " (1)");
  EXPECT_TRUE(list().locked());
  EXPECT_FALSE(act("actTrigInsert")->isEnabled());
  main->btnStopClick();
  EXPECT_FALSE(list().locked());
  EXPECT_TRUE(status->text().isEmpty());
  EXPECT_TRUE(act("actTrigInsert")->isEnabled());
}
