#include "tools/Search.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cctype>
#include <vector>

#include "capture/Clock.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"

namespace TextNo {
constexpr int TriggerNotFound = 2123, TimeNotReached = 2201, ConditionNotFound = 2202, DataNotFound = 2203;
constexpr int NoDataLine = 2204;
constexpr int EmptyPattern = 9955, OddDigits = 9956, BadDigit = 9957, TooLong = 9958;
}  // namespace TextNo

namespace Search {

namespace {

constexpr int kMaxPatternBytes = 255;

inline bool holds(uint8_t code, bool set) {
  return code == Ignore || (code == LowOrNo && !set) || (code == HighOrYes && set);
}

bool signalMatch(const EventRecord& r, const SignalQuery& q) {
  for (int i = 0; i < SignalCount; ++i)
    if (!holds(q.codes[size_t(i)], r.signalBytes[i] != 0)) return false;
  return true;
}

bool errorSideMatch(const EventRecord& r, const ErrorQuery& q, int first) {
  for (int i = 0; i < 3; ++i)
    if (!holds(q.codes[size_t(i)], r.errors[first + i] != 0)) return false;
  return true;
}

// The scan common to every search: records from the start towards the end, block by
// block, until the test says found (or failed), Stop is pressed or the range ends.
// test(block, index) returns 1 found, 0 no match, -1 the file could not be read.
template <class Test>
Result scan(RecordReader& reader, int64_t start, int64_t last, Direction direction, WorkControl* control,
            int blockRecords, std::vector<EventRecord>& block, int64_t& blockFirst, int64_t& blockCount,
            Test&& test) {
  const bool forward = direction == Direction::Forward;
  const int64_t total = forward ? last - start + 1 : start;
  if (control) {
    control->total = total;
    control->done = 0;
  }
  int64_t pos = start;
  int64_t scanned = 0;
  while (forward ? pos <= last : pos >= 1) {
    if (control && control->stopRequested()) return {Outcome::Stopped, -1};
    const int64_t lo = forward ? pos : std::max<int64_t>(1, pos - blockRecords + 1);
    const int64_t n = forward ? std::min<int64_t>(blockRecords, last - pos + 1) : pos - lo + 1;
    if (!reader.read(lo, n, block.data())) return {Outcome::ReadFailed, -1};
    blockFirst = lo;
    blockCount = n;
    if (forward) {
      for (int64_t i = 0; i < n; ++i) {
        const int t = test(i);
        if (t != 0) return t > 0 ? Result{Outcome::Found, lo + i} : Result{Outcome::ReadFailed, -1};
      }
      pos += n;
    } else {
      for (int64_t i = n - 1; i >= 0; --i) {
        const int t = test(i);
        if (t != 0) return t > 0 ? Result{Outcome::Found, lo + i} : Result{Outcome::ReadFailed, -1};
      }
      pos = lo - 1;
    }
    scanned += n;
    if (control) control->done = scanned;
  }
  return {Outcome::NotFound, -1};
}

// Whether the sequence that starts with the byte of one line at a candidate goes on
// with the rest of the pattern in the following records of that line. The records come
// from the scan's block where it holds them, else from a small read-ahead of their own.
class SequenceFollower {
 public:
  SequenceFollower(RecordReader& reader, const QByteArray& pattern, int64_t last,
                   const std::vector<EventRecord>& block, const int64_t& blockFirst, const int64_t& blockCount)
      : reader_(reader), pattern_(pattern), last_(last), block_(block), blockFirst_(blockFirst),
        blockCount_(blockCount) {}

  // 1 the whole pattern follows, 0 it does not (or the file ends first), -1 read failed.
  int follows(int line, int64_t candidate) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(pattern_.constData());
    const qsizetype length = pattern_.size();
    qsizetype k = 1;
    for (int64_t q = candidate + 1; k < length; ++q) {
      if (q > last_) return 0;
      const EventRecord* r = at(q);
      if (!r) return -1;
      const bool present = line == 0 ? r->d1Flag != 0 : r->d2Flag != 0;
      if (!present) continue;
      if ((line == 0 ? r->d1Byte : r->d2Byte) != bytes[k]) return 0;
      ++k;
    }
    return 1;
  }

 private:
  const EventRecord* at(int64_t q) {
    if (q >= blockFirst_ && q < blockFirst_ + blockCount_) return &block_[size_t(q - blockFirst_)];
    if (q < aheadFirst_ || q >= aheadFirst_ + aheadCount_) {
      constexpr int64_t kAhead = 4096;
      aheadCount_ = std::min<int64_t>(kAhead, last_ - q + 1);
      ahead_.resize(size_t(aheadCount_));
      if (!reader_.read(q, aheadCount_, ahead_.data())) {
        aheadCount_ = 0;
        return nullptr;
      }
      aheadFirst_ = q;
    }
    return &ahead_[size_t(q - aheadFirst_)];
  }

  RecordReader& reader_;
  const QByteArray& pattern_;
  int64_t last_;
  const std::vector<EventRecord>& block_;
  const int64_t& blockFirst_;
  const int64_t& blockCount_;
  std::vector<EventRecord> ahead_;
  int64_t aheadFirst_ = 0, aheadCount_ = 0;
};

}  // namespace

bool matches(const EventRecord& r, const Query& query, Direction direction) {
  if (const auto* q = std::get_if<SignalQuery>(&query)) return signalMatch(r, *q);
  if (const auto* q = std::get_if<ErrorQuery>(&query)) return errorSideMatch(r, *q, ErrPe1) || errorSideMatch(r, *q, ErrPe2);
  if (const auto* q = std::get_if<TimeQuery>(&query))
    return direction == Direction::Forward ? r.timeStamp > q->target : r.timeStamp < q->target;
  if (const auto* q = std::get_if<TriggerQuery>(&query)) return int(r.triggerNumber) == q->number;
  const auto& d = std::get<DataQuery>(query);
  if (d.pattern.size() != 1) return false;
  const auto b = uint8_t(d.pattern[0]);
  return (d.d1 && r.d1Flag && r.d1Byte == b) || (d.d2 && r.d2Flag && r.d2Byte == b);
}

Result find(RecordReader& reader, const Query& query, int64_t selectedEvent, Direction direction,
            WorkControl* control, int blockRecords) {
  if (const auto* d = std::get_if<DataQuery>(&query)) {
    if (!d->d1 && !d->d2) return {Outcome::NoDataLine, -1};
    if (d->pattern.isEmpty()) return {Outcome::EmptyPattern, -1};
  }
  // The end is taken when the search starts; records added meanwhile are not examined.
  const int64_t last = reader.refresh() - 1;
  const int64_t start = selectedEvent + (direction == Direction::Forward ? 1 : -1);
  if (last < 1 || start < 1 || start > last) {
    if (control) control->total = 0;
    return {Outcome::NotFound, -1};
  }
  blockRecords = std::max(1, blockRecords);
  std::vector<EventRecord> block(size_t(std::min<int64_t>(blockRecords, last)));
  int64_t blockFirst = 0, blockCount = 0;
  const auto run = [&](auto&& test) {
    return scan(reader, start, last, direction, control, blockRecords, block, blockFirst, blockCount, test);
  };

  if (const auto* q = std::get_if<SignalQuery>(&query))
    return run([&](int64_t i) { return signalMatch(block[size_t(i)], *q) ? 1 : 0; });
  if (const auto* q = std::get_if<ErrorQuery>(&query))
    return run([&](int64_t i) {
      const EventRecord& r = block[size_t(i)];
      return errorSideMatch(r, *q, ErrPe1) || errorSideMatch(r, *q, ErrPe2) ? 1 : 0;
    });
  if (const auto* q = std::get_if<TimeQuery>(&query)) {
    const double target = q->target;
    if (direction == Direction::Forward) return run([&](int64_t i) { return block[size_t(i)].timeStamp > target ? 1 : 0; });
    return run([&](int64_t i) { return block[size_t(i)].timeStamp < target ? 1 : 0; });
  }
  if (const auto* q = std::get_if<TriggerQuery>(&query)) {
    const int number = q->number;
    return run([&](int64_t i) { return int(block[size_t(i)].triggerNumber) == number ? 1 : 0; });
  }

  // A data sequence: a record whose byte of a chosen line equals the first pattern byte
  // is a candidate; that line's following bytes, in increasing position whatever the
  // direction, decide. A candidate on both lines is tried on D1, then on D2.
  const auto& d = std::get<DataQuery>(query);
  const auto first = uint8_t(d.pattern[0]);
  const bool one = d.pattern.size() == 1;
  SequenceFollower follower(reader, d.pattern, last, block, blockFirst, blockCount);
  return run([&](int64_t i) {
    const EventRecord& r = block[size_t(i)];
    for (int line = 0; line < 2; ++line) {
      const bool chosen = line == 0 ? d.d1 : d.d2;
      if (!chosen || !(line == 0 ? r.d1Flag : r.d2Flag) || (line == 0 ? r.d1Byte : r.d2Byte) != first) continue;
      if (one) return 1;
      const int f = follower.follows(line, blockFirst + i);
      if (f != 0) return f;
    }
    return 0;
  });
}

int notFoundText(const Query& query) {
  if (std::holds_alternative<TriggerQuery>(query)) return TextNo::TriggerNotFound;
  if (std::holds_alternative<TimeQuery>(query)) return TextNo::TimeNotReached;
  if (std::holds_alternative<DataQuery>(query)) return TextNo::DataNotFound;
  return TextNo::ConditionNotFound;
}

int outcomeText(Outcome outcome) {
  if (outcome == Outcome::NoDataLine) return TextNo::NoDataLine;
  if (outcome == Outcome::EmptyPattern) return TextNo::EmptyPattern;
  return 0;
}

int parseHexPattern(const QString& text, QByteArray* pattern, QString* badDigit) {
  QString digits;
  for (const QChar c : text) {
    if (c.isSpace()) continue;
    if (!isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x')) {
      if (badDigit) *badDigit = QString(c);
      return TextNo::BadDigit;
    }
    digits += c;
  }
  if (digits.isEmpty()) return TextNo::EmptyPattern;
  if (digits.size() % 2) return TextNo::OddDigits;
  if (digits.size() / 2 > kMaxPatternBytes) return TextNo::TooLong;
  if (pattern) *pattern = QByteArray::fromHex(digits.toLatin1());
  return 0;
}

double oleDateOfWallClock(const QDate& date, const QTime& time) {
  const QDateTime wall(date, time, QTimeZone::utc());
  return oleDateFromUnixLocal(double(wall.toMSecsSinceEpoch()) / 1000.0);
}

bool parseTimeText(const QString& text, double* oleDate) {
  static const QRegularExpression form(
      QStringLiteral(R"(^\s*(\d{4})-(\d{2})-(\d{2})[ T](\d{2}):(\d{2}):(\d{2})(?:[.,](\d{1,6}))?\s*$)"));
  const QRegularExpressionMatch m = form.match(text);
  if (!m.hasMatch()) return false;
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
  if (!date.isValid() || !time.isValid()) return false;
  const QString fraction = m.captured(7).leftJustified(6, QLatin1Char('0'));
  if (oleDate) *oleDate = oleDateOfWallClock(date, time) + fraction.toLongLong() / 86'400'000'000.0;
  return true;
}

}  // namespace Search
