#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

#include "settings/Texts.h"
#include "tests/tools/ToolFiles.h"
#include "tools/Measure.h"
#include "tools/RecordReader.h"
#include "tools/Search.h"
#include "tools/WorkControl.h"

using namespace Search;

namespace {

// The matching rules as plainly as they can be written: one record at a time, the
// following bytes of a candidate looked up one by one.
int64_t referenceFind(const std::vector<EventRecord>& recs, const Query& query, int64_t selected, Direction dir) {
  const int64_t last = int64_t(recs.size()) - 1, step = dir == Direction::Forward ? 1 : -1;
  for (int64_t p = selected + step; p >= 1 && p <= last; p += step) {
    const auto* d = std::get_if<DataQuery>(&query);
    if (!d) {
      if (matches(recs[size_t(p)], query, dir)) return p;
      continue;
    }
    for (int line = 0; line < 2; ++line) {
      auto has = [&](int64_t q) { return line == 0 ? recs[size_t(q)].d1Flag != 0 : recs[size_t(q)].d2Flag != 0; };
      auto byte = [&](int64_t q) { return line == 0 ? recs[size_t(q)].d1Byte : recs[size_t(q)].d2Byte; };
      if (!(line == 0 ? d->d1 : d->d2) || !has(p) || byte(p) != uint8_t(d->pattern[0])) continue;
      qsizetype k = 1;
      for (int64_t q = p + 1; q <= last && k < d->pattern.size(); ++q) {
        if (!has(q)) continue;
        if (byte(q) != uint8_t(d->pattern[k])) break;
        ++k;
      }
      if (k == d->pattern.size()) return p;
    }
  }
  return -1;
}

struct SearchFile {
  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("s.vrd"));
  RecordReader reader;
  explicit SearchFile(const RecordBuilder& b) {
    b.write(path);
    reader.open(path);
  }
  Result find(const Query& q, int64_t selected, Direction dir = Direction::Forward, int block = 65536) {
    return Search::find(reader, q, selected, dir, nullptr, block);
  }
};

DataQuery data(const char* hex, bool d1 = true, bool d2 = false) {
  return {d1, d2, QByteArray::fromHex(hex)};
}

}  // namespace

// The rules a user meets: sequences across other records, reverse order, the strict
// time comparison, cut-off sequences and starts outside the file.
TEST(Search, MatchingRules) {
  RecordBuilder b;
  b.d1('A');                                   // 1
  b.d1('A');                                   // 2
  b.d2('x');                                   // 3: the other line
  b.add().signalBytes[SigS1Dtr] = 1;           // 4: a handshake event
  b.d1('B');                                   // 5
  b.d1('A');                                   // 6
  b.d1('B');                                   // 7
  b.d2('A').errors[ErrFe2] = 1;                // 8
  b.d1('A').triggerNumber = 3;                 // 9: a sequence cut off by the end
  SearchFile f(b);
  const double stamp5 = b.records[5].timeStamp;
  struct Row {
    const char* what;
    Query query;
    int64_t selected;
    Direction dir;
    Outcome outcome;
    int64_t event;
  };
  const Row rows[] = {
      {"AB finds the second A", data("4142"), 0, Direction::Forward, Outcome::Found, 2},
      {"reverse finds the nearest earlier start", data("4142"), 9, Direction::Reverse, Outcome::Found, 6},
      {"reverse still matches forward in time", data("4142"), 6, Direction::Reverse, Outcome::Found, 2},
      {"D2 only", data("41", false, true), 0, Direction::Forward, Outcome::Found, 8},
      {"a sequence cut off by the end", data("4142"), 7, Direction::Forward, Outcome::NotFound, -1},
      {"no data line", data("41", false, false), 0, Direction::Forward, Outcome::NoDataLine, -1},
      {"empty pattern", DataQuery{true, false, {}}, 0, Direction::Forward, Outcome::EmptyPattern, -1},
      {"start beyond the last event", data("41"), 9, Direction::Forward, Outcome::NotFound, -1},
      {"start far below the file", data("41"), 400, Direction::Reverse, Outcome::NotFound, -1},
      {"equal time is not later", TimeQuery{stamp5}, 0, Direction::Forward, Outcome::Found, 6},
      {"equal time is not earlier", TimeQuery{stamp5}, 9, Direction::Reverse, Outcome::Found, 4},
      {"all ignored matches the next event", SignalQuery{}, 3, Direction::Forward, Outcome::Found, 4},
      {"S1 high", SignalQuery{{2, 0, 0, 0, 0, 0}}, 0, Direction::Forward, Outcome::Found, 4},
      {"FE yes on the D2 side", ErrorQuery{{0, 2, 0}}, 0, Direction::Forward, Outcome::Found, 8},
      {"FE yes and PE yes nowhere", ErrorQuery{{2, 2, 0}}, 0, Direction::Forward, Outcome::NotFound, -1},
      {"trigger 3", TriggerQuery{3}, 0, Direction::Forward, Outcome::Found, 9},
      {"trigger 4", TriggerQuery{4}, 0, Direction::Forward, Outcome::NotFound, -1},
  };
  for (const Row& r : rows) {
    const Result got = f.find(r.query, r.selected, r.dir);
    EXPECT_EQ(got.outcome, r.outcome) << r.what;
    EXPECT_EQ(got.event, r.event) << r.what;
  }
  // A file of the start record alone, or nothing at all, holds no events to find.
  for (int n : {0, 1}) {
    RecordBuilder tiny;
    tiny.records.resize(size_t(n));
    SearchFile t(tiny);
    EXPECT_EQ(t.find(SignalQuery{}, 0).outcome, Outcome::NotFound);
    EXPECT_EQ(t.find(SignalQuery{}, 2, Direction::Reverse).outcome, Outcome::NotFound);
  }
}

// Random recordings against the plain rules, with blocks that cut sequences at every
// position and follow-ups that run past the block.
TEST(Search, AgreesWithTheReferenceOnRandomFiles) {
  std::mt19937 rng(12);
  for (int file = 0; file < 6; ++file) {
    RecordBuilder b;
    for (int i = 0; i < 300; ++i) {
      const int kind = int(rng() % 10);
      EventRecord& r = b.add();
      if (kind < 4) { r.d1Flag = 1; r.d1Byte = uint8_t('A' + rng() % 3); }
      if (kind >= 3 && kind < 8) { r.d2Flag = 1; r.d2Byte = uint8_t('A' + rng() % 3); }
      for (auto& s : r.signalBytes) s = uint8_t(rng() % 2);
      for (auto& e : r.errors) e = uint8_t(rng() % 5 == 0);
      r.triggerNumber = uint8_t(rng() % 4);
    }
    SearchFile f(b);
    for (int q = 0; q < 40; ++q) {
      Query query;
      switch (q % 5) {
        case 0:
        case 1: {
          QByteArray p;
          for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k) p += char('A' + rng() % 3);
          query = DataQuery{rng() % 3 != 0, rng() % 2 == 0, p};
          if (!std::get<DataQuery>(query).d1 && !std::get<DataQuery>(query).d2) std::get<DataQuery>(query).d1 = true;
          break;
        }
        case 2: {
          SignalQuery s;
          for (auto& c : s.codes) c = uint8_t(rng() % 5 < 3 ? 0 : 1 + rng() % 2);
          query = s;
          break;
        }
        case 3: {
          ErrorQuery e;
          for (auto& c : e.codes) c = uint8_t(rng() % 3);
          query = e;
          break;
        }
        default: query = TriggerQuery{int(rng() % 5)};
      }
      const int64_t selected = int64_t(rng() % 304) - 2;
      for (Direction dir : {Direction::Forward, Direction::Reverse})
        for (int block : {1, 2, 3, 7, 64, 65536}) {
          const int64_t want = referenceFind(b.records, query, selected, dir);
          const Result got = f.find(query, selected, dir, block);
          ASSERT_EQ(got.event, want) << "file " << file << " query " << q << " block " << block;
          ASSERT_EQ(got.outcome, want < 0 ? Outcome::NotFound : Outcome::Found);
        }
    }
  }
}

TEST(Search, StopEndsWithoutResultAndProgressCounts) {
  RecordBuilder b;
  for (int i = 0; i < 100; ++i) b.d1('A');
  SearchFile f(b);
  WorkControl control;
  control.requestStop();
  EXPECT_EQ(Search::find(f.reader, data("42"), 0, Direction::Forward, &control, 10).outcome, Outcome::Stopped);
  control.reset(0);
  EXPECT_EQ(Search::find(f.reader, data("42"), 0, Direction::Forward, &control, 10).outcome, Outcome::NotFound);
  EXPECT_EQ(control.percent(), 100);
}

TEST(Search, HexPatternsAndTimeTexts) {
  struct Row {
    const char* text;
    int message;
    const char* bytes;
  };
  const QString longText = QString(QStringLiteral("41")).repeated(256);
  const Row rows[] = {{"41 42", 0, "4142"}, {"00ff", 0, "00ff"}, {"", 9955, ""}, {"  ", 9955, ""},
                      {"414", 9956, ""},    {"4G", 9957, ""}};
  for (const Row& r : rows) {
    QByteArray p;
    EXPECT_EQ(parseHexPattern(QString::fromLatin1(r.text), &p), r.message) << r.text;
    EXPECT_EQ(p.toHex(), QByteArray(r.bytes)) << r.text;
  }
  QString bad;
  EXPECT_EQ(parseHexPattern(QStringLiteral("41ö"), nullptr, &bad), 9957);
  EXPECT_EQ(bad, QStringLiteral("ö"));
  EXPECT_EQ(parseHexPattern(longText, nullptr), 9958);
  EXPECT_EQ(parseHexPattern(longText.mid(2), nullptr), 0);

  double t = 0;
  ASSERT_TRUE(parseTimeText(QStringLiteral("2026-12-08 10:00:01.5"), &t));
  EXPECT_NEAR((t - oleDateOfWallClock(QDate(2026, 12, 8), QTime(10, 0, 1))) * 86400.0, 0.5, 1e-6);
  for (const char* badTime : {"2026-13-01 00:00:00", "08.12.2026 10:00:00", "2026-12-08", "2026-12-08 25:00:00"})
    EXPECT_FALSE(parseTimeText(QString::fromLatin1(badTime), &t)) << badTime;
}

TEST(Measure, FieldsAndRange) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  const double t0 = Search::oleDateOfWallClock(QDate(2026, 12, 8), QTime(10, 0, 0));
  const Measure::Result same = Measure::between(t0, t0, english);
  EXPECT_EQ(same.deltaText, QStringLiteral("0 day(s)  00:00:00,000000"));
  EXPECT_EQ(same.secondsText + same.millisecondsText + same.microsecondsText, QStringLiteral("000"));
  const Measure::Result later = Measure::between(t0, t0 + (86400.0 + 1.25) / 86400.0, english);
  EXPECT_EQ(later.deltaText, QStringLiteral("1 day(s)  00:00:01,250000"));
  EXPECT_EQ(later.secondsText, QStringLiteral("86,401"));
  EXPECT_EQ(later.millisecondsText, QStringLiteral("86,401,250"));
  EXPECT_EQ(later.microsecondsText, QStringLiteral("86,401,250,000"));
  EXPECT_TRUE(later.fromText.startsWith(QStringLiteral("12/8/2026 10:00:00")));
  EXPECT_TRUE(QRegularExpression(QStringLiteral(",\\d{6}$")).match(later.fromText).hasMatch());

  RecordBuilder b;
  b.d1('A');
  b.d1('B');
  SearchFile f(b);
  EXPECT_EQ(Measure::measure(f.reader, 1, 2, english).microsecondsText, QStringLiteral("1,000"));
  for (auto [from, to] : {std::pair{0, 2}, std::pair{1, 3}}) {
    const Measure::Result r = Measure::measure(f.reader, from, to, english);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.isEmpty());
  }
}

// A record that cannot be read is reported, never replaced by the one read before it.
TEST(RecordReaderTest, ReportsFailedAndShortReads) {
  RecordBuilder b;
  b.d1('A');
  SearchFile f(b);
  EventRecord r;
  EXPECT_TRUE(f.reader.readOne(1, r));
  EXPECT_FALSE(f.reader.readOne(2, r));
  EXPECT_EQ(f.reader.failure(), RecordReader::Failure::Short);
  EXPECT_TRUE(f.reader.message().contains(QStringLiteral("2")));
  QFile::resize(f.path, 100);  // cut short behind the reader's back
  EXPECT_FALSE(f.reader.readOne(1, r));
  RecordReader dir;
  EXPECT_FALSE(dir.open(f.dir.path()));
  EXPECT_EQ(dir.failure(), RecordReader::Failure::NotRegular);
  EXPECT_FALSE(dir.open(f.dir.filePath(QStringLiteral("missing.vrd"))));
  EXPECT_TRUE(dir.message().contains(QStringLiteral("missing.vrd")));
}
