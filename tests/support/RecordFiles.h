#pragma once
// Reading a record file whole, for checking what a recording wrote.
#include <QByteArray>
#include <QFile>
#include <cstring>
#include <functional>
#include <vector>

#include "capture/EventRecord.h"

inline std::vector<EventRecord> readRecordFile(const QString& path) {
  QFile f(path);
  std::vector<EventRecord> out;
  if (!f.open(QIODevice::ReadOnly)) return out;
  const QByteArray all = f.readAll();
  out.resize(size_t(all.size()) / kRecordSize);
  std::memcpy(out.data(), all.constData(), out.size() * kRecordSize);
  return out;
}

inline bool isSystemMark(const EventRecord& r, uint8_t code) {
  return r.markType == Mark::SystemType && r.markCode == code;
}

// Writes count records numbered by their place, one second apart, the first being the
// file-start mark; shape changes each record before it is written.
inline bool writeRecordFile(const QString& path, uint32_t count, const std::function<void(EventRecord&)>& shape = {}) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    EventRecord r = zeroRecord();
    r.eventNumber = i;
    r.timeStamp = 46000.5 + i / 86400.0;
    if (i == 0) {
      r.markType = Mark::SystemType;
      r.markCode = 0;
    }
    if (shape) shape(r);
    if (f.write(reinterpret_cast<const char*>(&r), sizeof r) != qint64(sizeof r)) return false;
  }
  return true;
}
