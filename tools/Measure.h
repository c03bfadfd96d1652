#pragma once
#include <QLocale>
#include <QString>
#include <cstdint>

class RecordReader;

// The delta time measurement between two events, in the words of the measurement page.
namespace Measure {

struct Result {
  bool ok = false;  // both events were read
  int64_t from = 0, to = 0;
  double fromStamp = 0, toStamp = 0;
  int64_t micros = 0;  // to - from, rounded to the microsecond
  QString fromText;    // absolute time of "from": date, long time, ",uuuuuu"
  QString toText;
  QString deltaText;  // "0 day(s)  00:00:01,250000"
  QString secondsText, millisecondsText, microsecondsText;  // rounded, thousands grouped
  QString message;  // why ok is false
};

// Reads both events; ok false when one lies outside the file or cannot be read (the
// reader says why).
Result measure(RecordReader& reader, int64_t from, int64_t to, const QLocale& locale);
// The measurement from two stamps already at hand.
Result between(double fromStamp, double toStamp, const QLocale& locale);

// A whole number with the locale's thousands separator: "1.234.567".
QString grouped(int64_t value, const QLocale& locale);

}  // namespace Measure
