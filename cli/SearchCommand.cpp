// vorlog-cli search and measure: the goto/search/measure page of the window, for scripts.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "recording/RecordFileName.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"
#include "tools/Measure.h"
#include "tools/RecordReader.h"
#include "tools/Search.h"

namespace TextNo {
constexpr int Empty = 9954;
constexpr int OneKind = 9980, LineValue = 9981, SignalValue = 9982, ErrorValue = 9983, TimeValue = 9984;
constexpr int TriggerValue = 9985, FromValue = 9986, MeasureArgs = 9987, SearchArgs = 9988;
constexpr int FromLabel = 8646, ToLabel = 8647, DeltaLabel = 8648, MicrosLabel = 8649, MillisLabel = 8650;
constexpr int SecondsLabel = 8651, Rounded = 8652;
}  // namespace TextNo

namespace {

int usage(const char* command, const QString& why) {
  printErr(QStringLiteral("vorlog-cli %1: %2\n").arg(QLatin1String(command), why));
  return 2;
}

bool parseEvent(const QString& text, int64_t* value) {
  bool ok = false;
  *value = text.toLongLong(&ok);
  return ok;
}

// "S1=high,CTS=low": names and their codes into the condition array; false on a name
// or value that is not known.
template <size_t N>
bool parseConditions(const QString& text, const std::array<QStringList, N>& names, const QString& setWord,
                     const QString& clearWord, std::array<uint8_t, N>* codes) {
  const QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
  if (items.isEmpty()) return false;
  for (const QString& item : items) {
    const QStringList kv = item.trimmed().split(QLatin1Char('='));
    if (kv.size() != 2) return false;
    const QString name = kv[0].trimmed().toUpper(), value = kv[1].trimmed().toLower();
    size_t index = N;
    for (size_t i = 0; i < N; ++i)
      if (names[i].contains(name)) index = i;
    if (index == N || (value != setWord && value != clearWord)) return false;
    (*codes)[index] = value == setWord ? Search::HighOrYes : Search::LowOrNo;
  }
  return true;
}

// The query of the command line, or the reason it cannot be built (exit 2).
QString buildQuery(const Args& a, Search::Query* query) {
  int kinds = 0;
  for (const char* k : {"data", "signal", "error", "time", "trigger"}) kinds += a.has(QLatin1String(k)) ? 1 : 0;
  if (kinds != 1) return Texts::text(TextNo::OneKind);
  if (a.has("data")) {
    Search::DataQuery d;
    QString bad;
    if (const int problem = Search::parseHexPattern(a.value("data"), &d.pattern, &bad))
      return bad.isEmpty() ? Texts::text(problem) : Texts::text(problem).arg(bad);
    const QString line = a.has("line") ? a.value("line").toLower() : QStringLiteral("d1");
    if (line != QLatin1String("d1") && line != QLatin1String("d2") && line != QLatin1String("both"))
      return Texts::text(TextNo::LineValue);
    d.d1 = line != QLatin1String("d2");
    d.d2 = line != QLatin1String("d1");
    *query = d;
  } else if (a.has("signal")) {
    static const std::array<QStringList, SignalCount> names{
        {{"S1", "DTR"}, {"M1", "DSR"}, {"S2", "RTS"}, {"M2", "CTS"}, {"M5", "DCD"}, {"M3", "RI", "RNG"}}};
    Search::SignalQuery s;
    if (!parseConditions(a.value("signal"), names, QStringLiteral("high"), QStringLiteral("low"), &s.codes))
      return Texts::text(TextNo::SignalValue);
    *query = s;
  } else if (a.has("error")) {
    static const std::array<QStringList, 3> names{{{"PE"}, {"FE"}, {"LE"}}};
    Search::ErrorQuery e;
    if (!parseConditions(a.value("error"), names, QStringLiteral("yes"), QStringLiteral("no"), &e.codes))
      return Texts::text(TextNo::ErrorValue);
    *query = e;
  } else if (a.has("time")) {
    Search::TimeQuery t;
    if (!Search::parseTimeText(a.value("time"), &t.target)) return Texts::text(TextNo::TimeValue);
    *query = t;
  } else {
    bool ok = false;
    const int n = a.value("trigger").toInt(&ok);
    if (!ok || n < 1 || n > 1000) return Texts::text(TextNo::TriggerValue);
    *query = Search::TriggerQuery{n};
  }
  return QString();
}

// Opens the record file for a tool; false (with the message printed) when it holds nothing to examine.
bool openRecordFile(RecordReader& reader, const QString& name) {
  const QString path = resolveRecordFileName(name, userPath());
  if (!reader.open(path)) {
    printErr(QStringLiteral("vorlog-cli: ") + reader.message() + QLatin1Char('\n'));
    return false;
  }
  if (reader.recordCount() < 2) {
    printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::Empty).arg(path) + QLatin1Char('\n'));
    return false;
  }
  return true;
}

}  // namespace

int runSearch(const QStringList& in) {
  const Args a = Args::parse(in, {"data", "line", "signal", "error", "time", "trigger", "from"},
                             {"reverse", "all", "json"});
  if (!a.error.isEmpty()) return usage("search", a.error);
  if (a.positional.size() != 1) return usage("search", Texts::text(TextNo::SearchArgs));
  Search::Query query;
  const QString problem = buildQuery(a, &query);
  if (!problem.isEmpty()) return usage("search", problem);
  const auto direction = a.has("reverse") ? Search::Direction::Reverse : Search::Direction::Forward;
  int64_t from = 0;
  if (a.has("from") && !parseEvent(a.value("from"), &from)) return usage("search", Texts::text(TextNo::FromValue));

  RecordReader reader;
  if (!openRecordFile(reader, a.positional[0])) return 1;
  // Without --from the whole file is searched: forward from its first event, reverse from its last.
  if (!a.has("from") && direction == Search::Direction::Reverse) from = reader.recordCount();

  QJsonArray found;
  for (;;) {
    const Search::Result r = Search::find(reader, query, from, direction);
    if (r.outcome == Search::Outcome::ReadFailed) {
      printErr(QStringLiteral("vorlog-cli: ") + reader.message() + QLatin1Char('\n'));
      return 1;
    }
    if (r.outcome != Search::Outcome::Found) break;
    found.append(qint64(r.event));
    if (!a.has("json")) printOut(QString::number(r.event) + QLatin1Char('\n'));
    if (!a.has("all")) break;
    from = r.event;
  }
  if (a.has("json"))
    printOut(QString::fromUtf8(QJsonDocument(QJsonObject{{"file", reader.path()}, {"events", found}})
                                   .toJson(QJsonDocument::Indented)));
  if (found.isEmpty()) {
    // The window's words, without its line breaks.
    printErr(Texts::text(Search::notFoundText(query)).simplified() + QLatin1Char('\n'));
    return 1;
  }
  return 0;
}

int runMeasure(const QStringList& in) {
  const Args a = Args::parse(in, {}, {"json"});
  if (!a.error.isEmpty()) return usage("measure", a.error);
  int64_t from = 0, to = 0;
  if (a.positional.size() != 3 || !parseEvent(a.positional[1], &from) || !parseEvent(a.positional[2], &to))
    return usage("measure", Texts::text(TextNo::MeasureArgs));
  RecordReader reader;
  if (!openRecordFile(reader, a.positional[0])) return 1;
  const QLocale locale;
  const Measure::Result m = Measure::measure(reader, from, to, locale);
  if (!m.ok) {
    printErr(QStringLiteral("vorlog-cli: ") + m.message + QLatin1Char('\n'));
    return 1;
  }
  if (a.has("json")) {
    const QJsonObject o{{"from", qint64(m.from)},
                        {"to", qint64(m.to)},
                        {"fromTime", m.fromText},
                        {"toTime", m.toText},
                        {"delta", m.deltaText},
                        {"microseconds", qint64(m.micros)},
                        {"milliseconds", qint64(std::llround(double(m.micros) / 1e3))},
                        {"seconds", qint64(std::llround(double(m.micros) / 1e6))}};
    printOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    return 0;
  }
  const auto line = [](int label, const QString& value) {
    QString l = Texts::text(label);
    if (!l.endsWith(QLatin1Char(':'))) l += QLatin1Char(':');
    return l + QLatin1Char(' ') + value + QLatin1Char('\n');
  };
  const QString rounded = QLatin1Char(' ') + Texts::text(TextNo::Rounded);
  printOut(line(TextNo::FromLabel, m.fromText + QStringLiteral("  (#%1)").arg(m.from)) +
           line(TextNo::ToLabel, m.toText + QStringLiteral("  (#%1)").arg(m.to)) + line(TextNo::DeltaLabel, m.deltaText) +
           line(TextNo::SecondsLabel, m.secondsText + rounded) + line(TextNo::MillisLabel, m.millisecondsText + rounded) +
           line(TextNo::MicrosLabel, m.microsecondsText));
  return 0;
}
