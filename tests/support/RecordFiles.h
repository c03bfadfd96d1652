#pragma once
// Reading a record file whole, for checking what a recording wrote.
#include <QByteArray>
#include <QFile>
#include <cstring>
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
