#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/Clock.h"
#include "capture/EventRecord.h"
#include "capture/LineSettings.h"
#include "capture/LiveViewBuffer.h"

// The values the next record is built from.
struct PendingEvent {
  uint8_t d1Byte = 0, d2Byte = 0, d1Flag = 0, d2Flag = 0;
  uint8_t signalBytes[SignalCount] = {};
  uint8_t errors[ErrorCount] = {};
  uint8_t markCode = 0, markType = 0, triggerNumber = 0;

  // Data bytes, data flags and error flags: what the data handlers clear after each record.
  void clearDataAndErrors();
  void clearAll() { *this = PendingEvent{}; }
};

// Where completed records go: the record file while recording.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Writes the 80 bytes at the current position; false when not all of them reached the file.
  virtual bool writeRecord(const EventRecord& record) = 0;
  // Writes count records in order, as few system calls as the sink can; returns how many
  // whole records reached the file. Nothing after the first one that failed is written.
  virtual size_t writeRecords(const EventRecord* records, size_t count) {
    size_t done = 0;
    while (done < count && writeRecord(records[done])) ++done;
    return done;
  }
};

// Slots of the line activity table.
enum ActivitySlot { ActD1, ActD2, ActS1, ActM1, ActS2, ActM2, ActM3, ActM5, ActPe, ActFe, ActLe, ActivitySlotCount };
using LineActivityTable = std::array<EventRecord, ActivitySlotCount>;

// Owner of the clock state, the running counters and the one routine every record
// goes through. Main thread only.
class CaptureEngine {
 public:
  CaptureEngine(const Clock& clock, LiveViewBuffer& liveView);

  // What was collected for the old sink goes there first.
  void setRecordSink(RecordSink* sink) {
    flushRecords();
    sink_ = sink;
  }
  PendingEvent& pending() { return pending_; }
  const PendingEvent& pending() const { return pending_; }

  // Start-up probe: false when the system has no high-resolution counter.
  bool probeCounter() const { return frequency_ != 0; }

  // Completes the pending event into a record and writes it: 0 on success, 2 when the write failed.
  // Inside a RecordBatch the record is collected instead (0) and written with the batch.
  int WriteEventRecord(uint16_t burstIndex, bool reset);
  // A notification handler's records go out in one write when its batch ends, never
  // later: no record waits in memory across a return to the event loop.
  void beginBatch() { ++batchDepth_; }
  void endBatch();
  // Writes the collected records now (before a program starts, the recording stops or
  // the file is read); false when not all of them reached the file.
  bool flushRecords();
  size_t pendingRecords() const { return batch_.size(); }
  // Records made from here on are stamped as of this CLOCK_MONOTONIC reading (the
  // moment their bytes were read), not as of the moment they are handled; 0 = now.
  void setArrival(uint64_t monotonicNs) { arrivalNs_ = monotonicNs; }
  uint64_t arrival() const { return arrivalNs_; }
  // Writes one mark record (action 0 start, 1 stop, 2 detected) and clears the mark fields again.
  int RecordTriggerMark(int action, int triggerType, int triggerNumber);
  // Writes a system mark (mark type 99) with the pending values as they stand.
  int writeSystemMark(uint8_t markCode, bool reset = false);

  void ResetRecordingStatistics();
  enum class RestoreFrom { FirstRecord, LastRecord };
  void RestoreCountersFromRecord(const EventRecord& record, RestoreFrom which);
  void InitLineActivity();
  void UpdateCharacterTime(const LineSettings& comA);

  // Stamps from here on count from the last record written (after a new file's user start mark).
  void reanchorOnLastRecord();
  void setTimeBaseNow() { timeBase_ = clock_.now(); }
  // The line load averages from now on, over the bytes counted from now on (an appended run).
  void startLoadAveraging();
  void setPreviousRecord(const EventRecord& record) { previous_ = record; }

  const EventRecord& previousRecord() const { return previous_; }
  const EventRecord& lastBuilt() const { return record_; }
  const LineActivityTable& lineActivity() const { return activity_; }
  // Counter readings of each slot's last activity: inactivity is measured on these,
  // so a step of the wall clock cannot fake or hide it.
  const std::array<uint64_t, ActivitySlotCount>& activityTicks() const { return activityTicks_; }
  int64_t counter(CounterIndex i) const { return counters_[i]; }
  uint64_t minimumSpacing() const { return minSpacing_; }
  int32_t charactersPerSecond() const { return charsPerSecond_; }
  uint64_t frequency() const { return frequency_; }
  double timeBase() const { return timeBase_; }
  double lastWrittenTime() const { return lastWritten_; }
  double loadStartTime() const { return loadStart_; }
  // Records written without failure, and failed writes, since the program started.
  uint64_t writtenCount() const { return written_; }
  // How far the last system mark's stamp lay ahead of the wall clock (negative: behind), in seconds.
  double lastMarkLead() const { return markLead_; }
  uint64_t failedCount() const { return failed_; }

 private:
  uint64_t placeOnTimeLine(uint64_t now, uint16_t burstIndex);
  void updateLineActivity(const EventRecord& r);
  void computeStatistics(EventRecord& r);

  const Clock& clock_;
  LiveViewBuffer& liveView_;
  RecordSink* sink_ = nullptr;
  PendingEvent pending_;

  uint64_t frequency_;
  uint64_t firstReading_ = 0;
  uint64_t lastReading_ = 0;
  uint64_t burstStart_ = 0;       // reading of the current burst's first record
  uint64_t lastD1_ = 0, lastD2_ = 0;  // readings of the last byte of each line, 0 = none yet
  int64_t loadBase_[2] = {0, 0};  // D1 and D2 counts where the load averaging began
  int64_t lastDelta_ = 0;
  uint64_t minSpacing_ = 1;
  double timeBase_ = 0;
  double lastWritten_ = 0;
  int32_t charsPerSecond_ = 480;
  double loadStart_ = 0;

  int64_t counters_[CounterCount] = {};
  EventRecord record_;    // reused for every event; its peak byte carries over
  EventRecord previous_;  // the last record written successfully
  LineActivityTable activity_;
  std::array<uint64_t, ActivitySlotCount> activityTicks_{};
  uint64_t written_ = 0;
  uint64_t failed_ = 0;
  double markLead_ = 0;
  int batchDepth_ = 0;
  uint64_t arrivalNs_ = 0;
  std::vector<EventRecord> batch_;
  EventRecord beforeBatch_;  // previous_ before the batch's first record: where a failed write leaves it
};

// Collects the records written while it lives and writes them in one go when the
// outermost one ends.
// Stamps the records of one delivery as of the moment its bytes were read; the
// reading before it comes back at the end of the scope.
class ArrivalScope {
 public:
  ArrivalScope(CaptureEngine& engine, uint64_t monotonicNs) : engine_(engine), before_(engine.arrival()) {
    if (monotonicNs) engine_.setArrival(monotonicNs);
  }
  ~ArrivalScope() { engine_.setArrival(before_); }
  ArrivalScope(const ArrivalScope&) = delete;
  ArrivalScope& operator=(const ArrivalScope&) = delete;

 private:
  CaptureEngine& engine_;
  uint64_t before_;
};

class RecordBatch {
 public:
  explicit RecordBatch(CaptureEngine& engine) : engine_(engine) { engine_.beginBatch(); }
  ~RecordBatch() { engine_.endBatch(); }
  RecordBatch(const RecordBatch&) = delete;
  RecordBatch& operator=(const RecordBatch&) = delete;

 private:
  CaptureEngine& engine_;
};
