#pragma once
// Record files for the analysis tool tests, written as a recorder would lay them out.
#include <QFile>
#include <QString>
#include <vector>

#include "capture/EventRecord.h"

struct RecordBuilder {
  std::vector<EventRecord> records;
  double stamp = 46000.5;  // a day in 2025, noon

  RecordBuilder() { add().markType = Mark::SystemType; }  // the file start record
  EventRecord& add() {
    EventRecord r = zeroRecord();
    r.eventNumber = uint32_t(records.size());
    r.timeStamp = stamp;
    stamp += 0.001 / 86400.0;  // one millisecond apart
    records.push_back(r);
    return records.back();
  }
  EventRecord& d1(uint8_t b) { EventRecord& r = add(); r.d1Flag = 1; r.d1Byte = b; return r; }
  EventRecord& d2(uint8_t b) { EventRecord& r = add(); r.d2Flag = 1; r.d2Byte = b; return r; }
  bool write(const QString& path) const {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(reinterpret_cast<const char*>(records.data()), qint64(records.size() * kRecordSize)) ==
               qint64(records.size() * kRecordSize);
  }
};
