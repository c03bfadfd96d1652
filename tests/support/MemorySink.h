#pragma once
#include <cstddef>
#include <limits>
#include <vector>

#include "capture/CaptureEngine.h"

// Keeps written records in memory; can be told to refuse writes, or to fill up after
// room records. Counts the calls that reached it, single records and batches alike.
struct MemorySink : RecordSink {
  std::vector<EventRecord> records;
  bool fail = false;
  size_t room = std::numeric_limits<size_t>::max();
  int writeCalls = 0;
  std::vector<size_t> batchSizes;  // records per call, in call order

  bool writeRecord(const EventRecord& r) override {
    ++writeCalls;
    batchSizes.push_back(1);
    return take(r);
  }
  size_t writeRecords(const EventRecord* r, size_t count) override {
    ++writeCalls;
    batchSizes.push_back(count);
    size_t done = 0;
    while (done < count && take(r[done])) ++done;
    return done;
  }

 private:
  bool take(const EventRecord& r) {
    if (fail || records.size() >= room) return false;
    records.push_back(r);
    return true;
  }
};
