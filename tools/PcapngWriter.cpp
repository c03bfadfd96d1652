#include "tools/PcapngWriter.h"

#include <cmath>
#include <cstring>
#include <ctime>

#include "capture/Clock.h"
#include "view/CellText.h"

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A, kInterface = 1, kEnhancedPacket = 6;
constexpr uint16_t kLinkTypeRtacSerial = 250;
constexpr uint16_t kOptEnd = 0, kOptComment = 1, kOptFlags = 2, kOptTsResol = 9, kOptUserAppl = 4;
// Packet flags: the direction in bits 0 and 1.
constexpr uint32_t kInbound = 1, kOutbound = 2;

void put16(std::string& out, uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); }
void put32(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }
void putBe32(std::string& out, uint32_t v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  out.append(b, 4);
}
void pad(std::string& out) {
  while (out.size() % 4) out.push_back('\0');
}
void option(std::string& out, uint16_t code, std::string_view value) {
  put16(out, code);
  put16(out, uint16_t(value.size()));
  out.append(value);
  pad(out);
}
// Fills in the block length, front and back, of the block that starts at start.
void closeBlock(std::string& out, std::size_t start) {
  const uint32_t length = uint32_t(out.size() - start + 4);
  std::memcpy(&out[start + 4], &length, 4);
  put32(out, length);
}

int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

PcapngWriter::PcapngWriter(const Export::Options& options, std::string& out)
    : out_(out), gapMicros_(options.gapMicros >= 0 ? options.gapMicros : Export::defaultGapMicros(options.line)) {
  payload_.reserve(4096);
}

uint8_t PcapngWriter::controlLines(const EventRecord& r) {
  uint8_t v = 0;
  if (r.signalBytes[SigM2Cts]) v |= Cts;
  if (r.signalBytes[SigM5Dcd]) v |= Dcd;
  if (r.signalBytes[SigM1Dsr]) v |= Dsr;
  if (r.signalBytes[SigS2Rts]) v |= Rts;
  if (r.signalBytes[SigS1Dtr]) v |= Dtr;
  if (r.signalBytes[SigM3Rng]) v |= Ring;
  return v;
}

void PcapngWriter::appendHeader() {
  std::size_t start = out_.size();
  put32(out_, kSectionHeader);
  put32(out_, 0);
  put32(out_, 0x1A2B3C4D);
  put16(out_, 1);
  put16(out_, 0);
  put32(out_, 0xFFFFFFFF);  // section length not given
  put32(out_, 0xFFFFFFFF);
  option(out_, kOptUserAppl, "vorlog");
  option(out_, kOptEnd, {});
  closeBlock(out_, start);

  start = out_.size();
  put32(out_, kInterface);
  put32(out_, 0);
  put16(out_, kLinkTypeRtacSerial);
  put16(out_, 0);
  put32(out_, 65535);                                      // snap length: the longest packet we write
  option(out_, kOptTsResol, std::string_view("\x06", 1));  // microseconds
  option(out_, kOptEnd, {});
  closeBlock(out_, start);
}

int64_t PcapngWriter::utcMicros(int64_t localMicros) {
  // The zone rules are asked once per local hour: offsets change on the hour.
  const int64_t localSeconds = floorDiv(localMicros, 1'000'000);
  const int64_t hour = floorDiv(localSeconds, 3600);
  if (hour != cachedHour_) {
    cachedHour_ = hour;
    const time_t t = time_t(hour * 3600);
    struct tm tm {};
    gmtime_r(&t, &tm);
    tm.tm_isdst = -1;
    const time_t utc = mktime(&tm);
    cachedOffset_ = utc == time_t(-1) ? 0 : int64_t(t) - int64_t(utc);
  }
  return localMicros - cachedOffset_ * 1'000'000;
}

void PcapngWriter::packet(uint8_t type, uint8_t lines, int64_t utc, std::string_view data, uint32_t direction,
                          std::string_view comment) {
  const std::size_t start = out_.size();
  put32(out_, kEnhancedPacket);
  put32(out_, 0);
  put32(out_, 0);  // interface
  const uint64_t ts = uint64_t(utc < 0 ? 0 : utc);
  put32(out_, uint32_t(ts >> 32));
  put32(out_, uint32_t(ts));
  const uint32_t length = uint32_t(12 + data.size());
  put32(out_, length);
  put32(out_, length);
  putBe32(out_, uint32_t(ts / 1'000'000));
  putBe32(out_, uint32_t(ts % 1'000'000));
  out_.push_back(char(type));
  out_.push_back(char(lines));
  out_.append(2, '\0');
  out_.append(data);
  pad(out_);
  if (direction || !comment.empty()) {
    if (!comment.empty()) option(out_, kOptComment, comment.substr(0, 65000));
    if (direction) {
      put16(out_, kOptFlags);
      put16(out_, 4);
      put32(out_, direction);
    }
    option(out_, kOptEnd, {});
  }
  closeBlock(out_, start);
  ++packets_;
}

void PcapngWriter::endRun() {
  if (runLine_ == 0) return;
  packet(runLine_ == 1 ? DataTx : DataRx, runLines_, runUtc_, payload_, runLine_ == 1 ? kOutbound : kInbound);
  payload_.clear();
  runLine_ = 0;
}

void PcapngWriter::add(const EventRecord& r) {
  const double days = r.timeStamp;
  const int64_t local =
      std::isfinite(days) && std::fabs(days) < 3e6 ? std::llround(unixLocalFromOleDate(days) * 1e6) : 0;
  const uint8_t lines = controlLines(r);
  const bool changed = havePrevious_ && std::memcmp(previousSignals_, r.signalBytes, SignalCount) != 0;
  std::memcpy(previousSignals_, r.signalBytes, SignalCount);
  havePrevious_ = true;
  bool error = false;
  for (int i = 0; i < ErrorCount; ++i) error = error || r.errors[i];
  const bool data = CellText::flagSet(r.d1Flag) || CellText::flagSet(r.d2Flag);
  // A record with neither data, error nor mark is a change of the handshake lines.
  const bool status = changed || (!data && !error && r.markCode == 0);

  if (r.markCode != 0 || error || status) {
    endRun();
    const int64_t utc = utcMicros(local);
    if (r.markCode != 0) packet(StatusChange, lines, utc, {}, 0, CellText::markText(r).toStdString());
    static constexpr uint8_t kErrorTypes[3] = {ParityError, FramingError, Overflow};
    for (int i = 0; i < ErrorCount; ++i)
      if (r.errors[i]) packet(kErrorTypes[i % 3], lines, utc, {}, i < 3 ? kOutbound : kInbound);
    if (status) packet(StatusChange, lines, utc, {}, 0);
  }
  // An error record's own byte starts a new run after the error packet.
  for (int line = 1; line <= 2; ++line) {
    if (!CellText::flagSet(line == 1 ? r.d1Flag : r.d2Flag)) continue;
    if (runLine_ != line || local - lastLocalMicros_ > gapMicros_ || payload_.size() >= kMaxPayload) {
      endRun();
      runLine_ = line;
      runLines_ = lines;
      runUtc_ = utcMicros(local);
    }
    payload_.push_back(char(line == 1 ? r.d1Byte : r.d2Byte));
    lastLocalMicros_ = local;
  }
}
