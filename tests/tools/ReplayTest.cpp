// A record file replayed as the link: a recording of the replay against the original
// (at the original timing, faster, as fast as possible, across a pause), triggers on
// replayed bytes, what of a file is replayed, and files that cannot be.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <string>

#include "capture/SimulatedLink.h"
#include "recording/CaptureSession.h"
#include "support/RecordFiles.h"
#include "support/RecordingMessages.h"
#include "tools/ReplayLink.h"
#include "triggers/TriggerActions.h"
#include "triggers/TriggerEngine.h"
#include "triggers/TriggerList.h"

namespace {

constexpr uint64_t kMs = 1000000;  // ManualClock ticks are nanoseconds

struct NoLauncher : Launcher {
  int64_t start(const QString&, const QStringList&, QString*) override { return 1; }
  bool running(int64_t) const override { return false; }
};

// What travelled on the link, record boundaries left out: the line states whenever they
// change, line errors per side, data bytes per line, in file order, each with the time
// of its record in seconds from the first. A record may carry a byte of each line or
// not, and a recording may split it: the traffic is the same.
struct Traffic {
  std::vector<std::string> items;
  std::vector<double> seconds;
};

Traffic traffic(const std::vector<EventRecord>& records) {
  Traffic t;
  std::string lines = "none";
  double first = -1;
  for (const EventRecord& r : records) {
    if (r.markCode != Mark::Plain || r.markType == Mark::SystemType) continue;
    if (first < 0) first = r.timeStamp;
    auto add = [&](std::string item) {
      t.items.push_back(std::move(item));
      t.seconds.push_back((r.timeStamp - first) * 86400.0);
    };
    std::string now;
    for (uint8_t s : r.signalBytes) now += char('0' + s);
    if (now != lines) add("lines " + now);
    lines = now;
    for (int side = 0; side < 2; ++side) {
      const uint8_t* e = r.errors + side * 3;
      if (e[0] || e[1] || e[2]) add("error D" + std::to_string(side + 1) + " " + char('0' + e[0]) + char('0' + e[1]) + char('0' + e[2]));
    }
    if (r.d1Flag) add("D1 " + std::to_string(r.d1Byte));
    if (r.d2Flag) add("D2 " + std::to_string(r.d2Byte));
  }
  return t;
}

std::string dataOf(const Traffic& t, const std::string& line) {
  std::string out;
  for (const std::string& item : t.items)
    if (item.rfind(line + " ", 0) == 0) out += char(std::stoi(item.substr(3)));
  return out;
}

// A recording on a manual clock of either the simulated link (the built-in scenario) or
// a replay, with the trigger engine attached as in the programs.
struct Rig {
  ManualClock clock;
  RecordingMessages messages;
  RecorderUi ui;
  SimulatedLink simulated{clock};
  ReplayLink replay{clock};
  CaptureSession s;
  TriggerList list;
  NoLauncher launcher;
  TriggerActions actions{launcher, QStringLiteral("/nonexistent")};
  TriggerEngine engine{{s.engine, s.handler, s.comA, s.comB, s.gate, clock, messages}, list, actions};

  Rig(const QString& folder, const QString& file, int baud, bool simulate)
      : s(clock, messages, ui, folder + QLatin1Char('/'), simulate ? &simulated : nullptr) {
    if (!simulate) replay.offerAsPorts(s.registry);
    s.triggers.attach(&engine);
    QObject::connect(&engine, &TriggerEngine::stopRequested, [this] { s.recorder.btnStopClick(); });
    s.ports.BuildPortLists(s.registry, PortValueLists::defaults());
    s.ports.selectComA(1);
    s.ports.selectComB(2);
    s.ports.selectLineSettings(QString::number(baud), QStringLiteral("8"), QStringLiteral("N"), QStringLiteral("1"));
    s.ports.InitInterface();
    s.file.setName(folder + QLatin1Char('/') + file);
  }
  ~Rig() { s.triggers.attach(nullptr); }

  void step(uint64_t ticks) {
    clock.advance(ticks);
    simulated.pump();
    replay.pump();
    QCoreApplication::processEvents();
  }
  // The built-in scenario for some milliseconds.
  void recordSimulated(int ms) {
    s.recorder.btnRecordClick();
    for (int i = 0; i < ms; ++i) step(kMs);
    s.recorder.btnStopClick();
  }
  // The replay until the file has run out, in steps of the clock (0: as fast as it goes).
  void recordReplay(uint64_t stepTicks, int pauseAtStep = -1) {
    s.recorder.btnRecordClick();
    for (int i = 0; i < 2000000 && !replay.finished() && s.recorder.recordDown(); ++i) {
      if (i == pauseAtStep) {
        s.recorder.btnPauseClick();
        for (int k = 0; k < 700; ++k) step(kMs);  // time passes while nobody listens
        s.recorder.btnPauseClick();
      }
      step(stepTicks);
    }
    if (s.recorder.recordDown()) s.recorder.btnStopClick();
  }
};

class ReplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    original_ = std::make_unique<QTemporaryDir>();
    Rig rig(original_->path(), QStringLiteral("original.vrd"), 9600, true);
    // One pass of the built-in exchange: handshake, dialling, ring, data, a parity error, hang-up.
    rig.recordSimulated(7000);
  }
  static void TearDownTestSuite() { original_.reset(); }
  static QString originalFile() { return original_->filePath(QStringLiteral("original.vrd")); }
  static Traffic originalTraffic() { return traffic(readRecordFile(originalFile())); }

  QTemporaryDir dir;
  static std::unique_ptr<QTemporaryDir> original_;
};
std::unique_ptr<QTemporaryDir> ReplayTest::original_;

TEST_F(ReplayTest, TheOriginalHoldsEveryKindOfTraffic) {
  const Traffic t = originalTraffic();
  auto has = [&](const std::string& prefix) {
    return std::any_of(t.items.begin(), t.items.end(), [&](const std::string& i) { return i.rfind(prefix, 0) == 0; });
  };
  EXPECT_TRUE(has("D1 ") && has("D2 ") && has("error D2 100") && has("lines 100000") && has("lines 111101") &&
              has("lines 111110"));
}

struct SpeedCase {
  const char* name;
  double speed;  // ReplayLink::kMaxSpeed: as fast as possible
  uint64_t stepTicks;
  int pauseAtStep;
};

class ReplaySpeed : public ReplayTest, public ::testing::WithParamInterface<SpeedCase> {};

// Whatever the speed, the recording of the replay carries the original traffic in the
// original order; with a speed factor the spacing is the original's divided by it
// (recorded at the baud rate times the factor, so that a character lasts as long).
TEST_P(ReplaySpeed, RecordingTheReplayGivesTheOriginalTraffic) {
  const SpeedCase& c = GetParam();
  const int baud = c.speed == ReplayLink::kMaxSpeed ? 9600 : int(9600 * c.speed);
  Rig rig(dir.path(), QStringLiteral("replayed.vrd"), baud, false);
  ASSERT_TRUE(rig.replay.load(originalFile(), c.speed)) << rig.replay.problem().toStdString();
  rig.recordReplay(c.stepTicks, c.pauseAtStep);
  EXPECT_TRUE(rig.replay.finished());
  EXPECT_TRUE(rig.messages.reports.empty());

  const Traffic original = originalTraffic();
  const Traffic replayed = traffic(readRecordFile(rig.s.file.name()));
  ASSERT_EQ(replayed.items, original.items);
  if (c.speed == ReplayLink::kMaxSpeed) return;
  double worst = 0;
  for (size_t i = 0; i < original.items.size(); ++i) {
    double off = std::fabs(replayed.seconds[i] - original.seconds[i] / c.speed);
    // A pause holds the replay and the recording's clock alike: the replay after it
    // lies later by the pause.
    if (c.pauseAtStep >= 0 && replayed.seconds[i] > c.pauseAtStep / 1000.0 + 0.5) off = std::fabs(off - 0.7);
    worst = std::max(worst, off);
  }
  EXPECT_LT(worst, 0.0025) << "seconds off the original spacing";
}

INSTANTIATE_TEST_SUITE_P(Speeds, ReplaySpeed,
                         ::testing::Values(SpeedCase{"original", 1, kMs, -1}, SpeedCase{"three_times", 3, kMs, -1},
                                           SpeedCase{"half", 0.5, kMs, -1},
                                           SpeedCase{"paused_midway", 1, kMs, 3000},
                                           SpeedCase{"as_fast_as_possible", ReplayLink::kMaxSpeed, 0, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// A data trigger of the environment fires on the replayed bytes: recording starts on the
// modem's CONNECT, with the bytes after it, at the original timing and in bursts alike.
TEST_F(ReplayTest, AReplayedPatternStartsTheRecording) {
  for (double speed : {1.0, ReplayLink::kMaxSpeed}) {
    QTemporaryDir folder;
    Rig rig(folder.path(), QStringLiteral("triggered.vrd"), 9600, false);
    ASSERT_TRUE(rig.replay.load(originalFile(), speed));
    TriggerRecord t;
    t.Name = QStringLiteral("connect");
    t.Active = true;
    t.Type = TriggerType::Start;
    t.Event = TriggerEvent::Data;
    t.D2 = true;
    t.Data = QStringLiteral("434F4E4E454354");  // CONNECT
    rig.list.insert(-1, t);
    rig.recordReplay(speed == 1 ? kMs : 0);

    const std::vector<EventRecord> records = readRecordFile(rig.s.file.name());
    const auto mark = std::find_if(records.begin(), records.end(), [](const EventRecord& r) {
      return r.markCode == Mark::TriggerStart && r.triggerNumber == 1;
    });
    ASSERT_NE(mark, records.end()) << "speed " << speed;
    const std::string before = dataOf(traffic({records.begin(), mark}), "D2");
    EXPECT_EQ(before, "") << "nothing is recorded before the trigger";
    const std::string all = dataOf(originalTraffic(), "D2");
    const std::string after = all.substr(all.find("CONNECT") + 7);
    EXPECT_EQ(dataOf(traffic({mark, records.end()}), "D2"), after) << "speed " << speed;
  }
}

// Hand-made files: what of each record is replayed, and when.
EventRecord plain(double second, std::initializer_list<int> lines = {}) {
  EventRecord r = zeroRecord();
  r.timeStamp = 46000.5 + second / 86400.0;
  for (int l : lines) r.signalBytes[l] = 1;
  return r;
}
EventRecord mark(double second, uint8_t code, uint8_t type) {
  EventRecord r = plain(second, {SigS1Dtr});  // system marks hold whatever the lines stood at
  r.markCode = code;
  r.markType = type;
  return r;
}
EventRecord data(double second, int d1, int d2, std::initializer_list<int> lines = {}) {
  EventRecord r = plain(second, lines);
  if (d1 >= 0) r.d1Flag = 1, r.d1Byte = uint8_t(d1);
  if (d2 >= 0) r.d2Flag = 1, r.d2Byte = uint8_t(d2);
  return r;
}

bool writeRecords(const QString& path, const std::vector<EventRecord>& records) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) &&
         f.write(reinterpret_cast<const char*>(records.data()), qint64(records.size() * kRecordSize)) ==
             qint64(records.size() * kRecordSize);
}

std::string render(const ReplayItem& i) {
  static const char* kinds[] = {"lines", "error", "data"};
  return std::string(kinds[i.kind]) + (i.endA ? " A " : " B ") + std::to_string(i.value) + " @" +
         std::to_string(int(std::lround(i.at * 1000)));
}

TEST(ReplayReader, MarksAreNotesAndTheGapsBetweenRecordingsAreNotWaitedFor) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("marks.vrd"));
  EventRecord parity = plain(0.3, {SigS1Dtr, SigM1Dsr});
  parity.errors[ErrPe2] = 1;
  EventRecord lineError = plain(0.35, {SigS1Dtr, SigM1Dsr});
  lineError.errors[ErrLe1] = 1;
  EventRecord marked = mark(0.25, Mark::TriggerDetected, 0);
  marked.d1Flag = 1, marked.d1Byte = 'X';
  ASSERT_TRUE(writeRecords(path, {
                                     mark(0, Mark::Plain, Mark::SystemType),
                                     mark(0, Mark::UserStart, Mark::SystemType),
                                     plain(0.001, {SigS1Dtr, SigM1Dsr}),  // where the lines stand at the start
                                     data(0.2, 'a', 'b', {SigS1Dtr, SigM1Dsr}),
                                     marked,
                                     parity,
                                     lineError,
                                     mark(10, Mark::UserStop, Mark::SystemType),
                                     mark(5000, Mark::Appended, Mark::SystemType),
                                     data(5000.5, -1, 'c', {SigS2Rts, SigM1Dsr, SigM5Dcd}),
                                     plain(4999, {SigS2Rts, SigM1Dsr, SigM5Dcd}),  // the clock set back
                                     data(4999.1, 'd', -1, {SigS2Rts, SigM1Dsr, SigM5Dcd}),
                                 }));
  ReplayReader reader;
  ASSERT_TRUE(reader.open(path)) << reader.problem().text().toStdString();
  EXPECT_EQ(reader.initialStatus(false), ModemBit::Dsr);
  EXPECT_EQ(reader.initialStatus(true), ModemBit::Dsr);
  std::vector<std::string> got;
  for (int pass = 0; pass < 2; ++pass) {  // and once more from the start
    got.clear();
    reader.rewind();
    for (ReplayItem i; reader.next(i);) got.push_back(render(i));
  }
  EXPECT_FALSE(reader.failed());
  const std::vector<std::string> expected = {
      "data B 97 @200",
      "data A 98 @200",
      "error A 2 @300",
      "error B 8 @350",
      // DTR fell and RTS rose on ComB's inputs; DCD rose on ComA's.
      "lines B 16 @10500",
      "lines A 160 @10500",
      "data A 99 @10500",
      "data B 100 @10600",
  };
  EXPECT_EQ(got, expected);
}

struct BadFile {
  const char* name;
  std::function<QByteArray()> bytes;  // null: no file at all
  int problem;
};

QByteArray recordBytes(std::vector<EventRecord> records) {
  return QByteArray(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * kRecordSize));
}

class ReplayBadFile : public ::testing::TestWithParam<BadFile> {};

// Every kind of bad file is named with its reason, and no recording begins on it: the
// ends refuse to open with that reason.
TEST_P(ReplayBadFile, IsRefusedWithItsReason) {
  const BadFile& c = GetParam();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("bad.vrd"));
  if (c.bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes());
  }
  ReplayReader reader;
  EXPECT_FALSE(reader.open(path));
  EXPECT_EQ(reader.problem().number, c.problem);
  EXPECT_TRUE(reader.problem().text().contains(path));

  Rig rig(dir.path(), QStringLiteral("out.vrd"), 9600, false);
  EXPECT_FALSE(rig.replay.load(path, 1));
  rig.s.recorder.btnRecordClick();
  EXPECT_FALSE(rig.s.recorder.running());
  ASSERT_FALSE(rig.messages.reports.empty());
  EXPECT_TRUE(rig.messages.reports[0].extra.contains(reader.problem().text()));
  const Traffic nothing = traffic(readRecordFile(rig.s.file.name()));
  EXPECT_TRUE(nothing.items.empty());
}

EventRecord with(EventRecord r, const std::function<void(EventRecord&)>& change) {
  change(r);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReplayBadFile,
    ::testing::Values(
        BadFile{"missing", nullptr, 9950}, BadFile{"empty", [] { return QByteArray(); }, 9340},
        BadFile{"cut_off", [] { return recordBytes({plain(0), data(1, 'a', -1)}).left(150); }, 9341},
        BadFile{"shorter_than_a_record", [] { return QByteArray(79, 'x'); }, 9341},
        BadFile{"text", [] { return QByteArray(160, 'x'); }, 9342},
        BadFile{"text_of_any_length", [] { return QByteArray(250, 'x'); }, 9342},
        BadFile{"flag_out_of_range", [] { return recordBytes({plain(0), with(plain(1), [](EventRecord& r) { r.d2Flag = 2; })}); }, 9342},
        BadFile{"time_not_a_number", [] { return recordBytes({with(plain(0), [](EventRecord& r) { r.timeStamp = NAN; })}); }, 9342},
        BadFile{"unknown_mark", [] { return recordBytes({plain(0), mark(1, 42, 0)}); }, 9342},
        BadFile{"only_marks", [] { return recordBytes({mark(0, Mark::Plain, Mark::SystemType), mark(1, Mark::UserStop, Mark::SystemType)}); }, 9346}),
    [](const auto& info) { return std::string(info.param.name); });

// The file cut after it was checked: the replay stops with a message naming it instead
// of playing on what is no longer there.
TEST_F(ReplayTest, AFileCutAfterItsCheckStopsTheReplay) {
  const QString copy = dir.filePath(QStringLiteral("copy.vrd"));
  ASSERT_TRUE(QFile::copy(originalFile(), copy));
  Rig rig(dir.path(), QStringLiteral("out.vrd"), 9600, false);
  ASSERT_TRUE(rig.replay.load(copy, 1));
  ASSERT_TRUE(QFile::resize(copy, 40 * kRecordSize));
  QString failure;
  QObject::connect(&rig.replay, &ReplayLink::replayFailed, [&](const QString& m) {
    failure = m;
    rig.s.recorder.btnStopClick();
  });
  rig.s.recorder.btnRecordClick();
  for (int i = 0; i < 100 && failure.isEmpty(); ++i) rig.step(kMs);
  EXPECT_TRUE(failure.contains(copy)) << failure.toStdString();
  EXPECT_FALSE(rig.s.recorder.running());
}

TEST(ReplayArgument, SpeedAfterTheLastComma) {
  QTemporaryDir dir;
  const QString comma = dir.filePath(QStringLiteral("a,b.vrd"));
  ASSERT_TRUE(writeRecords(comma, {plain(0)}));
  struct {
    QString text;
    bool ok;
    QString path;
    double speed;
  } cases[] = {
      {"old.vrd", true, "old.vrd", 1},          {"old.vrd,2", true, "old.vrd", 2},
      {"old.vrd,0.5", true, "old.vrd", 0.5},    {"old.vrd,MAX", true, "old.vrd", ReplayLink::kMaxSpeed},
      {"old.vrd,0", false, "", 0},              {"old.vrd,-1", false, "", 0},
      {"old.vrd,fast", false, "", 0},           {"old.vrd,inf", false, "", 0},
      {comma, true, comma, 1},                  {comma + ",4", true, comma, 4},
  };
  for (const auto& c : cases) {
    QString path, error;
    double speed = -7;
    EXPECT_EQ(ReplayLink::parseArgument(c.text, &path, &speed, &error), c.ok) << c.text.toStdString();
    if (!c.ok) {
      EXPECT_FALSE(error.isEmpty());
      continue;
    }
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(speed, c.speed) << c.text.toStdString();
  }
}

}  // namespace
