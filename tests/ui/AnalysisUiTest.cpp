// The goto/search and export windows on a record file written by the test, driven
// through the real main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/MainForm.h"
#include "app/MessageForm.h"
#include "capture/Clock.h"
#include "capture/SerialPort.h"
#include "recording/CaptureSession.h"
#include "settings/Texts.h"
#include "support/RecordFiles.h"
#include "tools/RecordReader.h"
#include "tools/ui/ExportDialog.h"
#include "tools/ui/GotoDialog.h"
#include "tools/ui/TrackedNumber.h"
#include "triggers/ui/LinkedDataFields.h"
#include "ui/BoxAnswer.h"
#include "view/ui/EventGrid.h"
#include "view/ui/EventView.h"

namespace {

constexpr uint32_t kRecords = 300;  // events 1 .. 299

// D1 "A A B" with a D2 byte between the last two; trigger 7 detected at 120; DTR high from 200.
void shape(EventRecord& r) {
  switch (r.eventNumber) {
    case 50:
    case 51:
      r.d1Byte = 'A';
      r.d1Flag = 1;
      break;
    case 52:
      r.d2Byte = 'X';
      r.d2Flag = 1;
      break;
    case 53:
      r.d1Byte = 'B';
      r.d1Flag = 1;
      break;
    case 120:
      r.triggerNumber = 7;
      r.markCode = Mark::TriggerDetected;
      break;
    default:
      break;
  }
  if (r.eventNumber >= 200) r.signalBytes[SigS1Dtr] = 1;
}

template <class Pred>
bool waitFor(Pred done, int ms = 5000) {
  for (int waited = 0; waited < ms && !done(); waited += 5) runFor(5);
  return done();
}

// A search that only ends when it is told to stop.
Search::Result untilStopped(RecordReader&, const Search::Query&, int64_t, Search::Direction, WorkControl* c) {
  while (!c->stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return {Search::Outcome::Stopped, -1};
}

struct AnalysisTest : ::testing::Test {
  QTemporaryDir dir;
  TMessageForm box;
  GuiMessages messages{box};
  std::unique_ptr<TFormMain> main;
  QStringList said;  // the texts of the message boxes, each answered with its first button
  BoxRecorder answer{box, said};

  QString user() const { return dir.path() + "/"; }
  QString recordPath() const { return user() + "recordings/rec.vrd"; }

  void SetUp() override {
    QDir().mkpath(user() + "recordings");
    ASSERT_TRUE(writeRecordFile(recordPath(), kRecords, shape));
    start();
  }
  void start() {
    MainFormOptions o;
    o.arguments = {"rec.vrd"};
    o.userPath = user();
    o.simulate = true;
    main = std::make_unique<TFormMain>(o, messages);
    main->resize(1100, 720);
    main->show();
    ASSERT_TRUE(waitFor([this] { return main->startupDone(); }));
    said.clear();
  }
  void TearDown() override {
    main->closeWithoutQuestions();
    main.reset();
  }
  TFormGoto& go() { return main->gotoForm(); }
  TFormExport& ex() { return main->exportForm(); }
  int64_t scroll() { return main->eventView().scrollPosition(); }
  void searchAndWait(Search::Direction d = Search::Direction::Forward) {
    go().Search(d);
    ASSERT_TRUE(waitFor([this] { return !go().searching(); }));
  }
};

// --- goto, search and measure --------------------------------------------------------------

TEST_F(AnalysisTest, CommandsOpenTheirPagesWithTheRangesOfTheFile) {
  const std::pair<const char*, int> commands[] = {{"actSearchEvent", TFormGoto::SearchPage},
                                                  {"actDeltaTimeMeasurement", TFormGoto::MeasurePage},
                                                  {"actGotoTP", TFormGoto::TriggerPage},
                                                  {"actGotoMP", TFormGoto::EventPage}};
  for (const auto& [name, page] : commands) {
    SCOPED_TRACE(name);
    QAction* a = main->action(name);
    ASSERT_TRUE(a->isEnabled());
    a->trigger();
    EXPECT_TRUE(go().isVisible());
    EXPECT_EQ(go().pages()->currentIndex(), page);
    // Only the measurement has no search.
    EXPECT_EQ(go().forwardButton()->isEnabled(), page != TFormGoto::MeasurePage);
    EXPECT_FALSE(go().stopButton()->isEnabled());
  }
  EXPECT_EQ(go().gotoNumber()->value(), kRecords - 1);
  EXPECT_EQ(go().gotoNumber()->maximum(), kRecords - 1);
  EXPECT_EQ(go().triggerNumber()->value(), 1000);
  EXPECT_EQ(go().measureRange()->from(), 1);
  EXPECT_EQ(go().measureRange()->to(), kRecords - 1);
  // Opening again keeps what the user chose while the file keeps its length.
  go().gotoNumber()->setValue(12);
  main->action("actGotoMP")->trigger();
  EXPECT_EQ(go().gotoNumber()->value(), 12);

  // Placement and pages go to the configuration.
  go().searchKinds()->setCurrentIndex(TFormGoto::ErrorSearch);
  go().move(140, 160);
  ASSERT_TRUE(main->SaveConfiguration());
  Configuration saved;
  ASSERT_TRUE(saved.load(user() + "Vorlog.ini"));
  EXPECT_EQ(saved.searchPageIndex, int(TFormGoto::EventPage));
  EXPECT_EQ(saved.controlSearchPageIndex, int(TFormGoto::ErrorSearch));
  EXPECT_TRUE(saved.gotoDialog.visible);
  EXPECT_EQ(saved.gotoDialog.left, go().x());
  EXPECT_FALSE(saved.exportDialog.visible);

  // The next start opens it again, on the same pages.
  main->closeWithoutQuestions();
  main.reset();
  start();
  EXPECT_TRUE(go().isVisible());
  EXPECT_EQ(go().pages()->currentIndex(), int(TFormGoto::EventPage));
  EXPECT_EQ(go().searchKinds()->currentIndex(), int(TFormGoto::ErrorSearch));
  EXPECT_FALSE(ex().isVisible());
  go().close();
  EXPECT_FALSE(go().isVisible());
}

TEST_F(AnalysisTest, MeasurementRangeKeepsFromAtOrBelowTo) {
  EventRange& r = *go().measureRange();
  enum Op { From, To, Reset, Records };
  struct Step {
    Op op;
    int64_t value;
    int64_t from, to;
  } const steps[] = {
      {From, 150, 150, 299},                         // below "to": nothing else moves
      {To, 100, 100, 100},                           // "to" below "from" pulls "from" down
      {From, 200, 200, 200},                         // "from" above "to" pulls "to" up
      {To, 0, 1, 1},                                 // 0 becomes 1
      {From, 5000, 299, 299},                        // beyond the last event: the last one
      {Reset, 0, 1, 299},     {Records, 51, 1, 50},  // another file: first and last event again
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << int(s.op) << " " << s.value);
    switch (s.op) {
      case From:
        r.setFrom(s.value);
        break;
      case To:
        r.setTo(s.value);
        break;
      case Reset:
        go().findChild<QPushButton*>("btnMeasReset")->click();
        break;
      case Records:
        go().setRecordCount(s.value);
        break;
    }
    EXPECT_EQ(r.from(), s.from);
    EXPECT_EQ(r.to(), s.to);
  }
  EXPECT_EQ(go().gotoNumber()->value(), 50);
  EXPECT_EQ(go().triggerNumber()->value(), 1000);
}

// Every search kind hands its conditions to the engine and shows what it found as the
// first, selected row of the grid.
TEST_F(AnalysisTest, SearchHandsItsConditionsOverAndShowsTheFoundEvent) {
  Search::Query given;
  int64_t givenSelected = -1;
  Search::Direction givenDirection = Search::Direction::Forward;
  int64_t answer = 0;
  go().setFinder(
      [&](RecordReader& reader, const Search::Query& q, int64_t selected, Search::Direction d, WorkControl*) {
        EXPECT_EQ(reader.recordCount(), kRecords);
        given = q;
        givenSelected = selected;
        givenDirection = d;
        return Search::Result{Search::Outcome::Found, answer};
      });
  const QDate date(2026, 3, 14);
  const QTime time(12, 34, 56, 789);
  struct Row {
    const char* name;
    std::function<void()> set;
    std::function<void(const Search::Query&)> check;
    Search::Direction direction;
    int64_t found;
  } const rows[] = {
      {"signal",
       [&] {
         go().searchKinds()->setCurrentIndex(TFormGoto::SignalSearch);
         go().signalButton(SigS1Dtr, 2)->click();
         go().signalButton(SigM2Cts, 1)->click();
       },
       [](const Search::Query& q) {
         ASSERT_TRUE(std::holds_alternative<Search::SignalQuery>(q));
         const std::array<uint8_t, SignalCount> codes{2, 0, 0, 1, 0, 0};
         EXPECT_EQ(std::get<Search::SignalQuery>(q).codes, codes);
       },
       Search::Direction::Forward, 200},
      {"error",
       [&] {
         go().searchKinds()->setCurrentIndex(TFormGoto::ErrorSearch);
         go().errorButton(1, 2)->click();
         go().errorButton(2, 1)->click();
       },
       [](const Search::Query& q) {
         ASSERT_TRUE(std::holds_alternative<Search::ErrorQuery>(q));
         const std::array<uint8_t, 3> codes{0, 2, 1};
         EXPECT_EQ(std::get<Search::ErrorQuery>(q).codes, codes);
       },
       Search::Direction::Reverse, 17},
      {"time: whole seconds",
       [&] {
         go().searchKinds()->setCurrentIndex(TFormGoto::TimeSearch);
         go().datePicker()->setDate(date);
         go().timePicker()->setTime(time);
       },
       [&](const Search::Query& q) {
         ASSERT_TRUE(std::holds_alternative<Search::TimeQuery>(q));
         const double expected =
             oleDateFromUnixLocal(double(QDateTime(date, QTime(12, 34, 56), Qt::UTC).toSecsSinceEpoch()));
         EXPECT_DOUBLE_EQ(std::get<Search::TimeQuery>(q).target, expected);
       },
       Search::Direction::Forward, 250},
      {"trigger",
       [&] {
         go().pages()->setCurrentIndex(TFormGoto::TriggerPage);
         go().triggerNumber()->setValue(7);
       },
       [](const Search::Query& q) {
         ASSERT_TRUE(std::holds_alternative<Search::TriggerQuery>(q));
         EXPECT_EQ(std::get<Search::TriggerQuery>(q).number, 7);
       },
       Search::Direction::Forward, 120},
  };
  main->action("actSearchEvent")->trigger();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int64_t selectedBefore = main->eventView().selectedEvent();
    go().pages()->setCurrentIndex(TFormGoto::SearchPage);
    row.set();
    answer = row.found;
    searchAndWait(row.direction);
    row.check(given);
    EXPECT_EQ(givenSelected, selectedBefore);
    EXPECT_EQ(givenDirection, row.direction);
    EXPECT_EQ(scroll(), row.found - 1);
    EXPECT_EQ(main->grid()->selectedRow(), 1);
    EXPECT_EQ(main->eventView().selectedEvent(), row.found);
    EXPECT_TRUE(said.isEmpty()) << said.join("|").toStdString();
  }
}

TEST_F(AnalysisTest, GotoEventMovesTheViewAndReverseGoesToTheStart) {
  main->action("actGotoMP")->trigger();
  go().gotoNumber()->setValue(40);
  go().Search(Search::Direction::Forward);
  EXPECT_EQ(scroll(), 39);
  EXPECT_GT(go().progress()->value(), 0);
  go().Search(Search::Direction::Reverse);
  EXPECT_EQ(scroll(), 0);
}

TEST_F(AnalysisTest, StopEndsTheSearchWithoutMessageAndTheViewStays) {
  main->eventView().showEventSelected(10);
  go().setFinder(&untilStopped);
  main->action("actGotoTP")->trigger();
  go().Search(Search::Direction::Forward);
  ASSERT_TRUE(go().searching());
  EXPECT_TRUE(go().stopButton()->isEnabled());
  EXPECT_FALSE(go().forwardButton()->isEnabled());
  EXPECT_FALSE(go().pages()->tabBar()->isEnabled());  // the page cannot change under it
  runFor(30);                                         // the window goes on meanwhile
  go().stopButton()->click();
  ASSERT_TRUE(waitFor([this] { return !go().searching(); }));
  EXPECT_TRUE(said.isEmpty());
  EXPECT_EQ(scroll(), 9);
  EXPECT_EQ(go().progress()->value(), 0);
  EXPECT_TRUE(go().forwardButton()->isEnabled());
  EXPECT_TRUE(go().pages()->tabBar()->isEnabled());
}

TEST_F(AnalysisTest, DataSearchWithoutALineSaysSoAndDoesNotScan) {
  int scans = 0;
  go().setFinder([&](RecordReader&, const Search::Query&, int64_t, Search::Direction, WorkControl*) {
    ++scans;
    return Search::Result{Search::Outcome::Found, 3};
  });
  main->eventView().showEventSelected(20);
  main->action("actSearchEvent")->trigger();
  go().searchKinds()->setCurrentIndex(TFormGoto::DataSearch);
  go().dataFields()->setHex("4142");
  go().d1()->setChecked(false);
  go().d2()->setChecked(false);
  go().forwardButton()->click();
  ASSERT_TRUE(waitFor([this] { return !said.isEmpty(); }));
  EXPECT_EQ(said, QStringList{Texts::text(2204)});
  EXPECT_EQ(scans, 0);
  EXPECT_FALSE(go().searching());
  EXPECT_EQ(scroll(), 19);
}

// A recording start or another record file stops a running search before the file changes.
TEST_F(AnalysisTest, RecordingOrAnotherFileStopsARunningSearch) {
  const std::pair<const char*, std::function<void()>> interruptions[] = {
      {"recording starts", [this] { main->btnRecordClick(); }},
      {"another record file", [this] { main->useRecordFile(user() + "recordings/other.vrd"); }},
  };
  go().setFinder(&untilStopped);
  main->action("actGotoTP")->trigger();
  for (const auto& [name, interrupt] : interruptions) {
    SCOPED_TRACE(name);
    go().Search(Search::Direction::Forward);
    ASSERT_TRUE(go().searching());
    interrupt();
    EXPECT_FALSE(go().searching());
    EXPECT_TRUE(said.isEmpty());
    if (main->recorder().running()) {
      // While recording no search starts; afterwards it can again.
      EXPECT_FALSE(go().forwardButton()->isEnabled());
      go().Search(Search::Direction::Forward);
      EXPECT_FALSE(go().searching());
      main->btnStopClick();
      EXPECT_TRUE(go().forwardButton()->isEnabled());
    }
  }
}

// --- export ---------------------------------------------------------------------------------

TEST_F(AnalysisTest, ExportFormatEnablesWhatItUses) {
  struct Row {
    Export::Format format;
    bool csv, dataLines, capture;
    const char* suffix;
    int filter;
  } const rows[] = {
      {Export::Format::Raw, false, true, false, "dat", 8585},
      {Export::Format::Csv, true, true, false, "csv", 8581},
      {Export::Format::Pcapng, false, false, true, "pcapng", 9771},
  };
  main->action("actExport")->trigger();
  ASSERT_TRUE(ex().isVisible());
  EXPECT_EQ(ex().formatList()->count(), 3);
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.format));
    ex().formatList()->setCurrentIndex(int(r.format));
    for (const char* name : {"cbEventS1", "cbEventM3", "cbEventPFL", "cbDataHEX", "cbDataBIN", "cbColumnHeader",
                             "cbEventPrefix", "cbEventMPNo", "cbEventTimestamp", "cbDescription"})
      EXPECT_EQ(ex().check(name)->isEnabled(), r.csv) << name;
    EXPECT_EQ(ex().separatorButton(0)->isEnabled(), r.csv);
    EXPECT_EQ(ex().quoteList()->isEnabled(), r.csv);
    EXPECT_EQ(ex().check("cbEventD1")->isEnabled(), r.dataLines);
    EXPECT_EQ(ex().gapField()->isEnabled(), r.capture);
    const TFormExport::SaveRequest s = ex().saveRequest();
    EXPECT_EQ(s.suffix, r.suffix);
    EXPECT_EQ(s.filter, Texts::text(r.filter));
    EXPECT_EQ(s.defaultName, Texts::text(8580) + "." + r.suffix);
    EXPECT_EQ(QDir(s.folder), QDir(user() + "recordings"));
  }
}

TEST_F(AnalysisTest, ExportOptionsComeFromTheDialogAndTheView) {
  main->action("actExport")->trigger();
  // The defaults: every column, semicolon, double quote, CSV, all events.
  Export::Options o = ex().options();
  EXPECT_EQ(o.format, Export::Format::Csv);
  EXPECT_TRUE(o.d1 && o.d2 && o.errors && o.hex && o.dec && o.oct && o.bin && o.header && o.mark && o.eventNumber &&
              o.timeStamp && o.description);
  EXPECT_EQ(o.separator, ';');
  EXPECT_EQ(o.quote, '"');
  EXPECT_EQ(o.from, 0);
  EXPECT_EQ(o.to, 0);
  EXPECT_FALSE(ex().range()->from() != 1 || ex().range()->to() != kRecords - 1);

  main->eventView().chooseTime(CellText::TimeMode::Relative);
  main->btnSwitchPinClick();
  ex().check("cbEventM2")->setChecked(false);
  ex().check("cbDataOCT")->setChecked(false);
  ex().check("cbDescription")->setChecked(false);
  ex().check("cbEventD2")->setChecked(false);
  ex().separatorButton(2)->click();
  ex().quoteList()->setCurrentIndex(2);  // {none}
  ex().rangeButton()->click();
  ex().range()->setTo(9);
  ex().range()->setFrom(5);
  o = ex().options();
  EXPECT_FALSE(o.signalLines[SigM2Cts]);
  EXPECT_TRUE(o.signalLines[SigM5Dcd]);
  EXPECT_FALSE(o.oct);
  EXPECT_FALSE(o.description);
  EXPECT_FALSE(o.d2);
  EXPECT_EQ(o.separator, '\t');
  EXPECT_EQ(o.quote, 0);
  EXPECT_EQ(o.from, 5);
  EXPECT_EQ(o.to, 9);
  EXPECT_EQ(o.timeMode, CellText::TimeMode::Relative);
  EXPECT_EQ(o.pinNaming, 1);
  ex().quoteList()->setCurrentIndex(1);
  EXPECT_EQ(ex().options().quote, '\'');

  // A capture takes both directions, the gap and the port panel's line settings.
  ex().formatList()->setCurrentIndex(int(Export::Format::Pcapng));
  ex().gapField()->setValue(2500);
  o = ex().options();
  EXPECT_TRUE(o.d1 && o.d2);
  EXPECT_EQ(o.gapMicros, 2500);
  EXPECT_EQ(o.line, main->session().comA.settings());

  // "All" again: the whole file.
  ex().allButton()->click();
  EXPECT_EQ(ex().options().from, 0);
  EXPECT_EQ(ex().range()->to(), kRecords - 1);
}

TEST_F(AnalysisTest, CancelledFileChoiceWritesNothingAndKeepsTheDialog) {
  int asked = 0;
  ex().setChooser([&](const TFormExport::SaveRequest&) {
    ++asked;
    return QString();
  });
  main->action("actExport")->trigger();
  ex().exportButton()->click();
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(ex().exporting());
  EXPECT_FALSE(ex().stopButton()->isEnabled());  // nothing to stop
  EXPECT_TRUE(ex().isVisible());
  EXPECT_TRUE(said.isEmpty());
  EXPECT_EQ(QDir(user() + "recordings").entryList(QDir::Files), QStringList{"rec.vrd"});
}

// Done closes the dialog; a stop says how many events were written; a failure says why
// and keeps the dialog for another try.
TEST_F(AnalysisTest, ExportEndsAsItsJobEnded) {
  struct Row {
    Export::Status status;
    bool waitForStop;
    bool staysOpen;
    QString says;
  } const rows[] = {
      {Export::Status::Done, false, false, {}},
      {Export::Status::Stopped, true, false, Texts::text(9776).arg(41).arg("/tmp/out.csv")},
      {Export::Status::Failed, false, true, "disk full"},
  };
  ex().setChooser([](const TFormExport::SaveRequest&) { return QStringLiteral("/tmp/out.csv"); });
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.status));
    Export::Options given;
    ex().setRunner([&](RecordReader&, const QString& target, const Export::Options& o, WorkControl* c) {
      EXPECT_EQ(target, "/tmp/out.csv");
      given = o;
      while (r.waitForStop && !c->stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      Export::Result result;
      result.status = r.status;
      result.events = 41;
      result.message = r.status == Export::Status::Failed ? QStringLiteral("disk full") : QString();
      return result;
    });
    said.clear();
    main->action("actExport")->trigger();
    ex().exportButton()->click();
    if (r.waitForStop) {
      ASSERT_TRUE(ex().exporting());
      EXPECT_TRUE(ex().stopButton()->isEnabled());
      EXPECT_FALSE(ex().exportButton()->isEnabled());
      ex().stopButton()->click();
    }
    ASSERT_TRUE(waitFor([this] { return !ex().exporting(); }));
    if (!r.says.isEmpty()) {
      ASSERT_TRUE(waitFor([this] { return !said.isEmpty(); }));
    }
    runFor(10);
    EXPECT_EQ(ex().isVisible(), r.staysOpen);
    EXPECT_EQ(said, r.says.isEmpty() ? QStringList{} : QStringList{r.says});
    EXPECT_EQ(given.format, Export::Format::Csv);
    EXPECT_TRUE(ex().exportButton()->isEnabled());
  }
}

}  // namespace

namespace {

// With the real engines: a sequence found, a trigger that is not there, a measurement.
TEST_F(AnalysisTest, ScenarioFindMissAndMeasureOnTheRecordFile) {
  main->action("actSearchEvent")->trigger();
  go().searchKinds()->setCurrentIndex(TFormGoto::DataSearch);
  go().dataFields()->setHex("41 42");
  searchAndWait();
  // "A A B": the sequence starts at the second A, the D2 byte between does not break it.
  EXPECT_EQ(main->eventView().selectedEvent(), 51);
  EXPECT_EQ(scroll(), 50);
  EXPECT_EQ(main->grid()->selectedRow(), 1);
  EXPECT_TRUE(said.isEmpty());

  // A trigger number that no event carries: the engine's words, and the view stays.
  main->action("actGotoTP")->trigger();
  go().triggerNumber()->setValue(9);
  searchAndWait();
  EXPECT_EQ(said, QStringList{Texts::text(2123)});
  EXPECT_EQ(scroll(), 50);  // the view stays where it was
  said.clear();
  go().triggerNumber()->setValue(7);
  searchAndWait();
  EXPECT_EQ(main->eventView().selectedEvent(), 120);

  main->action("actDeltaTimeMeasurement")->trigger();
  go().measureRange()->setTo(3);
  go().measureRange()->setFrom(1);
  EXPECT_EQ(go().measureField(2)->text(), "0" + Texts::text(4242) + "  00:00:02,000000");
  EXPECT_EQ(go().measureField(5)->text(), "2");
  go().measureRange()->setTo(go().measureRange()->from());
  EXPECT_EQ(go().measureField(2)->text(), "0" + Texts::text(4242) + "  00:00:00,000000");
  EXPECT_TRUE(said.isEmpty());
  // A record file cut short behind the window's back: the reason, no figures of before.
  QFile::resize(recordPath(), 80 * 2);
  go().measureRange()->setTo(3);
  EXPECT_TRUE(go().measureField(2)->text().contains("3")) << go().measureField(2)->text().toStdString();
  EXPECT_TRUE(go().measureField(5)->text().isEmpty());
}

// With the real export: events 50 to 53 in each format, written where the user chose.
TEST_F(AnalysisTest, ScenarioExportARangeInEveryFormat) {
  struct Row {
    Export::Format format;
    const char* file;
    std::function<void(const QByteArray&)> check;
  } const rows[] = {
      {Export::Format::Raw, "out.dat",
       [](const QByteArray& b) { EXPECT_EQ(b, QByteArray("AAXB")); }},
      {Export::Format::Csv, "out.csv",
       [](const QByteArray& b) {
         EXPECT_EQ(b.count("\r\n"), 5);  // the title line and four events
         EXPECT_TRUE(b.startsWith("\"Mark/Trigger\";")) << b.left(40).toStdString();
       }},
      {Export::Format::Pcapng, "out.pcapng",
       [](const QByteArray& b) { EXPECT_TRUE(b.startsWith(QByteArray::fromHex("0a0d0d0a"))); }},
  };
  QString target;
  ex().setChooser([&](const TFormExport::SaveRequest&) { return target; });
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    target = dir.filePath(r.file);
    main->action("actExport")->trigger();
    ex().formatList()->setCurrentIndex(int(r.format));
    ex().rangeButton()->click();
    ex().range()->setTo(53);
    ex().range()->setFrom(50);
    ex().exportButton()->click();
    ASSERT_TRUE(waitFor([this] { return !ex().exporting(); }));
    EXPECT_EQ(ex().lastResult().status, Export::Status::Done) << ex().lastResult().message.toStdString();
    EXPECT_EQ(ex().lastResult().firstEvent, 50);
    EXPECT_EQ(ex().lastResult().lastEvent, 53);
    EXPECT_FALSE(ex().isVisible());
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    r.check(f.readAll());
  }
  EXPECT_TRUE(said.isEmpty()) << said.join("|").toStdString();
}

}  // namespace

namespace {

// VORLOG_SHOTS=folder: the goto pages, a found sequence in the grid and the export dialog.
TEST_F(AnalysisTest, Screenshots) {
  const QString folder = qEnvironmentVariable("VORLOG_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "VORLOG_SHOTS not set";
  auto save = [&](QWidget* w, const char* name) {
    w->show();
    runFor(30);
    EXPECT_TRUE(w->grab().save(folder + "/" + name + ".png")) << name;
  };
  main->action("actSearchEvent")->trigger();
  go().dataFields()->setHex("41 42");
  go().searchKinds()->setCurrentIndex(TFormGoto::SignalSearch);
  go().signalButton(SigS1Dtr, 2)->click();
  go().signalButton(SigM2Cts, 1)->click();
  save(&go(), "goto-search-signal");
  go().searchKinds()->setCurrentIndex(TFormGoto::ErrorSearch);
  go().errorButton(0, 2)->click();
  save(&go(), "goto-search-error");
  go().searchKinds()->setCurrentIndex(TFormGoto::TimeSearch);
  go().datePicker()->setDate(QDate(2026, 12, 8));
  go().timePicker()->setTime(QTime(14, 30, 15));
  save(&go(), "goto-search-time");
  go().searchKinds()->setCurrentIndex(TFormGoto::DataSearch);
  save(&go(), "goto-search-data");
  searchAndWait();
  main->setBottomPanelHeight(150);
  save(main.get(), "goto-found-in-grid");

  main->action("actDeltaTimeMeasurement")->trigger();
  go().measureRange()->setTo(53);
  go().measureRange()->setFrom(50);
  save(&go(), "goto-measure");
  main->action("actGotoTP")->trigger();
  go().triggerNumber()->setValue(7);
  save(&go(), "goto-trigger");
  main->action("actGotoMP")->trigger();
  go().gotoNumber()->setValue(120);
  save(&go(), "goto-event");
  go().close();

  main->action("actExport")->trigger();
  ex().rangeButton()->click();
  ex().range()->setFrom(50);
  ex().range()->setTo(130);
  save(&ex(), "export-dialog");
  ex().formatList()->setCurrentIndex(int(Export::Format::Pcapng));
  save(&ex(), "export-dialog-pcapng");
}

}  // namespace
