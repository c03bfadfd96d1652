#include "tools/Measure.h"

#include <cmath>

#include "capture/EventRecord.h"
#include "settings/Texts.h"
#include "tools/RecordReader.h"
#include "view/CellText.h"

namespace TextNo {
constexpr int Empty = 9954, OutOfRange = 9959;
}

namespace Measure {

namespace {
// The shared time texts end with a blank for the grid's cells; the fields take them bare.
QString bare(QString text) {
  if (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}
}  // namespace

QString grouped(int64_t value, const QLocale& locale) { return locale.toString(qlonglong(value)); }

Result between(double fromStamp, double toStamp, const QLocale& locale) {
  using CellText::TimeMode;
  Result r;
  r.ok = true;
  r.fromStamp = fromStamp;
  r.toStamp = toStamp;
  r.micros = CellText::microsecondsBetween(fromStamp, toStamp);
  r.fromText = bare(CellText::timeText(TimeMode::Absolute, fromStamp, 0, locale));
  r.toText = bare(CellText::timeText(TimeMode::Absolute, toStamp, 0, locale));
  r.deltaText = bare(CellText::timeText(TimeMode::Relative, toStamp, fromStamp, locale));
  // Rounded halves away from zero, from the whole microseconds, so that the three fields agree.
  r.secondsText = grouped(std::llround(double(r.micros) / 1e6), locale);
  r.millisecondsText = grouped(std::llround(double(r.micros) / 1e3), locale);
  r.microsecondsText = grouped(r.micros, locale);
  return r;
}

Result measure(RecordReader& reader, int64_t from, int64_t to, const QLocale& locale) {
  Result r;
  r.from = from;
  r.to = to;
  const int64_t last = reader.refresh() - 1;
  if (last < 1) {
    r.message = Texts::text(TextNo::Empty).arg(reader.path());
    return r;
  }
  for (const int64_t event : {from, to}) {
    if (event < 1 || event > last) {
      r.message = Texts::text(TextNo::OutOfRange).arg(event).arg(last);
      return r;
    }
  }
  EventRecord a, b;
  if (!reader.readOne(from, a) || !reader.readOne(to, b)) {
    r.message = reader.message();
    return r;
  }
  r = between(a.timeStamp, b.timeStamp, locale);
  r.from = from;
  r.to = to;
  return r;
}

}  // namespace Measure
