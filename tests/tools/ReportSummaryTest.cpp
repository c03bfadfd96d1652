#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/tools/ToolFiles.h"
#include "tools/RecordReader.h"
#include "tools/ReportSummary.h"

using ReportSummary::chooseRange;
using Status = ReportSummary::Range::Status;

// Ten events whose counters run up as a recorder keeps them: event n has sent n D1
// bytes, 2n D2 bytes and one parity error at every third event.
static RecordBuilder tenEvents() {
  RecordBuilder b;
  for (int n = 1; n <= 10; ++n) {
    EventRecord& r = b.d1(uint8_t(n));
    r.counters[CntD1] = n;
    r.counters[CntD2] = 2 * n;
    r.counters[CntPe] = n / 3;
    r.lineLoad = uint8_t(n);
    r.peakLoad = 50;
    r.lineQuality = 99;
  }
  return b;
}

TEST(ReportSummary, RangeRules) {
  // 11 records: events 1 .. 10.
  const auto all = chooseRange(11, 4, 6, true);
  EXPECT_EQ(all.status, Status::Ok);
  EXPECT_EQ(all.first, 1);
  EXPECT_EQ(all.last, 10);
  const auto open = chooseRange(11, 0, 0, false);
  EXPECT_EQ(open.first, 1);
  EXPECT_EQ(open.last, 10);
  const auto some = chooseRange(11, 4, 6, false);
  EXPECT_EQ(some.count(), 3);
  const auto single = chooseRange(11, 7, 7, false);
  EXPECT_EQ(single.count(), 1);
  const auto clamped = chooseRange(11, 8, 99, false);
  EXPECT_EQ(clamped.status, Status::Ok);
  EXPECT_TRUE(clamped.clamped);
  EXPECT_EQ(clamped.last, 10);
  EXPECT_EQ(chooseRange(11, 6, 4, false).status, Status::Reversed);
  EXPECT_EQ(chooseRange(11, 11, 12, false).status, Status::PastEnd);
  EXPECT_EQ(chooseRange(11, 11, 0, false).status, Status::PastEnd);  // not "reversed" against the open end
  // Only the start record, or not even that: nothing to print, but no failure either.
  EXPECT_EQ(chooseRange(1, 0, 0, true).status, Status::NoEvents);
  EXPECT_EQ(chooseRange(0, 1, 5, false).status, Status::NoEvents);
  EXPECT_EQ(chooseRange(1, 0, 0, true).count(), 0);
}

TEST(ReportSummary, CountsCoverTheChosenRangeWithItsFirstEvent) {
  QTemporaryDir dir;
  const QString path = dir.filePath("ten.vrd");
  RecordBuilder b = tenEvents();
  ASSERT_TRUE(b.write(path));
  RecordReader reader(path);
  ReportSummary::Summary s;

  ASSERT_TRUE(ReportSummary::read(reader, chooseRange(reader.recordCount(), 0, 0, true), s));
  EXPECT_EQ(s.events, 10);
  EXPECT_EQ(s.d1Bytes, 10);  // the first event's byte counts too
  EXPECT_EQ(s.d2Bytes, 20);
  EXPECT_EQ(s.parityErrors, 3);
  EXPECT_EQ(s.lineLoad, 10);
  EXPECT_NEAR(double(s.deltaMicros()), 9000, 5);  // one millisecond between neighbours (the fixture's stamps drift a little)

  ASSERT_TRUE(ReportSummary::read(reader, chooseRange(reader.recordCount(), 4, 6, false), s));
  EXPECT_EQ(s.first, 4);
  EXPECT_EQ(s.last, 6);
  EXPECT_EQ(s.events, 3);
  EXPECT_EQ(s.d1Bytes, 3);
  EXPECT_EQ(s.d2Bytes, 6);
  EXPECT_EQ(s.parityErrors, 1);  // event 6 only
  EXPECT_EQ(s.lineLoad, 6);
  EXPECT_EQ(s.startStamp, b.records[4].timeStamp);
  EXPECT_NEAR(double(s.deltaMicros()), 2000, 5);

  ASSERT_TRUE(ReportSummary::read(reader, chooseRange(reader.recordCount(), 5, 5, false), s));
  EXPECT_EQ(s.events, 1);
  EXPECT_EQ(s.d1Bytes, 1);
  EXPECT_EQ(s.deltaMicros(), 0);
}

TEST(ReportSummary, EmptyRecordingIsZeroNotAFailure) {
  QTemporaryDir dir;
  const QString path = dir.filePath("empty.vrd");
  ASSERT_TRUE(RecordBuilder().write(path));  // the start record alone
  RecordReader reader(path);
  ReportSummary::Summary s;
  s.events = 99;
  ASSERT_TRUE(ReportSummary::read(reader, chooseRange(reader.recordCount(), 0, 0, true), s));
  EXPECT_FALSE(s.hasEvents);
  EXPECT_EQ(s.events, 0);
  EXPECT_EQ(s.d1Bytes, 0);
  EXPECT_EQ(ReportSummary::startText(s, QLocale::c()), "-");
}

TEST(ReportSummary, ReadFailureIsReported) {
  QTemporaryDir dir;
  const QString path = dir.filePath("ten.vrd");
  ASSERT_TRUE(tenEvents().write(path));
  RecordReader reader(path);
  const auto range = chooseRange(reader.recordCount(), 0, 0, true);
  // The file shrinks after the range was chosen: the last record is gone.
  ASSERT_TRUE(QFile::resize(path, 5 * qint64(kRecordSize)));
  ReportSummary::Summary s;
  EXPECT_FALSE(ReportSummary::read(reader, range, s));
  EXPECT_NE(reader.failure(), RecordReader::Failure::None);
}
