#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <memory>

#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "app/RecordFileCommands.h"
#include "recording/CaptureSession.h"
#include "recording/Recorder.h"
#include "recording/ui/ConfirmModeDialog.h"
#include "settings/Texts.h"
#include "support/RecordFiles.h"
#include "tools/ui/GotoDialog.h"
#include "tools/ui/TrackedNumber.h"
#include "ui/BoxAnswer.h"

namespace {

using Command = RecordFileCommands::Command;

template <class Pred>
bool waitUntil(Pred done, int ms = 5000) {
  for (int waited = 0; waited < ms && !done(); waited += 5) runFor(5);
  return done();
}

QByteArray contentOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct RecordFileCommandsTest : ::testing::Test {
  QTemporaryDir dir;
  TMessageForm box;
  GuiMessages messages{box};
  std::unique_ptr<TFormMain> main;
  QStringList said;  // the message boxes' texts, each answered with its first button shown
  BoxRecorder answer{box, said};
  QString chosen;  // what the file chooser hands back
  std::vector<std::pair<Command, QString>> asked;
  int modeAnswer = Recorder::Replace;
  std::vector<int> modeAsked;

  QString user() const { return dir.path() + "/"; }
  QString rec(const char* name) const { return user() + "recordings/" + name; }

  void SetUp() override {
    QDir().mkpath(user() + "recordings");
    ASSERT_TRUE(writeRecordFile(rec("rec.vrd"), 40));
    MainFormOptions o;
    o.arguments = {"rec.vrd"};
    o.userPath = user();
    o.simulate = true;
    main = std::make_unique<TFormMain>(o, messages);
    main->show();
    ASSERT_TRUE(waitUntil([this] { return main->startupDone(); }));
    RecordFileCommands& c = main->recordFileCommands();
    c.setChooser([this](Command command, const QString& start) {
      asked.emplace_back(command, start);
      return chosen;
    });
    c.setModeChooser([this](int mode) {
      modeAsked.push_back(mode);
      return modeAnswer;
    });
    main->setEnvironmentChanged(false);
    said.clear();
  }
  void TearDown() override {
    main->closeWithoutQuestions();
    main.reset();
  }
  QString current() const { return main->recordFileCommands().complete(main->recordFileName()); }
  bool run(const char* action) {
    QAction* a = main->action(action);
    if (!a->isEnabled()) return false;
    a->trigger();
    return true;
  }
};

// The file itself under another spelling is no other file: nothing is copied, so the
// recording is never emptied before it is read.
TEST_F(RecordFileCommandsTest, SaveAsOntoTheCurrentFileUnderAnySpellingDoesNothing) {
  const QByteArray before = contentOf(rec("rec.vrd"));
  ASSERT_EQ(::symlink("rec.vrd", QFile::encodeName(rec("link.vrd")).constData()), 0);
  ASSERT_EQ(::link(QFile::encodeName(rec("rec.vrd")).constData(), QFile::encodeName(rec("hard.vrd")).constData()), 0);
  const QString cwd = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(user() + "recordings"));
  for (const QString& name : {rec("rec.vrd"), QString("rec.vrd"), QString("./rec.vrd"), rec("link.vrd"), rec("hard.vrd")}) {
    SCOPED_TRACE(name.toStdString());
    chosen = name;
    ASSERT_TRUE(run("actSaveRecordFile"));
    EXPECT_EQ(contentOf(rec("rec.vrd")), before);
    EXPECT_EQ(current(), rec("rec.vrd"));
    EXPECT_FALSE(main->environmentChanged());
  }
  QDir::setCurrent(cwd);
  EXPECT_TRUE(said.isEmpty()) << said.join('|').toStdString();
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), std::make_pair(Command::SaveAs, rec("rec.vrd")));
}

// A bare name lands in the recordings folder, and the copy is the file shown next.
TEST_F(RecordFileCommandsTest, SaveAsCopiesAndShowsTheCopyFromItsStart) {
  ASSERT_TRUE(writeRecordFile(rec("old.vrd"), 3));
  main->gotoForm().gotoNumber()->setValue(5);
  main->scrollBar()->setValue(20);
  for (const char* name : {"copy.vrd", "old.vrd"}) {
    SCOPED_TRACE(name);
    chosen = name;
    ASSERT_TRUE(run("actSaveRecordFile"));
    EXPECT_EQ(current(), rec(name));
    EXPECT_EQ(contentOf(rec(name)), contentOf(rec("rec.vrd")));
    EXPECT_TRUE(main->environmentChanged());
    EXPECT_EQ(main->scrollBar()->value(), 0);
    EXPECT_EQ(main->gotoForm().gotoNumber()->value(), 39);
  }
  EXPECT_TRUE(said.isEmpty()) << said.join('|').toStdString();
}

// Each failure is said with both names and the reason; the recording shown stays current.
TEST_F(RecordFileCommandsTest, SaveAsThatCannotBeDoneKeepsTheCurrentFile) {
  QDir().mkpath(rec("folder.vrd"));
  struct Row {
    const char* name;
    QString target;
    QString says;
  } const rows[] = {
      {"folder", rec("folder.vrd"), Texts::text(9913)},
      {"missing folder", user() + "nowhere/new.vrd", QString::fromLocal8Bit(strerror(ENOENT))},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    said.clear();
    chosen = r.target;
    ASSERT_TRUE(run("actSaveRecordFile"));
    ASSERT_TRUE(waitUntil([this] { return !said.isEmpty(); }));
    EXPECT_EQ(said.front(), Texts::text(9912).arg(rec("rec.vrd"), r.target, r.says));
    EXPECT_EQ(current(), rec("rec.vrd"));
    EXPECT_FALSE(main->environmentChanged());
  }
  EXPECT_TRUE(QFileInfo(rec("folder.vrd")).isDir());
  EXPECT_FALSE(QFileInfo::exists(user() + "nowhere"));

  // An empty recording has nothing to save, and no file is made for it.
  ASSERT_TRUE(writeRecordFile(rec("empty.vrd"), 0));
  chosen = rec("empty.vrd");
  ASSERT_TRUE(run("actOpenRecordFile"));
  said.clear();
  chosen = "saved.vrd";
  ASSERT_TRUE(run("actSaveRecordFile"));
  EXPECT_EQ(said, QStringList{Texts::text(9911).arg(rec("empty.vrd"))});
  EXPECT_FALSE(QFileInfo::exists(rec("saved.vrd")));
  EXPECT_EQ(current(), rec("empty.vrd"));
}

// New asks about the records already in a file, and only then; its answer is the
// recorder's mode, Cancel keeps everything as it was.
TEST_F(RecordFileCommandsTest, NewAsksForTheSavingModeOnlyWhenTheFileHoldsRecords) {
  ASSERT_TRUE(writeRecordFile(rec("empty.vrd"), 0));
  ASSERT_TRUE(writeRecordFile(rec("full.vrd"), 5));
  struct Row {
    const char* name;
    int answer;
    bool asks, shown, replaceDown;
  } const rows[] = {
      {"fresh.vrd", Recorder::Replace, false, true, false},
      {"empty.vrd", Recorder::Replace, false, true, false},
      {"full.vrd", Recorder::Abort, true, false, false},
      {"full.vrd", Recorder::Replace, true, true, true},
      {"full.vrd", Recorder::Append, true, true, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.name) + " " + std::to_string(r.answer));
    main->recordFileCommands().ShowChangedRecordFile(rec("rec.vrd"));
    main->setEnvironmentChanged(false);
    modeAsked.clear();
    modeAnswer = r.answer;
    chosen = r.name;
    ASSERT_TRUE(run("actNewRecordFile"));
    EXPECT_EQ(modeAsked.size(), r.asks ? 1u : 0u);
    EXPECT_EQ(current(), r.shown ? rec(r.name) : rec("rec.vrd"));
    EXPECT_EQ(main->environmentChanged(), r.shown);
    if (r.asks && r.shown) {
      EXPECT_EQ(main->recorder().replaceDown(), r.replaceDown);
      EXPECT_EQ(main->recorder().appendDown(), !r.replaceDown);
      EXPECT_EQ(main->recorder().recordMode(), r.answer);
    }
  }
  EXPECT_EQ(QFileInfo(rec("fresh.vrd")).size(), 0);
  EXPECT_EQ(contentOf(rec("full.vrd")).size(), 5 * 80);
  EXPECT_EQ(asked.back().first, Command::New);
  EXPECT_TRUE(said.isEmpty()) << said.join('|').toStdString();
}

// The dialog itself: preset from the mode, OK hands back the choice, Cancel 0.
TEST_F(RecordFileCommandsTest, ConfirmationDialogHandsBackTheChoice) {
  TFormConfirmMode& d = main->recordFileCommands().confirmDialog();
  EXPECT_EQ(d.windowTitle(), Texts::text(8450));
  struct Row {
    int preset;
    const char* press;
    bool replace;
    int mode;
  } const rows[] = {{2, "btnOk", true, 2}, {1, "btnOk", false, 1}, {0, "btnOk", false, 1},
                    {2, "btnCancel", true, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.preset);
    QTimer::singleShot(20, &d, [&] {
      EXPECT_EQ(d.replaceButton()->isChecked(), r.replace);
      d.findChild<QPushButton*>(r.press)->click();
    });
    EXPECT_EQ(d.ask(r.preset).mode, r.mode);
  }
}

// Open shows the file from its start; a file that is there but cannot be opened is
// neither emptied nor taken, the one shown before stays.
TEST_F(RecordFileCommandsTest, OpenShowsAFileOrKeepsThePreviousOne) {
  ASSERT_TRUE(writeRecordFile(rec("other.vrd"), 12));
  QDir().mkpath(rec("folder.vrd"));
  chosen = rec("other.vrd");
  ASSERT_TRUE(run("actOpenRecordFile"));
  EXPECT_EQ(current(), rec("other.vrd"));
  EXPECT_EQ(main->scrollBar()->maximum(), 12);
  EXPECT_EQ(main->gotoForm().gotoNumber()->maximum(), 11);
  EXPECT_TRUE(main->environmentChanged());
  EXPECT_EQ(asked.back(), std::make_pair(Command::Open, rec("rec.vrd")));

  chosen = rec("folder.vrd");
  ASSERT_TRUE(run("actOpenRecordFile"));
  ASSERT_TRUE(waitUntil([this] { return !said.isEmpty(); }));
  EXPECT_EQ(current(), rec("other.vrd"));
  EXPECT_TRUE(main->session().file.isOpen(RecordFile::Handle::View));
  EXPECT_TRUE(said.front().startsWith(Texts::text(9910).section("%1", 0, 0)));
  EXPECT_TRUE(said.front().contains(rec("folder.vrd")));
  EXPECT_TRUE(QFileInfo(rec("folder.vrd")).isDir());
}

// While a recording holds the file none of the three runs, and no chooser opens.
TEST_F(RecordFileCommandsTest, CommandsWaitForTheRecordingToEnd) {
  main->btnRecordClick();
  ASSERT_TRUE(main->recorder().running());
  chosen = "x.vrd";
  RecordFileCommands& c = main->recordFileCommands();
  EXPECT_FALSE(run("actNewRecordFile") || run("actOpenRecordFile") || run("actSaveRecordFile"));
  EXPECT_FALSE(c.btnNewRecordFileClick() || c.btnOpenRecordFileClick() || c.btnSaveRecordFileClick());
  EXPECT_TRUE(asked.empty());
  main->btnStopClick();
  for (const char* a : {"actNewRecordFile", "actOpenRecordFile", "actSaveRecordFile"})
    EXPECT_TRUE(main->action(a)->isEnabled()) << a;
}

// A long copy runs beside the window with a bar and Cancel; Cancel leaves no part of it.
TEST_F(RecordFileCommandsTest, SaveAsOfABigRecordingCanBeCancelled) {
  {
    QFile big(rec("big.vrd"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(4) << 30));  // sparse: no disk needed to read it
  }
  chosen = rec("big.vrd");
  ASSERT_TRUE(run("actOpenRecordFile"));
  bool sawWindow = false;
  QTimer press;
  press.setInterval(5);
  QObject::connect(&press, &QTimer::timeout, [&] {
    auto* window = main->findChild<QDialog*>("FormSaveProgress");
    if (!window || !window->isVisible()) return;
    sawWindow = true;
    window->findChild<QPushButton*>("btnCancel")->click();
  });
  press.start();
  said.clear();
  chosen = "copy.vrd";
  ASSERT_TRUE(run("actSaveRecordFile"));
  press.stop();
  if (!sawWindow) GTEST_SKIP() << "the copy was done before its window could appear";
  EXPECT_EQ(current(), rec("big.vrd"));
  EXPECT_TRUE(said.isEmpty()) << said.join('|').toStdString();
  EXPECT_EQ(QDir(user() + "recordings").entryList({"*copy*"}, QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(RecordFileCommandsTest, Screenshots) {
  const QString folder = qEnvironmentVariable("VORLOG_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "VORLOG_SHOTS not set";
  TFormConfirmMode& d = main->recordFileCommands().confirmDialog();
  d.InitialLoads();
  d.preset(2);
  d.show();
  runFor(30);
  EXPECT_TRUE(d.grab().save(folder + "/confirm-record-mode.png"));
  d.hide();
}

}  // namespace
