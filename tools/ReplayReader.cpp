#include "tools/ReplayReader.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "capture/PortDevice.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int Empty = 9340, CutOff = 9341, NotARecordFile = 9342, BadFlag = 9343, BadTime = 9344, BadMark = 9345;
constexpr int OnlyMarks = 9346, Changed = 9347;
}  // namespace TextNo

namespace {

// OLE Automation dates from 1 January 100 to 31 December 9999.
constexpr double kFirstDate = -657434.0, kAfterLastDate = 2958466.0;

bool isMark(const EventRecord& r) { return r.markCode != Mark::Plain || r.markType == Mark::SystemType; }

// The record reader's message arguments (file, event, reason) in the order its texts take them.
QStringList readerArguments(const RecordReader& r) {
  const QStringList a = r.messageArguments();
  switch (r.failure()) {
    case RecordReader::Failure::Open:
      return {a.value(0), a.value(2)};
    case RecordReader::Failure::NotRegular:
      return {a.value(0)};
    case RecordReader::Failure::Short:
      return {a.value(0), a.value(1)};
    default:
      return a;
  }
}

}  // namespace

QString ReplayReader::Problem::text() const {
  const QString t = Texts::text(number);
  const QStringList& a = arguments;
  // In one pass: a file name holding "%1" stays as it is.
  switch (a.size()) {
    case 0:
      return t;
    case 1:
      return t.arg(a[0]);
    case 2:
      return t.arg(a[0], a[1]);
    default:
      return t.arg(a[0], a[1], a[2]);
  }
}

bool ReplayReader::plausible(const EventRecord& r, int* detail, QString* value) {
  const uint8_t* bytes = &r.d1Flag;  // the flags, the six lines and the six errors lie together
  for (int i = 0; i < 2 + SignalCount + ErrorCount; ++i) {
    if (bytes[i] > 1) {
      *detail = TextNo::BadFlag;
      *value = QString::number(bytes[i]);
      return false;
    }
  }
  if (!std::isfinite(r.timeStamp) || r.timeStamp < kFirstDate || r.timeStamp >= kAfterLastDate) {
    *detail = TextNo::BadTime;
    *value = QString::number(r.timeStamp, 'g', 17);
    return false;
  }
  if (r.markCode > Mark::UserStart && r.markCode != Mark::Debug) {
    *detail = TextNo::BadMark;
    *value = QString::number(r.markCode);
    return false;
  }
  return true;
}

uint8_t ReplayReader::statusOf(const EventRecord& r, bool endA) {
  const uint8_t* s = r.signalBytes;
  // The capture reads DTR on ComB's DSR input and RTS on its CTS input.
  if (!endA) return uint8_t((s[SigS1Dtr] ? ModemBit::Dsr : 0) | (s[SigS2Rts] ? ModemBit::Cts : 0));
  return uint8_t((s[SigM1Dsr] ? ModemBit::Dsr : 0) | (s[SigM2Cts] ? ModemBit::Cts : 0) |
                 (s[SigM5Dcd] ? ModemBit::Dcd : 0) | (s[SigM3Rng] ? ModemBit::Ri : 0));
}

void ReplayReader::fail(int number, const QStringList& arguments) {
  problem_.number = number;
  problem_.arguments = arguments;
  itemCount_ = itemNext_ = 0;
}

void ReplayReader::close() {
  reader_.close();
  records_ = 0;
  block_.clear();
  initial_[0] = initial_[1] = 0;
  rewind();
}

bool ReplayReader::open(const QString& path) {
  close();
  path_ = path;
  problem_ = Problem{};
  if (!reader_.open(path)) {
    fail(reader_.messageNumber(), readerArguments(reader_));
    return false;
  }
  // Only what the file holds now: a recording into the replayed file must not feed
  // the replay its own events without end.
  records_ = reader_.recordCount();
  const int64_t size = records_ * int64_t(kRecordSize);
  const int64_t tail = int64_t(QFileInfo(path).size()) - size;
  if (records_ == 0 && tail <= 0) {
    fail(TextNo::Empty, {path});
    reader_.close();
    return false;
  }
  // Every record is looked at before the first is played: a damaged file gives no recording at all.
  std::vector<EventRecord> block(size_t(std::min<int64_t>(records_, RecordReader::kBlockRecords)));
  bool plain = false;
  for (int64_t first = 0; first < records_; first += int64_t(block.size())) {
    const int64_t count = std::min<int64_t>(records_ - first, int64_t(block.size()));
    if (!reader_.read(first, count, block.data())) {
      fail(reader_.messageNumber(), readerArguments(reader_));
      reader_.close();
      return false;
    }
    for (int64_t i = 0; i < count; ++i) {
      const EventRecord& r = block[size_t(i)];
      int detail = 0;
      QString value;
      if (!plausible(r, &detail, &value)) {
        fail(TextNo::NotARecordFile, {path, QString::number(first + i), Texts::text(detail).arg(value)});
        reader_.close();
        return false;
      }
      if (!plain && !isMark(r)) {
        plain = true;
        initial_[0] = statusOf(r, false);
        initial_[1] = statusOf(r, true);
      }
    }
  }
  // Whole records that are not a recording say more about the file than its size does.
  if (tail > 0) {
    // A recording keeps whole records even when killed: a part of one means the file
    // was cut off on its way here, or is something else.
    fail(TextNo::CutOff, {path, QString::number(tail)});
    reader_.close();
    return false;
  }
  if (!plain) {
    fail(TextNo::OnlyMarks, {path});
    reader_.close();
    return false;
  }
  rewind();
  return true;
}

void ReplayReader::rewind() {
  blockFirst_ = position_ = 0;
  block_.clear();
  itemCount_ = itemNext_ = 0;
  started_ = seenPlain_ = gapFollows_ = false;
  previousStamp_ = line_ = 0;
  status_[0] = initial_[0];
  status_[1] = initial_[1];
}

bool ReplayReader::fillBlock() {
  blockFirst_ = position_;
  const int64_t count = std::min<int64_t>(records_ - position_, kBlockRecords);
  block_.resize(size_t(count));
  if (!reader_.read(position_, count, block_.data())) {
    block_.clear();
    // Shorter than when it was checked: replaced or cut while replaying.
    if (reader_.failure() == RecordReader::Failure::Short)
      fail(TextNo::Changed, {path_, QString::number(position_)});
    else
      fail(reader_.messageNumber(), readerArguments(reader_));
    return false;
  }
  return true;
}

void ReplayReader::take(const EventRecord& r) {
  // The time line: what passed between two records, at the original speed.
  const bool appended = r.markCode == Mark::Appended && r.markType == Mark::SystemType;
  if (started_ && !gapFollows_ && !appended) line_ += std::max(0.0, (r.timeStamp - previousStamp_) * 86400.0);
  started_ = true;
  previousStamp_ = r.timeStamp;
  gapFollows_ = r.markCode == Mark::UserStop && r.markType == Mark::SystemType;
  if (isMark(r)) return;

  auto add = [&](ReplayItem::Kind kind, bool endA, uint8_t value) {
    items_[itemCount_++] = {kind, endA, value, line_};
  };
  // The lines first: a change the closed gate kept out of the file shows in the next
  // event, and came before it. The first plain event's lines are where the link starts.
  if (seenPlain_) {
    for (bool endA : {false, true}) {
      const uint8_t s = statusOf(r, endA);
      if (s != status_[endA ? 1 : 0]) add(ReplayItem::Lines, endA, s);
      status_[endA ? 1 : 0] = s;
    }
  }
  seenPlain_ = true;
  for (bool endA : {false, true}) {
    const uint8_t* e = r.errors + (endA ? ErrPe2 : ErrPe1);
    // A line error is an overrun or a break; both come back as a line error.
    const uint8_t word = uint8_t((e[0] ? LineErrorBit::Parity : 0) | (e[1] ? LineErrorBit::Framing : 0) |
                                 (e[2] ? LineErrorBit::Overrun : 0));
    if (word) add(ReplayItem::Error, endA, word);
  }
  // One record may carry a byte of each line; D1 was taken first.
  if (r.d1Flag) add(ReplayItem::Data, false, r.d1Byte);
  if (r.d2Flag) add(ReplayItem::Data, true, r.d2Byte);
}

bool ReplayReader::next(ReplayItem& out) {
  while (itemNext_ >= itemCount_) {
    if (failed() || !reader_.isOpen() || position_ >= records_) return false;
    if (position_ >= blockFirst_ + int64_t(block_.size()) && !fillBlock()) return false;
    const EventRecord& r = block_[size_t(position_ - blockFirst_)];
    int detail = 0;
    QString value;
    if (!plausible(r, &detail, &value)) {
      fail(TextNo::Changed, {path_, QString::number(position_)});
      return false;
    }
    ++position_;
    itemCount_ = itemNext_ = 0;
    take(r);
  }
  out = items_[itemNext_++];
  return true;
}
