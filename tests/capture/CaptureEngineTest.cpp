#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capture/CaptureEngine.h"
#include "support/MemorySink.h"

namespace {

constexpr uint64_t kFreq = 1000000000ull;
// An OLE date of today resolves to about 0.6 microseconds.
constexpr double kStampResolution = 1e-6;

struct EngineFixture : ::testing::Test {
  ManualClock clock{46000.25};
  LiveViewBuffer live;
  CaptureEngine engine{clock, live};
  MemorySink sink;

  void SetUp() override {
    engine.setRecordSink(&sink);
    engine.UpdateCharacterTime({9600, 8, Parity::None, 1});
    engine.ResetRecordingStatistics();
  }
  const EventRecord& last() const { return sink.records.back(); }
  void dataEvent(int d1 = -1, int d2 = -1, uint16_t burst = 0) {
    PendingEvent& p = engine.pending();
    p.clearDataAndErrors();
    if (d1 >= 0) p.d1Byte = uint8_t(d1), p.d1Flag = 1;
    if (d2 >= 0) p.d2Byte = uint8_t(d2), p.d2Flag = 1;
    engine.WriteEventRecord(burst, false);
  }
};

TEST_F(EngineFixture, RecordLayoutIsTheStoredOne) {
  PendingEvent& p = engine.pending();
  p.d1Byte = 0x41, p.d2Byte = 0x42, p.d1Flag = 1, p.d2Flag = 1;
  for (int i = 0; i < SignalCount; ++i) p.signalBytes[i] = uint8_t(i % 2);
  p.errors[ErrPe1] = 1, p.errors[ErrLe2] = 1;
  p.markCode = 3, p.markType = 2, p.triggerNumber = 17;
  ASSERT_EQ(engine.WriteEventRecord(0, true), 0);
  unsigned char b[80];
  std::memcpy(b, &last(), 80);
  EXPECT_EQ(b[0], 0);  // event 0 with the reset flag
  for (int i = 4; i < 8; ++i) EXPECT_EQ(b[i], 0) << i;
  double stamp;
  std::memcpy(&stamp, b + 8, 8);
  EXPECT_DOUBLE_EQ(stamp, clock.now());
  EXPECT_EQ(b[16], 0x41);
  EXPECT_EQ(b[17], 0x42);
  EXPECT_EQ(b[18], 1);
  EXPECT_EQ(b[19], 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b[20 + i], i % 2) << i;
  EXPECT_EQ(b[26], 1);
  EXPECT_EQ(b[31], 1);
  int64_t c[5];
  std::memcpy(c, b + 32, 40);
  EXPECT_EQ(c[0], 1);  // D1
  EXPECT_EQ(c[1], 1);  // D2
  EXPECT_EQ(c[2], 1);  // PE
  EXPECT_EQ(c[3], 0);  // FE
  EXPECT_EQ(c[4], 1);  // LE
  EXPECT_EQ(b[72], 100);  // load inside the first second
  EXPECT_EQ(b[73], 100);
  EXPECT_EQ(b[74], 0);  // 2 errors against 2 data bytes
  EXPECT_EQ(b[75], 3);
  EXPECT_EQ(b[76], 2);
  EXPECT_EQ(b[77], 17);
  EXPECT_EQ(b[78], 0);
  EXPECT_EQ(b[79], 0);
}

TEST_F(EngineFixture, SpacingKeepsBytesOfOneLineOneCharacterTimeApart) {
  // 9600 baud 8N1: ten bit times, 1/960 s, plus one tick.
  const uint64_t spacing = 10 * kFreq / 9600 + 1;
  ASSERT_EQ(engine.minimumSpacing(), spacing);
  auto seconds = [](double a, double b) { return (b - a) * 86400.0; };
  engine.WriteEventRecord(0, true);
  clock.advance(1000);
  dataEvent('A');
  const double tA = last().timeStamp;
  clock.advance(1000);  // far closer than a character
  dataEvent('B');
  EXPECT_NEAR(seconds(tA, last().timeStamp), double(spacing) / kFreq, kStampResolution);
  // The other line is independent: its byte is stamped when it came, not a character later.
  dataEvent(-1, 'x');
  EXPECT_NEAR(seconds(tA, last().timeStamp), double(spacing) / kFreq, kStampResolution);
  clock.advance(2 * spacing);
  dataEvent(-1, 'y');
  EXPECT_NEAR(seconds(tA, last().timeStamp), double(2 * spacing + 1000) / kFreq, 2 * kStampResolution);

  // From the third character of a burst on, exactly one spacing whatever the counter did.
  clock.advance(50 * spacing);
  dataEvent('C', -1, 0);
  const double tc = last().timeStamp;
  clock.advance(10 * spacing);
  dataEvent('D', -1, 2);
  EXPECT_NEAR(seconds(tc, last().timeStamp), double(spacing) / kFreq, kStampResolution);
  // Events without a byte follow the clock and never run back.
  clock.advance(3 * spacing);
  const double before = last().timeStamp;
  engine.writeSystemMark(Mark::UserStop);
  EXPECT_NEAR(seconds(before, last().timeStamp), 12.0 * double(spacing) / kFreq, 2 * kStampResolution);
}

TEST_F(EngineFixture, StampsNeverRunBackAfterABurst) {
  engine.WriteEventRecord(0, true);
  const uint64_t spacing = engine.minimumSpacing();
  // A burst of 100 characters is laid out ahead of the counter ...
  for (uint16_t i = 0; i < 100; ++i) dataEvent('x', -1, i);
  const double endOfBurst = last().timeStamp;
  // ... and the next notification comes before the counter has caught up.
  clock.advance(10 * spacing);
  dataEvent('y');
  EXPECT_GE(last().timeStamp, endOfBurst);
  dataEvent(-1, 'z');
  EXPECT_GE(last().timeStamp, endOfBurst);
}

// Both lines at 94 % of 9600 baud for a minute, drained in bursts of 16 bytes a line
// the way a USB adapter hands them over: the stamps keep to the clock.
TEST_F(EngineFixture, FullDuplexBurstsStayWithTheClock) {
  engine.WriteEventRecord(0, true);
  const uint64_t spacing = engine.minimumSpacing();
  const uint64_t burstTime = uint64_t(16 * double(spacing) / 0.94);
  double previous = last().timeStamp;
  double worstAhead = 0;
  for (uint64_t t = 0; t < 60 * kFreq; t += burstTime) {
    clock.advance(burstTime - 500000);
    for (uint16_t i = 0; i < 16; ++i) dataEvent('1', -1, i);
    clock.advance(500000);  // the other line's burst half a millisecond later
    for (uint16_t i = 0; i < 16; ++i) {
      dataEvent(-1, '2', i);
      ASSERT_GE(last().timeStamp, previous);
      previous = last().timeStamp;
    }
    worstAhead = std::max(worstAhead, (last().timeStamp - clock.now()) * 86400.0);
  }
  EXPECT_LE(worstAhead, 16.0 * double(spacing) / kFreq + 1e-6);
  engine.writeSystemMark(Mark::UserStop);
  EXPECT_NEAR((last().timeStamp - clock.now()) * 86400.0, 0.0, 16.0 * double(spacing) / kFreq);
}

TEST_F(EngineFixture, CounterWrapGivesTheSmallStep) {
  clock.setTicks(~uint64_t(0) - 500);
  engine.ResetRecordingStatistics();
  engine.WriteEventRecord(0, true);
  const double t0 = last().timeStamp;
  clock.advance(2 * kFreq);  // wraps past zero
  dataEvent('A');
  EXPECT_NEAR((last().timeStamp - t0) * 86400.0, 2.0, 1e-6);
}

TEST_F(EngineFixture, CountersAndQuality) {
  engine.WriteEventRecord(0, true);
  EXPECT_EQ(last().lineQuality, 0);  // no data yet
  dataEvent('A', 'B');
  EXPECT_EQ(last().counters[CntD1], 1);
  EXPECT_EQ(last().counters[CntD2], 1);

  PendingEvent& p = engine.pending();
  p.clearDataAndErrors();
  p.errors[ErrPe1] = p.errors[ErrPe2] = 1;
  engine.WriteEventRecord(0, false);
  EXPECT_EQ(last().counters[CntPe], 1);  // both sides in one record count once
  p.clearDataAndErrors();
  p.errors[ErrFe2] = 1;
  engine.WriteEventRecord(0, false);
  p.clearDataAndErrors();

  for (int i = 0; i < 198; ++i) dataEvent(i % 2 ? 'x' : -1, i % 2 ? -1 : 'y');
  EXPECT_EQ(last().counters[CntD1] + last().counters[CntD2], 200);
  EXPECT_EQ(last().lineQuality, 99);  // 2 errors in 200 bytes
}

TEST_F(EngineFixture, LineLoadAndPeak) {
  engine.WriteEventRecord(0, true);
  EXPECT_EQ(last().lineLoad, 0);
  dataEvent('A');
  EXPECT_EQ(last().lineLoad, 100);  // first second, one byte
  // 960 characters per second; 2 s later with 481 bytes: 481*100/(2*960) = 25 %.
  clock.advance(2 * kFreq);
  for (int i = 0; i < 480; ++i) dataEvent('A', -1, 0);
  EXPECT_EQ(last().lineLoad, 25);
  EXPECT_EQ(last().peakLoad, 100);  // the peak stays
  // Far more bytes than the seconds allow (counters carried into a recording) cannot wrap the byte round.
  EventRecord carried = zeroRecord();
  carried.counters[CntD1] = 1000000;
  engine.RestoreCountersFromRecord(carried, CaptureEngine::RestoreFrom::LastRecord);
  dataEvent('A');
  EXPECT_EQ(last().lineLoad, 255);
}

TEST_F(EngineFixture, FailedWriteRepeatsTheNumber) {
  engine.WriteEventRecord(0, true);
  dataEvent('A');
  EXPECT_EQ(last().eventNumber, 1u);
  sink.fail = true;
  dataEvent('B');
  EXPECT_EQ(engine.failedCount(), 1u);
  EXPECT_EQ(live.at(live.liveCount() - 1).d1Byte, 'B');  // still shown and counted
  sink.fail = false;
  dataEvent('C');
  EXPECT_EQ(last().eventNumber, 2u);
  EXPECT_EQ(last().counters[CntD1], 3);
}

// Inside a batch the records reach the sink in one call when the outermost batch ends
// (or when flushed early), numbered as if each had been written on its own.
TEST_F(EngineFixture, BatchWritesOnceAtTheOutermostEnd) {
  engine.WriteEventRecord(0, true);
  {
    RecordBatch outer(engine);
    dataEvent('a');
    {
      RecordBatch inner(engine);
      dataEvent('b');
    }
    EXPECT_EQ(sink.records.size(), 1u);  // the inner end writes nothing
    EXPECT_EQ(engine.previousRecord().eventNumber, 2u);
    dataEvent('c');
  }
  ASSERT_EQ(sink.records.size(), 4u);
  EXPECT_EQ(sink.batchSizes, (std::vector<size_t>{1, 3}));
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(sink.records[i].eventNumber, i);
  EXPECT_EQ(engine.writtenCount(), 4u);
  {
    RecordBatch batch(engine);
    dataEvent('d');
    EXPECT_TRUE(engine.flushRecords());  // a program is about to start: out now
    EXPECT_EQ(sink.records.size(), 5u);
  }
  EXPECT_EQ(sink.writeCalls, 3);  // nothing left for the end
}

// A disk that fills in the middle of a batch: the records that made it stay, the next
// record takes the number of the first one lost, as after a single failed write.
TEST_F(EngineFixture, BatchCutShortGoesOnFromTheLastRecordWritten) {
  engine.WriteEventRecord(0, true);
  sink.room = 3;
  {
    RecordBatch batch(engine);
    for (char c : std::string("abcde")) dataEvent(c);
  }
  EXPECT_EQ(sink.records.size(), 3u);
  EXPECT_EQ(engine.writtenCount(), 3u);
  EXPECT_EQ(engine.failedCount(), 3u);
  EXPECT_EQ(engine.previousRecord().eventNumber, 2u);
  sink.room = 10;
  dataEvent('f');
  EXPECT_EQ(last().eventNumber, 3u);
  EXPECT_EQ(last().d1Byte, 'f');
  // Nothing reached the sink at all: numbering goes back to before the batch.
  sink.fail = true;
  {
    RecordBatch batch(engine);
    dataEvent('g');
    dataEvent('h');
  }
  sink.fail = false;
  dataEvent('i');
  EXPECT_EQ(last().eventNumber, 4u);
}

TEST_F(EngineFixture, TriggerMarkSetsAndClearsTheMarkFields) {
  engine.WriteEventRecord(0, true);
  engine.pending().d1Byte = 'Q';
  engine.pending().d1Flag = 1;
  engine.pending().errors[ErrPe2] = 1;
  engine.pending().signalBytes[SigM5Dcd] = 1;
  ASSERT_EQ(engine.RecordTriggerMark(1, 3, 42), 0);
  EXPECT_EQ(last().markCode, 2);
  EXPECT_EQ(last().markType, 3);
  EXPECT_EQ(last().triggerNumber, 42);
  // The line states, but no byte or error the closed gate may have left behind.
  EXPECT_EQ(last().d1Flag, 0);
  EXPECT_EQ(last().errors[ErrPe2], 0);
  EXPECT_EQ(last().signalBytes[SigM5Dcd], 1);
  EXPECT_EQ(engine.pending().markCode, 0);
  EXPECT_EQ(engine.pending().triggerNumber, 0);
}

TEST_F(EngineFixture, LineActivityFollowsTheLines) {
  engine.WriteEventRecord(0, true);
  PendingEvent& p = engine.pending();
  clock.advance(kFreq);
  p.signalBytes[SigS1Dtr] = 1;
  engine.WriteEventRecord(0, false);
  const double raised = last().timeStamp;
  EXPECT_EQ(engine.lineActivity()[ActS1].timeStamp, raised);
  // An inactive line keeps the stamp of its fall; an active one refreshes with every event.
  const double dsrStamp = engine.lineActivity()[ActM1].timeStamp;
  clock.advance(kFreq);
  dataEvent('A');
  EXPECT_EQ(engine.lineActivity()[ActS1].timeStamp, last().timeStamp);
  EXPECT_EQ(engine.lineActivity()[ActM1].timeStamp, dsrStamp);
  clock.advance(kFreq);
  p.signalBytes[SigS1Dtr] = 0;
  engine.WriteEventRecord(0, false);
  const double fell = last().timeStamp;
  clock.advance(kFreq);
  dataEvent('A');
  EXPECT_EQ(engine.lineActivity()[ActS1].timeStamp, fell);
  // The same byte again is activity on its line too.
  EXPECT_EQ(engine.lineActivity()[ActD1].timeStamp, last().timeStamp);
  EXPECT_EQ(engine.lineActivity()[ActD2].d2Flag, 0);
}

TEST_F(EngineFixture, AppendRestoresCountersAndNumbers) {
  EventRecord first = zeroRecord(), lastInFile = zeroRecord();
  first.timeStamp = 45000.0;
  lastInFile.eventNumber = 41;
  lastInFile.timeStamp = 45000.5;
  lastInFile.counters[CntD1] = 10;
  lastInFile.counters[CntLe] = 2;
  engine.RestoreCountersFromRecord(first, CaptureEngine::RestoreFrom::FirstRecord);
  engine.setPreviousRecord(lastInFile);
  engine.RestoreCountersFromRecord(lastInFile, CaptureEngine::RestoreFrom::LastRecord);
  EXPECT_EQ(engine.lastWrittenTime(), 45000.5);
  engine.setTimeBaseNow();
  engine.writeSystemMark(Mark::Appended);
  EXPECT_EQ(last().eventNumber, 42u);
  EXPECT_EQ(last().markCode, Mark::Appended);
  EXPECT_EQ(last().markType, Mark::SystemType);
  EXPECT_NEAR((last().timeStamp - clock.now()) * 86400.0, 0.0, 0.002);  // now, one character time at most later
  dataEvent('A');
  EXPECT_EQ(last().counters[CntD1], 11);
  EXPECT_EQ(last().counters[CntLe], 2);
}

TEST_F(EngineFixture, CharacterTimeFollowsTheSettings) {
  engine.UpdateCharacterTime({9600, 7, Parity::Even, 2});  // 1+7+1+2 = 11 bits
  EXPECT_EQ(engine.charactersPerSecond(), 9600 / 11);
  EXPECT_EQ(engine.minimumSpacing(), 11 * kFreq / 9600 + 1);
  engine.UpdateCharacterTime({0, 8, Parity::None, 1});  // no rate: keep what was there
  EXPECT_EQ(engine.charactersPerSecond(), 9600 / 11);
}

TEST(LiveViewBuffer, KeepsTheNewestCapacityPlusOne) {
  LiveViewBuffer b;
  b.setCapacity(3);
  auto rec = [](uint32_t n) {
    EventRecord r = zeroRecord();
    r.eventNumber = n;
    return r;
  };
  for (uint32_t n = 1; n <= 4; ++n) b.append(rec(n));
  EXPECT_EQ(b.at(0).eventNumber, 1u);
  EXPECT_EQ(b.at(3).eventNumber, 4u);
  for (uint32_t n = 5; n <= 9; ++n) b.append(rec(n));
  for (int p = 0; p <= 3; ++p) EXPECT_EQ(b.at(p).eventNumber, uint32_t(6 + p));
  b.setCapacity(2);  // shrinking keeps the newest
  EXPECT_EQ(b.at(0).eventNumber, 7u);
  EXPECT_EQ(b.at(2).eventNumber, 9u);
  b.append(rec(10));
  EXPECT_EQ(b.at(2).eventNumber, 10u);
  b.setCapacity(5);  // growing appends after what was kept
  b.append(rec(11));
  EXPECT_EQ(b.at(3).eventNumber, 11u);
  EXPECT_EQ(b.at(4).eventNumber, 0u);
  b.setCapacity(100000);
  EXPECT_EQ(b.capacity(), LiveViewBuffer::kMaxCapacity);
  b.clear();
  EXPECT_EQ(b.liveCount(), 0);
  EXPECT_EQ(b.at(0).eventNumber, 0u);
}

}  // namespace
