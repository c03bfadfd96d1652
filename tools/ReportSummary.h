#pragma once
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>

#include "capture/EventRecord.h"

class RecordReader;

// The arithmetic of the printed report: which events a report covers and what its
// summary says about them. Event n is the record at position n; position 0 is the
// file's start record, which is never printed.
namespace ReportSummary {

// The events a report covers, after the user's range met the file.
struct Range {
  enum class Status { Ok, NoEvents, Reversed, PastEnd };
  Status status = Status::Ok;
  int64_t first = 0, last = 0;  // valid for Ok
  bool clamped = false;         // the end asked for lay beyond the last event
  int64_t count() const { return status == Status::Ok ? last - first + 1 : 0; }
};

// from = 0 and to = 0 (or all) mean every event. An end beyond the last event is
// clamped to it; a start beyond it, or a start after the end, covers nothing and says why.
Range chooseRange(int64_t records, int64_t from, int64_t to, bool all);

// What the summary prints. Counts are the differences between the range's last record
// and the record before its first, so the first event's own bytes and errors count.
struct Summary {
  bool hasEvents = false;
  int64_t first = 0, last = 0, events = 0;
  double startStamp = 0, stopStamp = 0;  // the first and the last event's time stamps
  int lineLoad = 0, peakLoad = 0, lineQuality = 0;  // of the last event
  int64_t d1Bytes = 0, d2Bytes = 0, parityErrors = 0, framingErrors = 0, lineErrors = 0;
  int64_t deltaMicros() const;
};

// From the record before the range, the range's first and its last record.
Summary summarize(const EventRecord& before, const EventRecord& first, const EventRecord& last, int64_t firstEvent,
                  int64_t lastEvent);

// Reads the three records of the range; false when a read failed (the reader says why).
// A range without events gives the zero summary and true.
bool read(RecordReader& reader, const Range& range, Summary& out);

// The values as the report prints them: times in the locale's short date and long time
// with six digits of microseconds, the period as days and hh:mm:ss,uuuuuu.
QString startText(const Summary& s, const QLocale& locale);
QString stopText(const Summary& s, const QLocale& locale);
QString periodText(const Summary& s, const QLocale& locale);
// The numbers as one JSON object (for scripts).
QString json(const Summary& s, const QString& file, int pages);

// The print job's title: the application's title, " - Report: " and the file's name
// without its folder.
QString jobName(const QString& recordFile);

}  // namespace ReportSummary
