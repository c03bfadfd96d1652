#include "tools/ReportSummary.h"

#include <QJsonDocument>
#include <QFileInfo>
#include <QJsonObject>

#include "settings/Texts.h"
#include "tools/RecordReader.h"
#include "view/CellText.h"

namespace ReportSummary {

Range chooseRange(int64_t records, int64_t from, int64_t to, bool all) {
  Range r;
  const int64_t lastEvent = records - 1;
  if (lastEvent < 1) {
    r.status = Range::Status::NoEvents;
    return r;
  }
  if (all || (from <= 0 && to <= 0)) {
    r.first = 1;
    r.last = lastEvent;
    return r;
  }
  r.first = from <= 0 ? 1 : from;
  r.last = to <= 0 ? lastEvent : to;
  if (r.first > lastEvent) {
    r.status = Range::Status::PastEnd;
  } else if (r.first > r.last) {
    r.status = Range::Status::Reversed;
  } else if (r.last > lastEvent) {
    r.last = lastEvent;
    r.clamped = true;
  }
  return r;
}

int64_t Summary::deltaMicros() const {
  return hasEvents ? CellText::microsecondsBetween(startStamp, stopStamp) : 0;
}

Summary summarize(const EventRecord& before, const EventRecord& first, const EventRecord& last, int64_t firstEvent,
                  int64_t lastEvent) {
  Summary s;
  s.hasEvents = true;
  s.first = firstEvent;
  s.last = lastEvent;
  s.events = lastEvent - firstEvent + 1;
  s.startStamp = first.timeStamp;
  s.stopStamp = last.timeStamp;
  s.lineLoad = last.lineLoad;
  s.peakLoad = last.peakLoad;
  s.lineQuality = last.lineQuality;
  auto diff = [&](int counter) { return last.counters[counter] - before.counters[counter]; };
  s.d1Bytes = diff(CntD1);
  s.d2Bytes = diff(CntD2);
  s.parityErrors = diff(CntPe);
  s.framingErrors = diff(CntFe);
  s.lineErrors = diff(CntLe);
  return s;
}

bool read(RecordReader& reader, const Range& range, Summary& out) {
  out = Summary{};
  if (range.status != Range::Status::Ok) return true;
  EventRecord two[2];
  EventRecord last;
  if (!reader.read(range.first - 1, 2, two) || !reader.readOne(range.last, last)) return false;
  out = summarize(two[0], two[1], last, range.first, range.last);
  return true;
}

namespace {
QString stampText(bool has, double stamp, const QLocale& locale) {
  return has ? CellText::timeText(CellText::TimeMode::Absolute, stamp, 0, locale).trimmed() : QStringLiteral("-");
}
}  // namespace

QString startText(const Summary& s, const QLocale& locale) { return stampText(s.hasEvents, s.startStamp, locale); }
QString stopText(const Summary& s, const QLocale& locale) { return stampText(s.hasEvents, s.stopStamp, locale); }
QString periodText(const Summary& s, const QLocale& locale) {
  if (!s.hasEvents) return QStringLiteral("-");
  return CellText::timeText(CellText::TimeMode::Relative, s.stopStamp, s.startStamp, locale).trimmed();
}

QString json(const Summary& s, const QString& file, int pages) {
  QJsonObject o;
  o.insert("file", file);
  o.insert("from", qint64(s.first));
  o.insert("to", qint64(s.last));
  o.insert("events", qint64(s.events));
  o.insert("deltaMicros", qint64(s.deltaMicros()));
  o.insert("lineLoad", s.lineLoad);
  o.insert("peakLoad", s.peakLoad);
  o.insert("lineQuality", s.lineQuality);
  o.insert("d1Bytes", qint64(s.d1Bytes));
  o.insert("d2Bytes", qint64(s.d2Bytes));
  o.insert("parityErrors", qint64(s.parityErrors));
  o.insert("framingErrors", qint64(s.framingErrors));
  o.insert("lineErrors", qint64(s.lineErrors));
  o.insert("pages", pages);
  return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString jobName(const QString& recordFile) {
  return Texts::text(1) + Texts::text(4320) + QFileInfo(recordFile).fileName();
}

}  // namespace ReportSummary
