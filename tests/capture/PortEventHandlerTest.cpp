#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/CaptureEngine.h"
#include "capture/PortEventHandler.h"
#include "capture/RecordingGate.h"
#include "capture/TriggerControl.h"
#include "capture/ViewLock.h"
#include "support/FakeDevice.h"
#include "support/MemorySink.h"

namespace {

// A set clock whose counter is the system's monotonic time line, so the moments a
// device reports its reads at are counter readings as they stand.
struct ArrivalClock : ManualClock {
  uint64_t ticksAtMonotonic(uint64_t ns) const override { return ns; }
};

struct HandlerFixture : ::testing::Test {
  ArrivalClock clock;
  LiveViewBuffer live;
  CaptureEngine engine{clock, live};
  MemorySink sink;
  FakePort a{"ComA"}, b{"ComB"};
  RecordingGate gate;
  ViewLock lock;
  NoTriggers triggers;
  std::optional<PortEventHandler> handler;

  void SetUp() override {
    engine.setRecordSink(&sink);
    ASSERT_TRUE(a.port.SetOpen(true));
    ASSERT_TRUE(b.port.SetOpen(true));
    gate.recordingSwitch = true;
  }
  PortEventHandler& h() {
    if (!handler) handler.emplace(engine, a.port, b.port, gate, lock, triggers);
    return *handler;
  }
};

TEST_F(HandlerFixture, OneCharacterOfEachLinePerRecord) {
  b.receive("12345");  // before the handler listens: the characters wait in the ports
  a.receive("ab");
  h().ComBTriggerAvail(5);
  ASSERT_EQ(sink.records.size(), 5u);
  EXPECT_EQ(sink.records[0].d1Byte, '1');
  EXPECT_EQ(sink.records[0].d2Byte, 'a');
  EXPECT_EQ(sink.records[1].d2Flag, 1);
  for (int i = 2; i < 5; ++i) {
    EXPECT_EQ(sink.records[i].d1Byte, '1' + i);
    EXPECT_EQ(sink.records[i].d2Flag, 0) << i;
  }
  h().ComATriggerAvail(3);  // nothing ready: nothing written
  EXPECT_EQ(sink.records.size(), 5u);
}

TEST_F(HandlerFixture, ClosedGateConsumesWithoutRecording) {
  h();
  gate.recordingSwitch = false;
  b.receive("lost");
  EXPECT_TRUE(sink.records.empty());
  EXPECT_FALSE(b.port.CharReady());
  // The gate also stays shut while a start group is armed.
  gate.recordingSwitch = gate.waiting = gate.startArmed = true;
  a.receive("x");
  EXPECT_TRUE(sink.records.empty());
  gate.stopArmed = true;
  a.receive("y");
  EXPECT_EQ(sink.records.size(), 1u);
}

TEST_F(HandlerFixture, DrainBeforeTriggerStopIgnoresTheGate) {
  b.receive("abc");
  a.receive("x");
  h();
  gate.recordingSwitch = false;
  h().ComReadAllPendingData();
  ASSERT_EQ(sink.records.size(), 3u);
  EXPECT_EQ(sink.records[0].d2Byte, 'x');
  EXPECT_EQ(sink.records[2].d1Byte, 'c');
}

TEST_F(HandlerFixture, RemainingDataIsReadFromTheSystemThroughTheGate) {
  h();
  b.state->pendingInKernel = "tail";
  h().readRemainingData();
  ASSERT_EQ(sink.records.size(), 4u);
  EXPECT_EQ(sink.records[3].d1Byte, 'l');
  gate.recordingSwitch = false;
  a.state->pendingInKernel = "zz";
  h().readRemainingData();
  EXPECT_EQ(sink.records.size(), 4u);
  EXPECT_FALSE(a.port.CharReady());
}

TEST_F(HandlerFixture, StatusChangeRecordsAllSixLinesAndRearms) {
  h().ArmPortStatusTriggers();
  a.setModem(ModemBit::Dsr | ModemBit::Dcd | ModemBit::Ri);
  ASSERT_EQ(sink.records.size(), 1u);
  const EventRecord& r = sink.records[0];
  EXPECT_EQ(r.signalBytes[SigM1Dsr], 1);
  EXPECT_EQ(r.signalBytes[SigM5Dcd], 1);
  EXPECT_EQ(r.signalBytes[SigM3Rng], 1);
  EXPECT_EQ(r.signalBytes[SigM2Cts], 0);
  EXPECT_EQ(r.signalBytes[SigS1Dtr], 0);
  b.setModem(ModemBit::Dsr | ModemBit::Cts);  // DTR and RTS of the DTE
  ASSERT_EQ(sink.records.size(), 2u);
  EXPECT_EQ(sink.records[1].signalBytes[SigS1Dtr], 1);
  EXPECT_EQ(sink.records[1].signalBytes[SigS2Rts], 1);
  EXPECT_EQ(sink.records[1].signalBytes[SigM1Dsr], 1);  // the other port's lines as they stand
  // Everything falls, DTR last: the all-inactive state is recorded too.
  a.setModem(0);
  b.setModem(ModemBit::Dsr);
  b.setModem(0);
  ASSERT_EQ(sink.records.size(), 5u);
  for (int i = 0; i < SignalCount; ++i) EXPECT_EQ(sink.records[4].signalBytes[i], 0) << i;
  // A change on a line nobody watches does not fire.
  a.setModem(0);
  EXPECT_EQ(sink.records.size(), 5u);
}

TEST_F(HandlerFixture, StatusWithAPortClosedWritesNothing) {
  h().ArmPortStatusTriggers();
  b.port.SetOpen(false);
  a.setModem(ModemBit::Cts);
  EXPECT_TRUE(sink.records.empty());
  EXPECT_FALSE(h().ReadSignalStates());
}

TEST_F(HandlerFixture, LineErrorsBecomeOneRecordEach) {
  h().ArmPortStatusTriggers();
  a.receive("A");
  a.lineError(LineErrorBit::Parity, true, 'B');
  b.lineError(LineErrorBit::Break);
  b.lineError(LineErrorBit::Overrun | LineErrorBit::Framing);
  ASSERT_EQ(sink.records.size(), 5u);
  EXPECT_EQ(sink.records[0].d2Byte, 'A');
  const EventRecord& pe = sink.records[1];
  EXPECT_EQ(pe.errors[ErrPe2], 1);
  EXPECT_EQ(pe.errors[ErrFe2] + pe.errors[ErrLe2] + pe.errors[ErrPe1], 0);
  EXPECT_EQ(pe.d2Flag, 0);
  EXPECT_EQ(sink.records[2].d2Byte, 'B');  // the character itself follows
  EXPECT_EQ(sink.records[2].errors[ErrPe2], 0);
  EXPECT_EQ(sink.records[3].errors[ErrLe1], 1);
  EXPECT_EQ(sink.records[4].errors[ErrFe1], 1);
  EXPECT_EQ(sink.records[4].errors[ErrLe1], 1);
  EXPECT_EQ(sink.records[4].counters[CntPe], 1);
  EXPECT_EQ(sink.records[4].counters[CntLe], 2);
  EXPECT_EQ(h().lineErrorCount(true), 3u);
  // The base line trigger is armed again after each error: the next one is seen too.
  b.lineError(LineErrorBit::Parity);
  EXPECT_EQ(sink.records.size(), 6u);
}

// A delivery's records carry the moment its bytes were read (or a line was seen to
// change), not the moment they are handled; stamps still never go back, and outside a
// delivery the clock reading rules.
TEST_F(HandlerFixture, RecordsAreStampedWhenTheirBytesWereRead) {
  h().ArmPortStatusTriggers();
  constexpr uint64_t ms = 1000000, t0 = 1000 * ms;
  auto readAt = [](FakePort& p, uint64_t ns) { p.state->sink->deviceReadAt(ns); };
  clock.setTicks(t0);
  a.receive("x");
  clock.setTicks(t0 + 50 * ms);  // handled late from here on
  readAt(a, t0 + 10 * ms);
  a.receive("y");
  a.lineError(LineErrorBit::Parity, true, 'z');
  readAt(b, t0 + 5 * ms);  // read before the last record: not stamped before it
  b.receive("w");
  readAt(b, 0);
  readAt(a, t0 + 40 * ms);
  a.setModem(ModemBit::Cts);
  readAt(a, 0);
  b.receive("v");
  ASSERT_EQ(sink.records.size(), 7u);
  auto msAfterFirst = [&](size_t i) { return (sink.records[i].timeStamp - sink.records[0].timeStamp) * 86400e3; };
  const double spacing = double(engine.minimumSpacing()) / double(ms);
  const double expected[] = {0, 10, 10, 10 + spacing, 10 + spacing, 40, 50};
  for (size_t i = 0; i < 7; ++i) EXPECT_NEAR(msAfterFirst(i), expected[i], 0.01) << "record " << i;
  EXPECT_EQ(engine.arrival(), 0u);
}

// A new rate on ComA's line (a tap passing on the application's setting) is the
// character time of the records from then on; ComB's does not count.
TEST_F(HandlerFixture, ANewRateOnTheLineIsTheNewCharacterTime) {
  h();
  const uint64_t before = engine.minimumSpacing();
  b.state->sink->deviceSettingsChanged(LineSettings{115200, 8, Parity::None, 1});
  EXPECT_EQ(engine.minimumSpacing(), before);
  a.state->sink->deviceSettingsChanged(LineSettings{115200, 8, Parity::None, 1});
  EXPECT_EQ(engine.minimumSpacing(), 10 * 1000000000ull / 115200 + 1);
  EXPECT_EQ(a.port.settings().baud, 115200);
}

TEST_F(HandlerFixture, DataTriggerComesAfterItsCharactersAreRecorded) {
  h();
  const int handle = a.port.AddDataTrigger("ok", true);
  ASSERT_NE(handle, 0);
  size_t recordsAtMatch = 0;
  int matches = 0;
  QObject::connect(&a.port, &SerialPort::triggerData, [&](int hnd) {
    EXPECT_EQ(hnd, handle);
    recordsAtMatch = sink.records.size();
    ++matches;
  });
  a.receive("xOKy");
  EXPECT_EQ(matches, 1);
  EXPECT_EQ(recordsAtMatch, 3u);
  EXPECT_EQ(sink.records.size(), 4u);
  a.receive("o");
  a.receive("kok");  // split across deliveries, and again at once
  EXPECT_EQ(matches, 3);
  a.port.RemoveTrigger(handle);
  a.receive("ok");
  EXPECT_EQ(matches, 3);
}

// Each notification's records reach the file in one write before it returns; none is
// left waiting for the next one.
struct BurstCase {
  const char* name;
  std::function<void(HandlerFixture&)> act;
  std::vector<size_t> writes;  // records per write, in order
};

struct BurstWrites : HandlerFixture, ::testing::WithParamInterface<BurstCase> {};

TEST_P(BurstWrites, OneWritePerNotification) {
  GetParam().act(*this);
  EXPECT_EQ(sink.batchSizes, GetParam().writes);
  EXPECT_EQ(engine.pendingRecords(), 0u);
  for (size_t i = 0; i < sink.records.size(); ++i) EXPECT_EQ(sink.records[i].eventNumber, i + 1);
}

const BurstCase kBursts[] = {
    {"BurstOnOneLine", [](HandlerFixture& f) { f.h(), f.b.receive("ABCDEFGH"); }, {8}},
    {"BothLinesAnnouncedOnce",
     [](HandlerFixture& f) {
       f.b.receive("12345");
       f.a.receive("ab");
       f.h().ComBTriggerAvail(5);
     },
     {5}},
    {"DrainBeforeTheClose",
     [](HandlerFixture& f) {
       f.b.state->pendingInKernel = "tail";
       f.a.state->pendingInKernel = "xy";
       f.h().readRemainingData();
     },
     {4}},
    {"ErrorThenItsCharacter",
     [](HandlerFixture& f) {
       f.h().ArmPortStatusTriggers();
       f.a.lineError(LineErrorBit::Parity, true, 'B');
     },
     {1, 1}},
    // The characters up to a match go out before the trigger is looked at.
    {"PatternInsideABurst",
     [](HandlerFixture& f) {
       f.h();
       f.a.port.AddDataTrigger("ok", true);
       f.a.receive("xOKyz");
     },
     {3, 2}},
};

INSTANTIATE_TEST_SUITE_P(Handler, BurstWrites, ::testing::ValuesIn(kBursts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HandlerFixture, ClearingStatusTriggersRemovesThemFromThePorts) {
  h().ArmPortStatusTriggers();
  h().clearStatusTriggers();
  a.setModem(ModemBit::Cts);
  EXPECT_TRUE(sink.records.empty());
  h().ArmPortStatusTriggers();
  a.setModem(0);
  EXPECT_EQ(sink.records.size(), 1u);  // one trigger, one record: nothing left over from before
}

}  // namespace
