#include <QCoreApplication>
#include <QFileInfo>

#include "cli/Args.h"
#include "cli/BesideEventLoop.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "recording/RecordFileName.h"
#include "settings/Configuration.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"
#include "tools/Export.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"

namespace TextNo {
constexpr int BaudValue = 9404, DataBitsValue = 9405, ParityValue = 9406, StopBitsValue = 9407;
constexpr int Progress = 9972, TwoFiles = 9973, FormatValue = 9974, SeparatorValue = 9975, QuoteValue = 9976;
constexpr int ColumnValue = 9977, TimeValue = 9978, NumberValue = 9979, NamesValue = 9990, TrailingBytes = 9992;
}  // namespace TextNo

namespace {

// The names --columns takes, in the order the columns appear.
const QStringList kColumns = {"mark", "number", "time", "d1", "d2", "hex", "dec",    "oct",        "bin",
                              "s1",   "m1",     "s2",   "m2", "m5", "m3",  "errors", "description"};

// "--columns a,b,c": exactly these columns; false with the unknown name in *bad.
bool applyColumns(const QString& list, Export::Options& o, QString* bad) {
  o.mark = o.eventNumber = o.timeStamp = o.d1 = o.d2 = o.hex = o.dec = o.oct = o.bin = false;
  o.errors = o.description = false;
  o.signalLines.fill(false);
  for (const QString& raw : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const QString name = raw.trimmed().toLower();
    const int i = int(kColumns.indexOf(name));
    if (i < 0) {
      *bad = raw;
      return false;
    }
    bool* flags[] = {&o.mark, &o.eventNumber, &o.timeStamp, &o.d1, &o.d2, &o.hex, &o.dec, &o.oct, &o.bin};
    if (i < 9)
      *flags[i] = true;
    else if (i < 15)
      o.signalLines[std::size_t(i - 9)] = true;
    else if (i == 15)
      o.errors = true;
    else
      o.description = true;
  }
  return true;
}

}  // namespace

int runExport(const QStringList& in) {
  const Args a = Args::parse(in,
                             {"format", "from", "to", "separator", "quote", "columns", "time", "names", "gap-us",
                              "baud", "data-bits", "parity", "stop-bits"},
                             {"no-header", "quiet"});
  auto usage = [](const QString& why) {
    printErr(QStringLiteral("vorlog-cli export: %1\n").arg(why));
    return 2;
  };
  if (!a.error.isEmpty()) return usage(a.error);
  if (a.positional.size() != 2) return usage(Texts::text(TextNo::TwoFiles));

  // The dialog's defaults: every column, semicolon, double quote, the view's time mode and line names.
  Configuration configuration;
  configuration.load();
  Export::Options o;
  o.pinNaming = configuration.pinNaming;
  o.timeMode = CellText::timeModeFromInt(configuration.timeControl);

  const QString format = a.has("format") ? a.value("format").toLower() : QStringLiteral("csv");
  if (format == QLatin1String("csv"))
    o.format = Export::Format::Csv;
  else if (format == QLatin1String("raw"))
    o.format = Export::Format::Raw;
  else if (format == QLatin1String("pcapng"))
    o.format = Export::Format::Pcapng;
  else
    return usage(Texts::text(TextNo::FormatValue).arg(a.value("format")));

  if (a.has("separator")) {
    static const QMap<QString, char> kSeparators{{"comma", ','}, {"semicolon", ';'}, {"tab", '\t'}, {"space", ' '}};
    if (!kSeparators.contains(a.value("separator")))
      return usage(Texts::text(TextNo::SeparatorValue).arg(a.value("separator")));
    o.separator = kSeparators.value(a.value("separator"));
  }
  if (a.has("quote")) {
    static const QMap<QString, char> kQuotes{{"double", '"'}, {"single", '\''}, {"none", 0}};
    if (!kQuotes.contains(a.value("quote"))) return usage(Texts::text(TextNo::QuoteValue).arg(a.value("quote")));
    o.quote = kQuotes.value(a.value("quote"));
  }
  if (a.has("columns")) {
    QString bad;
    if (!applyColumns(a.value("columns"), o, &bad))
      return usage(Texts::text(TextNo::ColumnValue).arg(bad, kColumns.join(QLatin1Char(','))));
  }
  if (a.has("no-header")) o.header = false;
  if (a.has("time")) {
    static const QStringList kModes{"absolute", "relative", "delta"};
    const int mode = int(kModes.indexOf(a.value("time")));
    if (mode < 0) return usage(Texts::text(TextNo::TimeValue).arg(a.value("time")));
    o.timeMode = CellText::TimeMode(mode);
  }
  if (a.has("names")) {
    if (a.value("names") != QLatin1String("v24") && a.value("names") != QLatin1String("us"))
      return usage(Texts::text(TextNo::NamesValue));
    o.pinNaming = a.value("names") == QLatin1String("us") ? 1 : 0;
  }
  bool ok = true;
  for (auto [name, target, least] :
       {std::tuple{"from", &o.from, 1}, std::tuple{"to", &o.to, 1}, std::tuple{"gap-us", &o.gapMicros, 0}}) {
    if (!a.has(name)) continue;
    *target = a.value(name).toLongLong(&ok);
    if (!ok || *target < least)
      return usage(Texts::text(TextNo::NumberValue).arg(QStringLiteral("--") + name).arg(least));
  }
  if (a.has("baud")) {
    o.line.baud = a.value("baud").toInt(&ok);
    if (!ok || o.line.baud <= 0) return usage(Texts::text(TextNo::BaudValue));
  }
  if (a.has("data-bits")) {
    o.line.dataBits = a.value("data-bits").toInt(&ok);
    if (!ok || o.line.dataBits < 5 || o.line.dataBits > 8) return usage(Texts::text(TextNo::DataBitsValue));
  }
  if (a.has("parity")) {
    const int p = int(QStringList{"N", "O", "E", "M", "S"}.indexOf(a.value("parity").toUpper()));
    if (p < 0) return usage(Texts::text(TextNo::ParityValue));
    o.line.parity = Parity(p);
  }
  if (a.has("stop-bits")) {
    const QString s = a.value("stop-bits");
    if (!QStringList{"1", "1.5", "2"}.contains(s)) return usage(Texts::text(TextNo::StopBitsValue));
    o.line.stopBits = s == QLatin1String("1") ? 1 : 2;
  }

  RecordReader reader(resolveRecordFileName(a.positional[0], userPath()));
  if (!reader.isOpen()) {
    printErr(QStringLiteral("vorlog-cli: ") + reader.message() + QLatin1Char('\n'));
    return 1;
  }
  // A recording cut off in the middle of a record still exports its whole events.
  const qint64 trailing = QFileInfo(reader.path()).size() - reader.recordCount() * qint64(kRecordSize);

  // The export runs beside the event loop, which shows the progress and turns Ctrl-C
  // into a stop that keeps the lines written so far.
  WorkControl control;
  Export::Result result;
  runBesideEventLoop(
      control, a.has("quiet"), [&] { result = Export::run(reader, a.positional[1], o, &control); },
      [&] {
        return Texts::text(TextNo::Progress).arg(control.percent()).arg(control.done.load()).arg(control.total.load());
      });

  if (result.status != Export::Status::Failed && trailing > 0)
    printErr(QStringLiteral("vorlog-cli: ") + Texts::text(TextNo::TrailingBytes).arg(reader.path()).arg(trailing) +
             QLatin1Char('\n'));
  if (result.status == Export::Status::Failed) {
    printErr(QStringLiteral("vorlog-cli: ") + result.message + QLatin1Char('\n'));
    return 1;
  }
  // A stopped export kept a well-formed file, but not the whole range asked for.
  if (result.status == Export::Status::Stopped) {
    printErr(QStringLiteral("vorlog-cli: ") + result.message + QLatin1Char('\n'));
    return 1;
  }
  if (!a.has("quiet")) printOut(result.message + QLatin1Char('\n'));
  return 0;
}
