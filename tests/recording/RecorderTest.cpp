#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <vector>

#include "capture/CaptureEngine.h"
#include "capture/PortEventHandler.h"
#include "capture/RecordingGate.h"
#include "capture/TriggerControl.h"
#include "capture/ViewLock.h"
#include "recording/RecordFile.h"
#include "recording/RecordFileName.h"
#include "recording/Recorder.h"
#include "recording/RecorderUi.h"
#include "support/FakeDevice.h"
#include "support/RecordingMessages.h"

#include "support/RecordFiles.h"
#include "support/RecorderRig.h"

namespace {

struct StatusUi : RecorderUi {
  std::vector<int> texts;
  std::vector<QStringList> notes;
  void setStatusText(int n) override { texts.push_back(n); }
  void showPortNotes(const QStringList& lines) override { notes.push_back(lines); }
};

std::vector<EventRecord> readAll(const QString& path) { return readRecordFile(path); }

void writeRecords(const QString& path, int count, int extraBytes = 0) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  for (int i = 0; i < count; ++i) {
    EventRecord r = zeroRecord();
    r.eventNumber = uint32_t(i);
    r.timeStamp = 46000.0 + i / 86400.0;
    r.d1Flag = 1;
    r.d1Byte = 'a';
    r.counters[CntD1] = i + 1;
    r.counters[CntPe] = 3;
    if (i == 0) r.markType = Mark::SystemType, r.d1Flag = 0;  // a file start mark, as we write it
    f.write(reinterpret_cast<const char*>(&r), kRecordSize);
  }
  f.write(QByteArray(extraBytes, '\x55'));
}

struct RecorderFixture : ::testing::Test, RecorderRig<StatusUi> {
  void SetUp() override {
    QDir().mkpath(dir.path() + "/user/recordings");
    file.setName(path());
  }
  QString path() const { return dir.filePath("rec.vrd"); }
  std::vector<EventRecord> records() const { return readAll(path()); }
  static bool isMark(const EventRecord& r, uint8_t code) { return r.markType == Mark::SystemType && r.markCode == code; }
};

TEST_F(RecorderFixture, NewFileStartsWithTheSystemMarksAndEndsWithOneStop) {
  b.state->modem = ModemBit::Dsr;  // DTR up before the recording starts
  recorder.btnRecordClick();
  ASSERT_TRUE(recorder.running());
  EXPECT_TRUE(a.port.isOpen() && b.port.isOpen());
  EXPECT_EQ(ui.texts.back(), 4273);
  recorder.btnRecordClick();  // while recording: nothing happens
  b.receive("AT\r");
  a.receive("OK");
  EXPECT_FALSE(recorder.canClose());
  recorder.btnStopClick();
  EXPECT_TRUE(recorder.canClose());
  EXPECT_FALSE(a.port.isOpen() || b.port.isOpen());
  EXPECT_EQ(ui.texts.back(), 4274);

  const auto r = records();
  ASSERT_EQ(r.size(), 9u);
  EXPECT_TRUE(isMark(r[0], Mark::Plain));
  EXPECT_TRUE(isMark(r[1], Mark::UserStart));
  EXPECT_EQ(r[2].signalBytes[SigS1Dtr], 1);  // the opening state of the lines
  EXPECT_EQ(r[3].d1Byte, 'A');
  EXPECT_EQ(r[3].signalBytes[SigS1Dtr], 1);
  EXPECT_EQ(r[6].d2Byte, 'O');
  EXPECT_EQ(r[6].d1Flag, 0);
  EXPECT_TRUE(isMark(r[8], Mark::UserStop));
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].eventNumber, i);
  for (size_t i = 1; i < r.size(); ++i) EXPECT_GE(r[i].timeStamp, r[i - 1].timeStamp);
}

TEST_F(RecorderFixture, AppendContinuesNumbersAndCounters) {
  writeRecords(path(), 42);
  recorder.btnRecordClick();  // APPEND is down by default
  b.receive("x");
  recorder.btnStopClick();
  const auto r = records();
  ASSERT_EQ(r.size(), 46u);
  EXPECT_TRUE(isMark(r[42], Mark::Appended));
  EXPECT_EQ(r[42].eventNumber, 42u);
  EXPECT_EQ(r[42].counters[CntD1], 42);
  EXPECT_EQ(r[44].d1Byte, 'x');
  EXPECT_EQ(r[44].counters[CntD1], 43);
  EXPECT_EQ(r[44].counters[CntPe], 3);
  EXPECT_TRUE(isMark(r[45], Mark::UserStop));
}

TEST_F(RecorderFixture, AppendAfterAnInterruptedWriteCutsTheFragment) {
  writeRecords(path(), 10, 37);
  recorder.btnRecordClick();
  recorder.btnStopClick();
  QFileInfo info(path());
  EXPECT_EQ(info.size() % 80, 0);
  const auto r = records();
  ASSERT_EQ(r.size(), 13u);
  EXPECT_TRUE(isMark(r[10], Mark::Appended));
  EXPECT_EQ(r[10].eventNumber, 10u);
  EXPECT_EQ(r[10].counters[CntD1], 10);  // the last whole record supplied the counters
}

TEST_F(RecorderFixture, EmptyOrShortFileIsReplacedAndReplaceRestarts) {
  writeRecords(path(), 0);  // an empty file: nothing to continue from
  recorder.btnRecordClick();
  recorder.btnStopClick();
  auto r = records();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_TRUE(isMark(r[0], Mark::Plain));
  EXPECT_EQ(QFileInfo(path()).size(), 4 * 80);

  writeRecords(path(), 30);
  recorder.btnRECreplaceClick();
  EXPECT_FALSE(recorder.appendDown());
  recorder.btnRecordClick();
  recorder.btnStopClick();
  r = records();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].eventNumber, 0u);
  EXPECT_EQ(r[0].counters[CntD1], 0);
}

TEST_F(RecorderFixture, PauseClosesThePortsAndResumeRecordsTheLines) {
  recorder.btnRecordClick();
  b.receive("1");
  recorder.btnPauseClick();
  EXPECT_TRUE(recorder.paused());
  EXPECT_FALSE(recorder.running());
  EXPECT_FALSE(a.port.isOpen() || b.port.isOpen());
  EXPECT_TRUE(file.isOpen(RecordFile::Handle::Recording));
  a.state->modem = ModemBit::Cts;
  recorder.btnPauseClick();
  EXPECT_TRUE(recorder.running());
  a.receive("2");
  recorder.btnPauseClick();
  recorder.btnStopClick();  // stop while paused: ports untouched, pause left
  EXPECT_FALSE(recorder.paused());
  EXPECT_FALSE(recorder.running());
  const auto r = records();
  // start marks, lines, '1', lines on resume (no mark), '2', one stop
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[3].d1Byte, '1');
  EXPECT_EQ(r[4].signalBytes[SigM2Cts], 1);
  EXPECT_EQ(r[4].markCode, 0);
  EXPECT_EQ(r[5].d2Byte, '2');
  EXPECT_TRUE(isMark(r[6], Mark::UserStop));
  int stops = 0;
  for (const auto& e : r) stops += isMark(e, Mark::UserStop);
  EXPECT_EQ(stops, 1);
}

TEST_F(RecorderFixture, WhatADriverLacksIsToldOncePerRecording) {
  // Port A on a driver that can neither wait for modem lines nor count errors; B fine.
  a.state->caps.known = true;
  a.state->caps.driver = QStringLiteral("cp210x");
  a.state->caps.modemWatch = ModemWatch::Polls;
  b.state->caps.known = true;
  b.state->caps.modemWatch = ModemWatch::Waits;
  b.state->caps.errorCounters = true;
  a.port.SetComNumber(3);
  recorder.btnRecordClick();
  ASSERT_EQ(ui.notes.size(), 1u);
  ASSERT_EQ(ui.notes[0].size(), 2);  // polled lines, approximated error kinds
  EXPECT_TRUE(ui.notes[0][0].startsWith(QStringLiteral("COM3 (FAKE): ")));
  recorder.btnPauseClick();
  recorder.btnPauseClick();  // resumed: the ports opened again, nothing new to say
  recorder.btnStopClick();
  EXPECT_EQ(ui.notes.size(), 1u);
  recorder.btnRECreplaceClick();
  recorder.btnRecordClick();  // a new recording says it again
  recorder.btnStopClick();
  EXPECT_EQ(ui.notes.size(), 2u);
  // Drivers that report everything: not a word.
  a.state->caps = b.state->caps;
  recorder.btnRecordClick();
  recorder.btnStopClick();
  EXPECT_EQ(ui.notes.size(), 2u);
}

TEST_F(RecorderFixture, StopKeepsWhatWasStillWaiting) {
  recorder.btnRecordClick();
  b.state->pendingInKernel = "late";
  recorder.btnStopClick();
  const auto r = records();
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[6].d1Byte, 'e');
  EXPECT_TRUE(isMark(r[7], Mark::UserStop));
  const auto& t = ui.texts;
  EXPECT_NE(std::find(t.begin(), t.end(), 8167), t.end());
}

TEST_F(RecorderFixture, PortThatCannotOpenLeavesTheFileAsItWas) {
  // A new file is not even created; a file to be replaced keeps every byte.
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing);
    messages.reports.clear();
    QFile::remove(path());
    if (existing) {
      writeRecords(path(), 45);
      recorder.btnRECreplaceClick();
    }
    QFile f(path());
    const QByteArray before = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    f.close();
    a.state->failOpen = true;
    recorder.btnRecordClick();
    EXPECT_FALSE(recorder.running());
    EXPECT_FALSE(recorder.recordDown());
    EXPECT_FALSE(b.port.isOpen());  // the port that did open is closed again
    ASSERT_EQ(messages.reports.size(), 1u);
    EXPECT_EQ(messages.reports[0].title, 2000);
    EXPECT_EQ(messages.reports[0].message, 9650);
    EXPECT_FALSE(file.isOpen(RecordFile::Handle::Recording));
    EXPECT_EQ(f.exists(), existing);
    if (existing && f.open(QIODevice::ReadOnly)) {
      EXPECT_EQ(f.readAll(), before);
    }
  }
  // A port lost on resuming a prepared recording ends it with its stop mark.
  QFile::remove(path());
  a.state->failOpen = false;
  recorder.btnRecordClick();
  recorder.btnPauseClick();
  a.state->failOpen = true;
  recorder.btnPauseClick();
  EXPECT_FALSE(recorder.running());
  EXPECT_TRUE(isMark(records().back(), Mark::UserStop));
}

TEST_F(RecorderFixture, SecondRecorderOfOneFileIsTurnedAwayUntouched) {
  writeRecords(path(), 20);
  recorder.btnRecordClick();
  ASSERT_TRUE(recorder.running());
  const auto mine = records();

  // Another recorder (another window or vorlog-cli) on the same file, by another name.
  QFile::link(path(), dir.filePath("alias.vrd"));
  FakePort a2{"ComA"}, b2{"ComB"};
  RecordingGate gate2;
  CaptureEngine engine2{clock, live};
  PortEventHandler handler2{engine2, a2.port, b2.port, gate2, lock, triggers};
  RecordFile file2{messages};
  engine2.setRecordSink(&file2);
  Recorder other{{engine2, live, handler2, a2.port, b2.port, file2, gate2, triggers, messages, ui, changed,
                  dir.path() + "/user/"}};
  for (bool replace : {false, true}) {
    file2.setName(dir.filePath("alias.vrd"));
    if (replace) other.btnRECreplaceClick();
    other.btnRecordClick();
    EXPECT_FALSE(other.running());
    EXPECT_EQ(a2.state->opens + b2.state->opens, 0);
    ASSERT_FALSE(messages.reports.empty());
    EXPECT_EQ(messages.reports.back().message, 3005);
    EXPECT_TRUE(messages.reports.back().extra.contains("alias.vrd"));
    EXPECT_EQ(records().size(), mine.size());
  }
  // Reading it stays possible meanwhile.
  RecordFile viewer{messages};
  viewer.setName(path());
  EXPECT_GE(viewer.OpenRecordFile(RecordFile::Handle::View), 0);

  b.receive("z");
  recorder.btnStopClick();
  const size_t firstRun = records().size();
  other.btnRECappendClick();
  other.btnRecordClick();  // free again once the stop mark is written
  EXPECT_TRUE(other.running());
  other.btnStopClick();
  ASSERT_GT(records().size(), firstRun);
  EXPECT_TRUE(isMark(records()[firstRun], Mark::Appended));
}

TEST_F(RecorderFixture, AppendRefusesWhatIsNoRecordFileAndCutsNothing) {
  EventRecord negative = zeroRecord();
  negative.markType = Mark::SystemType;
  negative.counters[CntPe] = -2082735741295086395;
  const QByteArray text = "# Vorlog\n\nWatches and records an RS-232 link. " + QByteArray(200, 'x') + "tail";
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"a text file renamed", text},
      {"shorter than one record", "hello"},
      {"negative counters", QByteArray(reinterpret_cast<const char*>(&negative), 80)},
      {"first record no file start", [] {
         EventRecord r = zeroRecord();
         r.eventNumber = 0;
         return QByteArray(reinterpret_cast<const char*>(&r), 80);
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    messages.reports.clear();
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    recorder.btnRecordClick();
    EXPECT_FALSE(recorder.running());
    EXPECT_EQ(a.state->opens + b.state->opens, 0);
    ASSERT_EQ(messages.reports.size(), 1u);
    EXPECT_EQ(messages.reports[0].message, 3006);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), c.bytes);
  }
  // A foreign file can still be replaced when the user says so.
  recorder.btnRECreplaceClick();
  recorder.btnRecordClick();
  EXPECT_TRUE(recorder.running());
  recorder.btnStopClick();
}

TEST_F(RecorderFixture, AppendedRunAveragesItsOwnLoadAndLimitStopsTheRecords) {
  writeRecords(path(), 3000);  // 2 999 bytes on D1 in the file already
  engine.UpdateCharacterTime({9600, 8, Parity::None, 1});
  recorder.btnRecordClick();
  clock.advance(2000000000ull);  // two seconds, 96 bytes: 5 % of 960 characters a second
  for (int i = 0; i < 96; ++i) b.receive("x");
  EXPECT_EQ(engine.lastBuilt().lineLoad, 5);
  recorder.btnStopClick();

  QFile::remove(path());
  handler.setRecordLimit(3);
  recorder.btnRecordClick();
  b.receive("abcdef");
  EXPECT_TRUE(handler.recordLimitReached());
  recorder.btnStopClick();
  const auto r = records();
  ASSERT_EQ(r.size(), 6u);  // two start marks, the lines, 'a', 'b', the stop mark
  EXPECT_EQ(r[4].d1Byte, 'b');
  EXPECT_TRUE(isMark(r[5], Mark::UserStop));
}

TEST_F(RecorderFixture, FileThatCannotBeMadeOpensNoPort) {
  file.setName(dir.filePath("missing/folder/rec.vrd"));
  recorder.btnRecordClick();
  EXPECT_FALSE(recorder.running());
  EXPECT_EQ(a.state->opens + b.state->opens, 0);
  ASSERT_EQ(messages.reports.size(), 1u);
  EXPECT_EQ(messages.reports[0].message, 3002);

  file.setName(dir.path());  // a folder
  recorder.btnRecordClick();
  EXPECT_FALSE(recorder.running());
  ASSERT_EQ(messages.reports.size(), 2u);
  EXPECT_EQ(messages.reports[1].message, 3001);

  writeRecords(path(), 3);
  ASSERT_EQ(::chmod(path().toLocal8Bit().constData(), 0444), 0);
  file.setName(path());
  recorder.btnRecordClick();
  if (::geteuid() != 0) {  // root may write anyway
    EXPECT_FALSE(recorder.running());
    EXPECT_EQ(messages.reports.back().message, 3001);
    EXPECT_EQ(readAll(path()).size(), 3u);
  }
  EXPECT_EQ(a.state->opens + b.state->opens, recorder.running() ? 2 : 0);
  if (recorder.running()) recorder.btnStopClick();
}

TEST_F(RecorderFixture, BareNameGoesToTheRecordingsFolder) {
  file.setName("plain.vrd");
  recorder.btnRecordClick();
  recorder.btnStopClick();
  EXPECT_EQ(file.name(), dir.path() + "/user/recordings/plain.vrd");
  EXPECT_TRUE(changed);
  EXPECT_EQ(readAll(file.name()).size(), 4u);
}

TEST_F(RecorderFixture, ShortWriteLeavesNoFragmentAndIsReportedOnce) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  recorder.btnRecordClick();
  // The disk fills up in the middle of the fifth record.
  rlimit small = old;
  small.rlim_cur = 4 * 80 + 30;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  b.receive("abcdef");
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_TRUE(file.writeFailed());
  EXPECT_EQ(QFileInfo(path()).size(), 4 * 80);
  ASSERT_EQ(messages.reports.size(), 1u);
  EXPECT_EQ(messages.reports[0].title, 3000);
  EXPECT_EQ(messages.reports[0].message, 3004);
  // Space again: the next record lands on a whole-record boundary with the next number.
  b.receive("g");
  recorder.btnStopClick();
  const auto r = records();
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[4].d1Byte, 'g');
  EXPECT_EQ(r[4].eventNumber, 4u);
  EXPECT_EQ(messages.reports.size(), 1u);
}

TEST(RecordFile, ReadsByPositionAndShowsTheSize) {
  QTemporaryDir dir;
  RecordingMessages messages;
  RecordFile f(messages);
  f.setName(dir.filePath("v.vrd"));
  writeRecords(f.name(), 0);
  ASSERT_GE(f.OpenRecordFile(RecordFile::Handle::View), 0);
  f.ReadRecordAt(0);
  EXPECT_EQ(f.readBuffer().eventNumber, 0u);
  EXPECT_EQ(f.viewRecordCount(), 0);
  f.CloseRecordFile(RecordFile::Handle::View);

  writeRecords(f.name(), 3, 40);
  // A stored number that differs from the place: the place counts.
  QFile raw(f.name());
  ASSERT_TRUE(raw.open(QIODevice::ReadWrite));
  raw.seek(80);
  const uint32_t odd = 777;
  raw.write(reinterpret_cast<const char*>(&odd), 4);
  raw.close();
  ASSERT_GE(f.OpenRecordFile(RecordFile::Handle::View), 0);
  EXPECT_EQ(f.viewRecordCount(), 3);
  f.ReadRecordAt(1);
  EXPECT_EQ(f.readBuffer().eventNumber, 777u);
  f.ReadRecordAt(2);
  const double stamp = f.readBuffer().timeStamp;
  EXPECT_EQ(f.readBuffer().counters[CntD1], 3);
  f.ReadRecordAt(3);  // the trailing fragment is no record
  EXPECT_EQ(f.readBuffer().counters[CntD1], 0);
  EXPECT_EQ(f.readBuffer().timeStamp, stamp);
  EXPECT_EQ(f.previousTimeStamp(), stamp);
  f.ReadRecordAt(-5);
  EXPECT_EQ(f.readBuffer().d1Flag, 0);

  writeRecords(f.name(), 0, 2048);
  EXPECT_TRUE(f.ShowRecordFileLine("/u/").endsWith("[  2 KB ]"));
  writeRecords(f.name(), 0, 1023);
  EXPECT_TRUE(f.ShowRecordFileLine("/u/").endsWith("[  0 KB ]"));
  writeRecords(f.name(), 0, 3000);
  EXPECT_TRUE(f.ShowRecordFileLine("/u/").endsWith("[  2 KB ]"));
  QFile::remove(f.name());
  EXPECT_TRUE(f.ShowRecordFileLine("/u/").endsWith("[  2 KB ]"));  // the size found last, of this file
  // Another file never shows that size, nor a folder its own.
  f.setName(dir.path());
  EXPECT_TRUE(f.ShowRecordFileLine("/u/").endsWith("[  0 KB ]"));
  f.setName(dir.filePath("absent.vrd"));
  EXPECT_TRUE(f.ShowRecordFileLine("/u/").endsWith("[  0 KB ]"));
  RecordFile bare(messages);
  bare.setName("x.vrd");
  EXPECT_TRUE(bare.ShowRecordFileLine("/u/").startsWith(" /u/recordings/x.vrd   [  "));
}

// Every command finds a bare name where the user expects it and says which file it took.
TEST(RecordFileName, BareNamesBesideTheUserFirstThenTheRecordingsFolder) {
  QTemporaryDir dir;
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  const QString here = QDir::currentPath();  // the temporary folder may lie behind a link
  writeRecords(here + "/base.vrd", 2);
  EXPECT_EQ(resolveRecordFileName("base.vrd", "/u/"), here + "/base.vrd");
  EXPECT_EQ(resolveRecordFileName("other.vrd", "/u/"), "/u/recordings/other.vrd");
  EXPECT_EQ(resolveRecordFileName("other.vrd", "rel/"), here + "/rel/recordings/other.vrd");
  // A name with a folder is taken as given, whether or not the file is there.
  EXPECT_EQ(resolveRecordFileName("sub/../sub/x.vrd", "/u/"), here + "/sub/x.vrd");
  EXPECT_EQ(resolveRecordFileName("./base.vrd", "/u/"), here + "/base.vrd");
  EXPECT_EQ(resolveRecordFileName("/data//run.vrd", "/u/"), "/data/run.vrd");
  QDir::setCurrent(before);
}

}  // namespace
