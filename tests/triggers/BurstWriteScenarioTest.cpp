// Records collected per notification and written in one go must leave the file exactly
// as writing each record the moment it is built did: checked on the simulated link
// with bursts, handshake changes, line errors and triggers that start programs.
#include <gtest/gtest.h>

#include <cstring>

#include "TriggerRig.h"

namespace {

int gWrites = 0;
ssize_t countingWrite(int fd, const void* data, size_t length) {
  ++gWrites;
  return ::write(fd, data, length);
}

// Each record reaches the live view the moment it is built, which is when the
// one-write-per-event design had it in the file: the two must agree byte for byte.
::testing::AssertionResult fileHoldsEveryRecordBuilt(const TriggerRig& r) {
  const std::vector<EventRecord> file = readRecordFile(r.s.file.name());
  const int built = r.s.liveView.liveCount();
  if (int(file.size()) != built)
    return ::testing::AssertionFailure() << file.size() << " records in the file, " << built << " built";
  for (int i = 0; i < built; ++i)
    if (std::memcmp(&file[size_t(i)], &r.s.liveView.at(i), kRecordSize) != 0)
      return ::testing::AssertionFailure() << "record " << i << " differs";
  return ::testing::AssertionSuccess();
}

TriggerRecord dataTrigger(int type, bool d1, bool d2, const char* hex) {
  TriggerRecord t;
  t.Type = type;
  t.Event = TriggerEvent::Data;
  t.D1 = d1, t.D2 = d2;
  t.Data = QString::fromLatin1(hex);
  t.ExecCommand = true;
  t.CommandFilePath = QStringLiteral("/bin/true");
  return t;
}

constexpr const char* kScenario =
    "rate 921600\n"
    "d2 \"before the start\"\n"
    "wait 1ms\n"
    "d1 \"ATDT0301234567\\r\"\n"  // the start fires in the middle of a burst
    "sync\nwait 2ms\n"
    "d2 \"\\r\\nCONNECT 9600\\r\\n\"\n"
    "set dcd=1 cts=1\n"
    "wait 1ms\n"
    "error d2 parity 41\n"
    "d2 \"data after an error\"\n"
    "error d1 framing \"x\"\n"
    "d1 \"and the other way\"\n"
    "set dtr=1\n"
    "wait 1ms\n"
    "stress 921600 4ms seed=7\n"
    "wait 2ms\n"
    "d2 \"\\r\\nNO CARRIER\\r\\n\"\n"  // the stop, again inside a burst
    "d1 \"after the stop\"\n"
    "wait 5ms\n";

TEST(BurstWrite, FileAfterEachNotificationIsTheOneWriteFile) {
  TriggerRig rig(kScenario);
  rig.add(dataTrigger(TriggerType::Start, true, false, "4154"));           // "AT"
  rig.add(dataTrigger(TriggerType::Stop, false, true, "43415252494552"));  // "CARRIER"
  int programStarts = 0;
  rig.launcher.onStart = [&] {
    ++programStarts;
    EXPECT_TRUE(fileHoldsEveryRecordBuilt(rig)) << "when a program starts";
  };
  rig.s.file.setWriteCall(countingWrite);
  gWrites = 0;
  rig.start();
  ASSERT_TRUE(rig.s.recorder.recordDown());

  int steps = 0;
  int records = 0;
  while (rig.s.recorder.recordDown() && steps++ < 200) {
    rig.clock.advance(kMs);
    rig.link.pump();
    ASSERT_TRUE(fileHoldsEveryRecordBuilt(rig)) << "after step " << steps;
    records = rig.s.liveView.liveCount();
    QCoreApplication::processEvents();  // the stop the last stop trigger asked for
    if (rig.s.recorder.recordDown()) {
      ASSERT_TRUE(fileHoldsEveryRecordBuilt(rig)) << "after step " << steps;
    }
  }
  EXPECT_EQ(rig.stops, 1);
  EXPECT_EQ(programStarts, 2);
  EXPECT_TRUE(rig.messages.reports.empty());

  const std::vector<EventRecord> file = readRecordFile(rig.s.file.name());
  ASSERT_GT(records, 400);  // bursts, errors, line changes and marks
  ASSERT_GE(int(file.size()), records);
  for (size_t i = 0; i < file.size(); ++i) ASSERT_EQ(file[i].eventNumber, i);
  EXPECT_TRUE(isSystemMark(file.back(), Mark::UserStop));
  int errors = 0, markStarts = 0;
  for (const EventRecord& r : file) {
    errors += r.errors[ErrPe2] + r.errors[ErrFe1];
    markStarts += r.markCode == Mark::TriggerStart;
  }
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(markStarts, 1);
  // Bursts of dozens of characters per step: far fewer writes than records.
  EXPECT_LT(gWrites * 5, int(file.size())) << gWrites << " writes for " << file.size() << " records";
}

}  // namespace
