// The engine through the simulated link: marks, gate and order of every recording
// against golden record renderings (VORLOG_UPDATE_GOLDEN=1 rewrites them).
#include <gtest/gtest.h>

#include <QDir>
#include <functional>

#include "TriggerRig.h"

namespace {

TriggerRecord data(int type, bool d1, bool d2, const char* hex) {
  TriggerRecord t;
  t.Type = type;
  t.Event = TriggerEvent::Data;
  t.D1 = d1, t.D2 = d2;
  t.Data = QString::fromLatin1(hex);
  return t;
}

TriggerRecord signal(int type, std::initializer_list<std::pair<int32_t TriggerRecord::*, int>> edges) {
  TriggerRecord t;
  t.Type = type;
  t.Event = TriggerEvent::Signal;
  for (auto [line, edge] : edges) t.*line = edge;
  return t;
}

TriggerRecord error(int type, bool pe, bool fe, bool le) {
  TriggerRecord t;
  t.Type = type;
  t.Event = TriggerEvent::Error;
  t.PE = pe, t.FE = fe, t.LE = le;
  return t;
}

TriggerRecord inactivity(int seconds, std::initializer_list<bool TriggerRecord::*> watched) {
  TriggerRecord t;
  t.Type = TriggerType::Inactivity;
  t.Event = TriggerEvent::Inactivity;
  t.InActivityTime = seconds;
  for (auto w : watched) t.*w = true;
  return t;
}

// The local date-time of the rig's wall clock plus some seconds.
QDateTime wallClockPlus(const Clock& clock, double seconds) {
  const double local = unixLocalFromOleDate(clock.now()) + seconds;
  const QDateTime asUtc = QDateTime::fromMSecsSinceEpoch(qint64(local * 1000.0), Qt::UTC);
  return QDateTime(asUtc.date(), asUtc.time());
}

constexpr int Start = TriggerType::Start, Stop = TriggerType::Stop;

void startThenStop(TriggerRig& r) {
  r.add(data(TriggerType::Start, true, false, "4154"));
  r.add(data(TriggerType::Stop, false, true, "4F4B"));
}

struct Case {
  const char* name;
  const char* scenario;
  std::function<void(TriggerRig&)> setUp;  // triggers, and anything done while recording
  int runMs;
  int stops;  // recordings the engine ended by itself
  // Things done while recording: at that many ms after the start.
  std::vector<std::pair<int, std::function<void(TriggerRig&)>>> during = {};
};

void pauseOrResume(TriggerRig& r) { r.s.recorder.btnPauseClick(); }
// The wall clock steps an hour ahead (summer time, a time server): inactivity must not notice.
void clockStep(TriggerRig& r) { r.clock.setDate(r.clock.now() + 1.0 / 24); }

const Case kCases[] = {
    {"start_stop_start",
     "d1 \"ab\"\nwait 10ms\nd1 \"AT\\r\"\nwait 10ms\nd2 \"OK\\r\"\nwait 10ms\nd1 \"cd\"\nwait 10ms\nd1 \"AT\"\nwait 10ms\n"
     "d2 \"ef\"\nwait 50ms\n",
     [](TriggerRig& r) {
       r.add(data(Start, true, false, "4154"));
       r.add(data(Stop, false, true, "4F4B"));
       r.add(data(Start, true, false, "4154"));
     },
     200, 0},
    {"single_start", "d2 \"xx\"\nwait 10ms\nd1 \"AT\"\nwait 10ms\nd2 \"OK\"\nwait 10ms\nset dcd=1\nwait 10ms\n",
     [](TriggerRig& r) { r.add(data(Start, true, false, "4154")); }, 100, 0},
    {"last_stop_ends_recording", "d1 \"AT\"\nwait 10ms\nd2 \"OK\"\nwait 10ms\nd1 \"never\"\nwait 50ms\n",
     [](TriggerRig& r) { r.add(data(Stop, false, true, "4F4B")); }, 200, 1},
    // DSR rising is a change the start trigger watches but whose edge it does not want.
    {"signal_rises_then_falls",
     "wait 10ms\nset dtr=1\nwait 10ms\nset dsr=1\nwait 10ms\nset cts=1\nwait 10ms\nset dtr=0\nwait 10ms\nset cts=0\n"
     "wait 50ms\n",
     [](TriggerRig& r) {
       r.add(signal(Start, {{&TriggerRecord::M2, Edge::Rises}, {&TriggerRecord::M1, Edge::Falls}}));
       r.add(signal(Stop, {{&TriggerRecord::M2, Edge::Falls}}));
     },
     200, 1},
    {"error_with_all_lines_low", "d2 \"ok\"\nwait 10ms\nerror d2 parity 41\nwait 10ms\nd2 \"late\"\nwait 50ms\n",
     [](TriggerRig& r) { r.add(error(Stop, true, false, false)); }, 200, 1},
    {"data_on_d1_and_d2", "d2 \"OK\"\nwait 10ms\nd1 \"OK\"\nwait 10ms\nd2 \"OK\"\nwait 50ms\n",
     [](TriggerRig& r) {
       r.add(data(Start, true, true, "4F4B"));
       r.add(data(Stop, true, true, "4F4B"));
     },
     200, 1},
    {"two_signal_triggers_one_group", "wait 10ms\nset cts=1 dcd=1\nwait 10ms\nd2 \"x\"\nwait 10ms\nset dcd=0\nwait 50ms\n",
     [](TriggerRig& r) {
       r.add(signal(Start, {{&TriggerRecord::M5, Edge::Rises}}));
       r.add(signal(Start, {{&TriggerRecord::M2, Edge::Rises}}));
       r.add(signal(Stop, {{&TriggerRecord::M5, Edge::Falls}}));
     },
     200, 1},
    // The same handle number on both ports: an error on D2 fires the error trigger, not the D1 data trigger.
    {"handles_reused_across_ports", "wait 10ms\nerror d2 parity 41\nwait 10ms\nd1 \"AT\"\nwait 50ms\n",
     [](TriggerRig& r) {
       r.add(data(Start, true, false, "4154"));
       r.add(error(Start, true, false, false));
     },
     200, 0},
    {"inactivity_5s_beside_10s", "d1 \"a\"\nwait 31s\n",
     [](TriggerRig& r) {
       r.add(inactivity(5, {&TriggerRecord::EventD1}));
       r.add(inactivity(10, {&TriggerRecord::EventD1}));
     },
     31500, 0, {{15500, clockStep}}},
    {"time_trigger", "repeat forever\nd1 \"t\"\nwait 500ms\nend\n",
     [](TriggerRig& r) {
       TriggerRecord t;
       t.Type = Start;
       t.Event = TriggerEvent::Time;
       t.TimeReached = wallClockPlus(r.clock, 2.2);
       r.add(t);
     },
     4000, 0},
    // A zero byte is part of the pattern like any other byte.
    {"zero_byte_in_a_pattern", "d1 \"A\" 42\nwait 10ms\nd1 \"A\" 00 \"B\"\nwait 10ms\nd1 \"x\"\nwait 10ms\n",
     [](TriggerRig& r) { r.add(data(Start, true, false, "410042")); }, 100, 0},
    // Pause and resume re-arm the group that was armed, with the gate as it was.
    {"pause_while_waiting_for_start", "wait 20ms\nd1 \"AT\"\nwait 40ms\nd2 \"OK\"\nwait 50ms\n", startThenStop, 200, 1,
     {{5, pauseOrResume}, {10, pauseOrResume}}},
    {"pause_while_waiting_for_stop", "wait 20ms\nd1 \"AT\"\nwait 40ms\nd2 \"OK\"\nwait 50ms\n", startThenStop, 200, 1,
     {{30, pauseOrResume}, {40, pauseOrResume}}},
    {"pause_after_the_last_start", "wait 20ms\nd1 \"AT\"\nwait 40ms\nd2 \"OK\"\nwait 50ms\n",
     [](TriggerRig& r) { r.add(data(Start, true, false, "4154")); }, 200, 0, {{30, pauseOrResume}, {40, pauseOrResume}}},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

QString goldenPath(const char* name) {
  return QStringLiteral(VORLOG_SOURCE_DIR "/tests/triggers/golden/%1.txt").arg(QString::fromLatin1(name));
}

class EngineScenario : public ::testing::TestWithParam<Case> {};

TEST_P(EngineScenario, RecordsAsGolden) {
  const Case& c = GetParam();
  TriggerRig rig(c.scenario);
  c.setUp(rig);
  rig.start();
  ASSERT_TRUE(rig.s.recorder.recordDown());
  int at = 0;
  for (const auto& [ms, action] : c.during) {
    rig.run(ms - at);
    at = ms;
    action(rig);
  }
  rig.run(c.runMs - at);
  rig.stop();
  EXPECT_EQ(rig.stops, c.stops);
  EXPECT_TRUE(rig.messages.reports.empty()) << rig.messages.reports[0].message;
  const QString got = rig.render();
  QFile golden(goldenPath(c.name));
  if (qEnvironmentVariableIsSet("VORLOG_UPDATE_GOLDEN")) {
    ASSERT_TRUE(golden.open(QIODevice::WriteOnly));
    golden.write(got.toUtf8());
    return;
  }
  ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << golden.fileName().toStdString();
  EXPECT_EQ(got.toStdString(), QString::fromUtf8(golden.readAll()).toStdString());
}

// A trigger that can arm nothing is skipped with one message naming it; the recording
// never waits for it.
TEST(EngineStart, TriggersThatCanArmNothingAreSkippedAndNamed) {
  TriggerRig rig("d1 \"ab\"\nwait 10ms\n");
  rig.add(data(Start, true, false, ""));
  rig.add(signal(Start, {}));
  rig.start();
  QCoreApplication::processEvents();
  ASSERT_EQ(rig.messages.reports.size(), 1u);
  EXPECT_TRUE(rig.messages.reports[0].extra.contains("T1") && rig.messages.reports[0].extra.contains("T2"));
  EXPECT_TRUE(rig.s.gate.IsRecordingActive());
  rig.run(50);
  rig.stop();
  EXPECT_TRUE(rig.render().contains("d1=62"));
}

INSTANTIATE_TEST_SUITE_P(Triggers, EngineScenario, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
