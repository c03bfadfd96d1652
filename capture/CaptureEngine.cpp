#include "capture/CaptureEngine.h"

#include <algorithm>
#include <cstring>

void PendingEvent::clearDataAndErrors() {
  d1Byte = d2Byte = d1Flag = d2Flag = 0;
  std::memset(errors, 0, sizeof errors);
}

namespace {

// Records collected at most before a batch is written (640 KB).
constexpr size_t kMaxBatch = 8192;

// Signal slots in record order S1, M1, S2, M2, M5, M3.
constexpr ActivitySlot kSignalSlot[SignalCount] = {ActS1, ActM1, ActS2, ActM2, ActM5, ActM3};

}  // namespace

CaptureEngine::CaptureEngine(const Clock& clock, LiveViewBuffer& liveView)
    : clock_(clock), liveView_(liveView), frequency_(clock.frequency()) {
  record_ = zeroRecord();
  previous_ = beforeBatch_ = zeroRecord();
  batch_.reserve(1024);  // the first burst of a recording costs no allocation
  activity_.fill(zeroRecord());
  loadStart_ = timeBase_ = lastWritten_ = clock_.now();
  UpdateCharacterTime(LineSettings{});
}

int CaptureEngine::WriteEventRecord(uint16_t burstIndex, bool reset) {
  EventRecord& r = record_;
  if (reset) {
    r.eventNumber = 0;
    r.lineLoad = r.peakLoad = r.lineQuality = 0;
    previous_.eventNumber = 0;
  } else {
    r.eventNumber = previous_.eventNumber + 1;
  }

  // The moment the bytes were read, where the device knows it: the time the event
  // loop took to get here is no part of the line's timing.
  uint64_t current = arrivalNs_ ? clock_.ticksAtMonotonic(arrivalNs_) : clock_.ticks();
  double stamp;
  if (frequency_ == 0) {
    // No counter to lay characters out with: the wall clock is all there is.
    stamp = clock_.now();
    timeBase_ = firstReading_ ? timeBase_ : stamp;
    firstReading_ = lastReading_ = current ? current : 1;
  } else if (firstReading_ == 0) {
    firstReading_ = lastReading_ = current;
    burstStart_ = current;
    lastD1_ = lastD2_ = 0;
    lastDelta_ = 0;
    stamp = clock_.now();
    timeBase_ = stamp;
  } else {
    current = placeOnTimeLine(current, burstIndex);
    const uint64_t elapsed = current - firstReading_;
    stamp = timeBase_ + (double(elapsed) / double(frequency_)) / 86400.0;
  }
  if (pending_.d1Flag) lastD1_ = current;
  if (pending_.d2Flag) lastD2_ = current;
  lastReading_ = current;
  lastWritten_ = stamp;
  r.timeStamp = stamp;

  r.d1Byte = pending_.d1Byte;
  r.d2Byte = pending_.d2Byte;
  r.d1Flag = pending_.d1Flag;
  r.d2Flag = pending_.d2Flag;
  std::memcpy(r.signalBytes, pending_.signalBytes, sizeof r.signalBytes);
  std::memcpy(r.errors, pending_.errors, sizeof r.errors);
  r.markCode = pending_.markCode;
  r.markType = pending_.markType;
  r.triggerNumber = pending_.triggerNumber;
  r.reserved0 = 0;
  r.reserved1[0] = r.reserved1[1] = 0;

  updateLineActivity(r);
  std::memcpy(r.counters, counters_, sizeof r.counters);
  computeStatistics(r);

  liveView_.append(r);

  if (batchDepth_ > 0 && sink_) {
    if (batch_.empty()) beforeBatch_ = previous_;
    batch_.push_back(r);
    previous_ = r;
    // A flood in one notification is written in slices: memory stays bounded.
    if (batch_.size() >= kMaxBatch) flushRecords();
    return 0;
  }
  if (!sink_ || !sink_->writeRecord(r)) {
    ++failed_;
    return 2;
  }
  previous_ = r;
  ++written_;
  return 0;
}

void CaptureEngine::endBatch() {
  if (batchDepth_ > 0 && --batchDepth_ == 0) flushRecords();
}

bool CaptureEngine::flushRecords() {
  if (batch_.empty()) return true;
  const size_t count = batch_.size();
  const size_t done = sink_ ? sink_->writeRecords(batch_.data(), count) : 0;
  written_ += done;
  if (done < count) {
    // Numbering goes on from the last record in the file, as after a single failed write.
    failed_ += count - done;
    previous_ = done > 0 ? batch_[done - 1] : beforeBatch_;
  }
  batch_.clear();
  return done == count;
}

// Each line delivers at most one character per character time, but the two lines are
// independent: a byte is kept one spacing after the previous byte of its own line.
// Characters drained in one burst are laid out from the reading of the burst's first
// record, and no stamp runs further ahead of the clock than that layout, so the
// stamps of a busy full-duplex link never drift ahead. Stamps never decrease.
// Readings are compared as signed modular differences, so a counter that wraps
// still gives the small positive step.
uint64_t CaptureEngine::placeOnTimeLine(uint64_t now, uint16_t burstIndex) {
  auto later = [](uint64_t a, uint64_t b) { return int64_t(a - b) > 0 ? a : b; };
  lastDelta_ = int64_t(now - lastReading_);
  if (burstIndex == 0) burstStart_ = now;
  // From the third character of a burst on, the layout alone decides.
  uint64_t t = burstIndex >= 2 ? burstStart_ : now;
  if (pending_.d1Flag && lastD1_) t = later(t, lastD1_ + minSpacing_);
  if (pending_.d2Flag && lastD2_) t = later(t, lastD2_ + minSpacing_);
  if (pending_.d1Flag || pending_.d2Flag) {
    const uint64_t limit = later(now, burstStart_ + (uint64_t(burstIndex) + 1) * minSpacing_);
    if (int64_t(t - limit) > 0) t = limit;
  }
  return later(t, lastReading_);
}

// Activity is stamped with the record's own counter reading: no further clock read per event.
void CaptureEngine::updateLineActivity(const EventRecord& r) {
  for (int s = 0; s < SignalCount; ++s) {
    EventRecord& slot = activity_[kSignalSlot[s]];
    if (r.signalBytes[s] == 1 || slot.signalBytes[s] != 0) {
      slot.signalBytes[s] = r.signalBytes[s];
      slot.timeStamp = r.timeStamp;
      activityTicks_[size_t(&slot - activity_.data())] = lastReading_;
    }
  }
  // Every byte on a line is activity on it, repeated bytes included.
  if (r.d1Flag) {
    ++counters_[CntD1];
    activity_[ActD1].d1Flag = 1;
    activity_[ActD1].d1Byte = r.d1Byte;
    activity_[ActD1].timeStamp = r.timeStamp;
    activityTicks_[ActD1] = lastReading_;
  }
  if (r.d2Flag) {
    ++counters_[CntD2];
    activity_[ActD2].d2Flag = 1;
    activity_[ActD2].d2Byte = r.d2Byte;
    activity_[ActD2].timeStamp = r.timeStamp;
    activityTicks_[ActD2] = lastReading_;
  }
  // One error kind on both sides in one record counts once.
  const struct {
    ErrorIndex d1, d2;
    ActivitySlot slot;
    CounterIndex counter;
  } kinds[] = {{ErrPe1, ErrPe2, ActPe, CntPe}, {ErrFe1, ErrFe2, ActFe, CntFe}, {ErrLe1, ErrLe2, ActLe, CntLe}};
  for (const auto& k : kinds) {
    if (!r.errors[k.d1] && !r.errors[k.d2]) continue;
    ++counters_[k.counter];
    EventRecord& slot = activity_[k.slot];
    slot.errors[k.d1] = r.errors[k.d1];
    slot.errors[k.d2] = r.errors[k.d2];
    slot.timeStamp = r.timeStamp;
      activityTicks_[size_t(&slot - activity_.data())] = lastReading_;
  }
}

void CaptureEngine::computeStatistics(EventRecord& r) {
  const int64_t seconds = int64_t((r.timeStamp - loadStart_) * 86400.0);
  const int64_t n = std::max(counters_[CntD1] - loadBase_[0], counters_[CntD2] - loadBase_[1]);
  int64_t load;
  if (seconds >= 1)
    load = charsPerSecond_ > 0 ? n * 100 / (seconds * int64_t(charsPerSecond_)) : 0;
  else
    load = n > 0 ? 100 : 0;
  // Above 100 shows a burst; the byte cannot hold more than 255.
  r.lineLoad = uint8_t(std::clamp<int64_t>(load, 0, 255));
  r.peakLoad = std::max(r.peakLoad, r.lineLoad);

  const int64_t data = counters_[CntD1] + counters_[CntD2];
  const int64_t errors = counters_[CntPe] + counters_[CntFe] + counters_[CntLe];
  r.lineQuality = errors >= data ? 0 : uint8_t((1.0 - double(errors) / double(data)) * 100.0);
}

int CaptureEngine::RecordTriggerMark(int action, int triggerType, int triggerNumber) {
  // A mark carries the line states, never a byte or an error: a byte the closed gate
  // discarded must not come back in it.
  pending_.clearDataAndErrors();
  pending_.markCode = uint8_t(action + 1);
  pending_.markType = uint8_t(triggerType);
  pending_.triggerNumber = uint8_t(triggerNumber);
  const int result = WriteEventRecord(0, false);
  pending_.markCode = pending_.markType = pending_.triggerNumber = 0;
  return result;
}

int CaptureEngine::writeSystemMark(uint8_t markCode, bool reset) {
  pending_.markCode = markCode;
  pending_.markType = Mark::SystemType;
  pending_.triggerNumber = 0;
  const int result = WriteEventRecord(0, reset);
  markLead_ = (record_.timeStamp - clock_.now()) * 86400.0;
  pending_.markCode = pending_.markType = 0;
  return result;
}

void CaptureEngine::ResetRecordingStatistics() {
  std::fill(std::begin(counters_), std::end(counters_), 0);
  loadBase_[0] = loadBase_[1] = 0;
  timeBase_ = lastWritten_ = loadStart_ = clock_.now();
  InitLineActivity();
  firstReading_ = lastReading_ = 0;
}

void CaptureEngine::RestoreCountersFromRecord(const EventRecord& record, RestoreFrom which) {
  std::memcpy(counters_, record.counters, sizeof counters_);
  if (which == RestoreFrom::FirstRecord) {
    timeBase_ = record.timeStamp;
    firstReading_ = lastReading_ = burstStart_ = clock_.ticks();
    if (firstReading_ == 0) firstReading_ = lastReading_ = burstStart_ = 1;
    lastD1_ = lastD2_ = 0;
  } else {
    lastWritten_ = record.timeStamp;
  }
}

void CaptureEngine::InitLineActivity() {
  const double now = clock_.now();
  for (EventRecord& slot : activity_) {
    slot = zeroRecord();
    slot.timeStamp = now;
  }
  activityTicks_.fill(clock_.ticks());
  activity_[ActD1].d1Byte = pending_.d1Byte;
  activity_[ActD1].d1Flag = pending_.d1Flag;
  activity_[ActD2].d2Byte = pending_.d2Byte;
  activity_[ActD2].d2Flag = pending_.d2Flag;
  for (int s = 0; s < SignalCount; ++s) activity_[kSignalSlot[s]].signalBytes[s] = pending_.signalBytes[s];
  for (ActivitySlot slot : {ActPe, ActFe, ActLe})
    std::memcpy(activity_[slot].errors, pending_.errors, sizeof pending_.errors);
}

void CaptureEngine::UpdateCharacterTime(const LineSettings& comA) {
  const int bits = comA.bitsPerCharacter();
  if (comA.baud <= 0) return;
  charsPerSecond_ = comA.baud / bits;
  minSpacing_ = uint64_t(bits) * frequency_ / uint64_t(comA.baud) + 1;
}

void CaptureEngine::startLoadAveraging() {
  loadStart_ = clock_.now();
  loadBase_[0] = counters_[CntD1];
  loadBase_[1] = counters_[CntD2];
}

void CaptureEngine::reanchorOnLastRecord() {
  timeBase_ = lastWritten_;
  firstReading_ = lastReading_;
}
