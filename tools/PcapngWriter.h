#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/Export.h"

// A Wireshark capture (pcapng) of recorded events, one interface of link type 250
// (RTAC serial), time stamps in microseconds. Every packet starts with the link type's
// 12-byte header (UTC seconds and microseconds, big-endian; event type; control lines;
// two zero bytes). A run of one data line's bytes is one packet; it ends when the
// other line sends, when a line event comes or when the line was idle longer than the
// frame gap. Handshake changes and marks are status packets without data, a mark
// carrying its label as the packet comment; each line error is a packet of its own.
class PcapngWriter {
 public:
  // Event types and control-line bits of the serial header.
  enum : uint8_t {
    StatusChange = 0x00,
    DataTx = 0x01,
    DataRx = 0x02,
    FramingError = 0x07,
    ParityError = 0x08,
    Overflow = 0x0A
  };
  enum : uint8_t { Cts = 0x01, Dcd = 0x02, Dsr = 0x04, Rts = 0x08, Dtr = 0x10, Ring = 0x20 };
  // Longest data run in one packet; a longer one continues in the next packet.
  static constexpr std::size_t kMaxPayload = 65535 - 12;

  PcapngWriter(const Export::Options& options, std::string& out);

  void appendHeader();
  void add(const EventRecord& record);
  // Writes the run still open.
  void finish() { endRun(); }
  int64_t packets() const { return packets_; }

  static uint8_t controlLines(const EventRecord& record);

 private:
  // Microseconds since 1970 in UTC of a local OLE date.
  int64_t utcMicros(int64_t localMicros);
  void packet(uint8_t type, uint8_t lines, int64_t utc, std::string_view data, uint32_t direction,
              std::string_view comment = {});
  void endRun();

  std::string& out_;
  int64_t gapMicros_;
  int64_t packets_ = 0;
  bool havePrevious_ = false;
  uint8_t previousSignals_[SignalCount]{};
  // The open run.
  int runLine_ = 0;  // 0 none, 1 D1, 2 D2
  uint8_t runLines_ = 0;
  int64_t runUtc_ = 0, lastLocalMicros_ = 0;
  std::string payload_;
  // The local hour whose UTC offset was worked out last.
  int64_t cachedHour_ = INT64_MIN, cachedOffset_ = 0;
};
