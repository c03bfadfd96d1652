#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the record layout is little-endian as stored");

// Mark codes and the system mark type of an event record.
namespace Mark {
constexpr uint8_t Plain = 0;
constexpr uint8_t TriggerStart = 1;
constexpr uint8_t TriggerStop = 2;
constexpr uint8_t TriggerDetected = 3;
constexpr uint8_t Appended = 4;
constexpr uint8_t UserStop = 5;
constexpr uint8_t UserStart = 6;
constexpr uint8_t Debug = 98;
constexpr uint8_t SystemType = 99;
}  // namespace Mark

// Indices into the six signal bytes, in record order.
enum SignalIndex { SigS1Dtr, SigM1Dsr, SigS2Rts, SigM2Cts, SigM5Dcd, SigM3Rng, SignalCount };
// Indices into the six error bytes: D1 side first, then D2 side.
enum ErrorIndex { ErrPe1, ErrFe1, ErrLe1, ErrPe2, ErrFe2, ErrLe2, ErrorCount };
// Indices into the five running counters.
enum CounterIndex { CntD1, CntD2, CntPe, CntFe, CntLe, CounterCount };

// One captured event, exactly as it lies in a record file: 80 bytes, little-endian.
struct EventRecord {
  uint32_t eventNumber;
  uint32_t reserved0;
  double timeStamp;  // OLE Automation date, local time
  uint8_t d1Byte;
  uint8_t d2Byte;
  uint8_t d1Flag;
  uint8_t d2Flag;
  uint8_t signalBytes[SignalCount];
  uint8_t errors[ErrorCount];
  int64_t counters[CounterCount];
  uint8_t lineLoad;
  uint8_t peakLoad;
  uint8_t lineQuality;
  uint8_t markCode;
  uint8_t markType;
  uint8_t triggerNumber;
  uint8_t reserved1[2];

  bool isSystemMark() const { return markType == Mark::SystemType; }
};

constexpr std::size_t kRecordSize = 80;
static_assert(sizeof(EventRecord) == kRecordSize);
static_assert(offsetof(EventRecord, timeStamp) == 8);
static_assert(offsetof(EventRecord, d1Byte) == 16);
static_assert(offsetof(EventRecord, signalBytes) == 20);
static_assert(offsetof(EventRecord, errors) == 26);
static_assert(offsetof(EventRecord, counters) == 32);
static_assert(offsetof(EventRecord, lineLoad) == 72);
static_assert(offsetof(EventRecord, markCode) == 75);
static_assert(offsetof(EventRecord, triggerNumber) == 77);

inline EventRecord zeroRecord() {
  EventRecord r;
  std::memset(&r, 0, sizeof r);
  return r;
}
