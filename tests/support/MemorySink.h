#pragma once
#include <vector>

#include "capture/CaptureEngine.h"

// Keeps written records in memory; can be told to refuse writes.
struct MemorySink : RecordSink {
  std::vector<EventRecord> records;
  bool fail = false;
  bool writeRecord(const EventRecord& r) override {
    if (fail) return false;
    records.push_back(r);
    return true;
  }
};
