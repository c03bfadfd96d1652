#include "view/CellText.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "capture/Clock.h"
#include "settings/Texts.h"
#include "view/CodeTables.h"
#include "view/GridGeometry.h"

namespace TextNo {
constexpr int RulerFive = 4201, RulerOther = 4202;
constexpr int TriggerStartPrefix = 4211, TriggerStartWord = 4212;
constexpr int DetectedPrefix = 4214, DetectedWord = 4215;
constexpr int TriggerStopPrefix = 4217, TriggerStopWord = 4218;
constexpr int AppendedMark = 4219, UserStopMark = 4220, UserStartMark = 4221;
constexpr int FirstTypeName = 4226, DebugName = 4231, FirstComponentEvent = 4232;
constexpr int Days = 4242;
constexpr int ParityLetter = 4291, FramingLetter = 4292, LineLetter = 4293;
constexpr int HeaderMark = 8155, HeaderEventNo = 8156, HeaderTime = 8157, HeaderDescription = 8158;
constexpr int DataOnlyLine = 8159, DataOnlyEventNo = 8160, DumpLine = 8161, DumpEventNo = 8162;
constexpr int TimeAbsolute = 8176, TimeRelative = 8177, TimeDelta = 8178;
constexpr int InvalidStamp = 9443;
}  // namespace TextNo

namespace CellText {

namespace {

constexpr int64_t kMicrosPerDay = 86'400'000'000LL;
// The latest date a stamp may carry (31.12.9999) and the earliest (the year 1900).
constexpr double kLastOleDay = 2958465.0;

const QString kSeparator = QStringLiteral(" <---|---> ");

QString twoDigits(int64_t v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }
QString sixDigits(int64_t v) { return QStringLiteral("%1").arg(v, 6, 10, QLatin1Char('0')); }

// The locale's long time without its time zone: the grid shows local time only.
QString timeFormatWithoutZone(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  return format.trimmed();
}

// The locale's short date with the year in four digits: a recording from 1999 and one
// from 2099 must not read alike.
QString dateFormatWithFullYear(const QLocale& locale) {
  QString format = locale.dateFormat(QLocale::ShortFormat);
  if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  return format;
}

}  // namespace

QString absoluteSecondsText(int64_t unixLocalSeconds, const QLocale& locale) {
  const QDateTime t = QDateTime::fromSecsSinceEpoch(unixLocalSeconds, QTimeZone::utc());
  return locale.toString(t.date(), dateFormatWithFullYear(locale)) + QLatin1Char(' ') +
         locale.toString(t.time(), timeFormatWithoutZone(locale));
}

QString sixDigitMicros(int64_t micros) { return sixDigits(micros); }

Rgb MarkPalette::colourOf(uint8_t markCode) const {
  if (markCode >= Mark::TriggerStart && markCode <= Mark::UserStart) return colours[markCode - 1];
  if (markCode == Mark::Debug) return colours[6];
  return colours[0];
}

QString triggerTypeName(uint8_t markType) {
  if (markType <= 4) return Texts::text(TextNo::FirstTypeName + markType);
  if (markType == Mark::Debug) return Texts::text(TextNo::DebugName);
  if (markType >= 80 && markType <= 89) return Texts::text(TextNo::FirstComponentEvent + (markType - 80));
  return QString();
}

QString markText(const EventRecord& r) {
  const auto trigger = [&r](int prefix, int word) {
    return Texts::text(prefix) + QString::number(r.triggerNumber) + QLatin1Char('.') + triggerTypeName(r.markType) +
           QLatin1Char('.') + Texts::text(word);
  };
  switch (r.markCode) {
    case Mark::TriggerStart: return trigger(TextNo::TriggerStartPrefix, TextNo::TriggerStartWord);
    case Mark::TriggerStop: return trigger(TextNo::TriggerStopPrefix, TextNo::TriggerStopWord);
    case Mark::TriggerDetected: return trigger(TextNo::DetectedPrefix, TextNo::DetectedWord);
    case Mark::Appended: return Texts::text(TextNo::AppendedMark);
    case Mark::UserStop: return Texts::text(TextNo::UserStopMark);
    case Mark::UserStart: return Texts::text(TextNo::UserStartMark);
    case Mark::Debug:
      return Texts::text(TextNo::DebugName) + QString::number(r.triggerNumber) + QLatin1Char('.') +
             triggerTypeName(r.markType) + QLatin1Char('.') + Texts::text(TextNo::DebugName);
    default: return QString();
  }
}

TimeMode timeModeFromInt(int value) {
  if (value == 1) return TimeMode::Relative;
  if (value == 2) return TimeMode::Delta;
  return TimeMode::Absolute;
}

int64_t microsecondsBetween(double fromOleDate, double toOleDate) {
  const double days = toOleDate - fromOleDate;
  if (!std::isfinite(days)) return 0;
  const double micros = days * double(kMicrosPerDay);
  // A distance beyond any calendar (garbage stamps) is held at the calendar's span.
  const double limit = kLastOleDay * double(kMicrosPerDay);
  return std::llround(std::clamp(micros, -limit, limit));
}

QString timeText(TimeMode mode, double stamp, double base, const QLocale& locale) {
  if (mode == TimeMode::Absolute) {
    if (!std::isfinite(stamp) || stamp < 1.0 || stamp > kLastOleDay) return Texts::text(TextNo::InvalidStamp);
    // Whole microseconds since the epoch, split by integers: no second ever reads 60.
    const int64_t micros = std::llround(unixLocalFromOleDate(stamp) * 1e6);
    const int64_t seconds = micros >= 0 ? micros / 1'000'000 : -((-micros + 999'999) / 1'000'000);
    const int64_t fraction = micros - seconds * 1'000'000;
    return absoluteSecondsText(seconds, locale) + QLatin1Char(',') + sixDigits(fraction) + QLatin1Char(' ');
  }
  int64_t d = microsecondsBetween(base, stamp);
  QString sign;
  if (d < 0) {
    sign = QStringLiteral("-");
    d = -d;
  }
  const int64_t days = d / kMicrosPerDay;
  int64_t rest = d % kMicrosPerDay;
  const int64_t hours = rest / 3'600'000'000LL;
  rest %= 3'600'000'000LL;
  const int64_t minutes = rest / 60'000'000LL;
  rest %= 60'000'000LL;
  const int64_t seconds = rest / 1'000'000;
  const int64_t micros = rest % 1'000'000;
  return sign + QString::number(days) + Texts::text(TextNo::Days) + QStringLiteral("  ") + twoDigits(hours) +
         QLatin1Char(':') + twoDigits(minutes) + QLatin1Char(':') + twoDigits(seconds) + QLatin1Char(',') +
         sixDigits(micros) + QLatin1Char(' ');
}

QString errorLetters(const EventRecord& r, int side) {
  const int first = side == 0 ? ErrPe1 : ErrPe2;
  static const int kLetters[] = {TextNo::ParityLetter, TextNo::FramingLetter, TextNo::LineLetter};
  QString text;
  for (int i = 0; i < 3; ++i)
    if (flagSet(r.errors[first + i])) text += Texts::text(kLetters[i]);
  return text;
}

QString description(const EventRecord& r, CharacterCode code) {
  if (isNumeric(code)) return QString();
  QString text;
  if (flagSet(r.d1Flag) && !controlName(r.d1Byte, code).isEmpty())
    text = controlDescription(r.d1Byte, code) + kSeparator;
  if (flagSet(r.d2Flag) && !controlName(r.d2Byte, code).isEmpty()) {
    if (text.isEmpty()) text = kSeparator;
    text += controlDescription(r.d2Byte, code);
  }
  return text;
}

QString lineName(int line, int pinNaming) {
  static const char* const kNames[LineCount][2] = {{"D1", "Tx"},   {"D2", "Rx"},   {"S1", "DTR"},
                                                   {"M1", "DSR"},  {"S2", "RTS"},  {"M2", "CTS"},
                                                   {"M5", "DCD"},  {"M3", "RNG"},  {"D1Err", "TxErr"},
                                                   {"D2Err", "RxErr"}};
  if (line < 0 || line >= LineCount) return QString();
  return QString::fromLatin1(kNames[line][pinNaming == 1 ? 1 : 0]);
}

QString headerText(ViewMode view, int column, TimeMode timeMode, int pinNaming) {
  using namespace GridGeometry;
  switch (view) {
    case ViewMode::DataOnly:
      if (column == 0) return Texts::text(TextNo::DataOnlyLine);
      if (column == 1) return Texts::text(TextNo::DataOnlyEventNo);
      return column > 1 ? rulerText(column) : QString();
    case ViewMode::DataDump:
      if (column == 0) return Texts::text(TextNo::DumpLine);
      if (column == 1) return Texts::text(TextNo::DumpEventNo);
      if (column >= kLeadingColumns && column < kDumpGapColumn) return QString::number(column - kLeadingColumns, 16).toUpper();
      if (column >= kDumpFirstNumericColumn && column < kDumpColumns)
        return QString::number(column - kDumpFirstNumericColumn, 16).toUpper();
      return QString();
    default:
      break;
  }
  switch (column) {
    case 0: return Texts::text(TextNo::HeaderMark);
    case 1: return Texts::text(TextNo::HeaderEventNo);
    case 2: {
      const int suffix = timeMode == TimeMode::Relative ? TextNo::TimeRelative
                         : timeMode == TimeMode::Delta  ? TextNo::TimeDelta
                                                        : TextNo::TimeAbsolute;
      return Texts::text(TextNo::HeaderTime) + Texts::text(suffix);
    }
    case kVerticalDescriptionColumn: return Texts::text(TextNo::HeaderDescription);
    default: return column >= 3 && column <= 12 ? lineName(column - 3, pinNaming) : QString();
  }
}

SignalTrace signalTrace(int previous, int state, int next, int width, int height, bool fillMode) {
  SignalTrace t;
  const int w = (width / 10) * 6;
  const int bottom = height + 1;
  t.highX = w;
  auto add = [&t](int x1, int y1, int x2, int y2) { t.segments[t.segmentCount++] = {x1, y1, x2, y2}; };
  if (state == 0) {
    add(0, 0, 0, bottom);
    if (previous == 1) add(w, 0, 0, 0);
    if (next == 1) add(0, bottom, w, bottom);
  } else {
    t.filled = fillMode;
    add(w, 0, w, bottom);
    if (previous == 0) add(0, 0, w, 0);
    if (next == 0) add(w, bottom, 0, bottom);
  }
  return t;
}

int cellPosition(ViewMode view, int column, int row, int eventsPerLine) {
  using namespace GridGeometry;
  if (row < 1) return 0;
  if (view != ViewMode::DataOnly && view != ViewMode::DataDump) return row;
  const int perLine = view == ViewMode::DataDump ? kDumpEventsPerLine : std::max(1, eventsPerLine);
  const int first = ((row - 1) / 2) * perLine + 1;
  int offset = 0;
  if (view == ViewMode::DataDump && column >= kDumpFirstNumericColumn) offset = column - kDumpFirstNumericColumn;
  else if (column >= kLeadingColumns && (view == ViewMode::DataOnly || column < kDumpGapColumn))
    offset = column - kLeadingColumns;
  return first + std::min(offset, perLine - 1);
}

int statisticsPosition(ViewMode view, int column, int row, int eventsPerLine) {
  using namespace GridGeometry;
  if (row < 1) row = 1;
  int offset = 0;
  int rows = 1;
  int perLine = 1;
  if (view == ViewMode::DataOnly) {
    rows = 2;
    perLine = std::max(1, eventsPerLine);
    if (column >= 3) offset = column - kLeadingColumns;
  } else if (view == ViewMode::DataDump) {
    rows = 2;
    perLine = kDumpEventsPerLine;
    if (column >= kDumpGapColumn) offset = column - kDumpFirstNumericColumn;
    else if (column >= 3) offset = column - kLeadingColumns;
  }
  return ((row - 1) / rows) * perLine + 1 + offset;
}

QString rulerText(int column) {
  const int n = column - 1;
  if (n % 10 == 0) return QString::number((n / 10) % 10);
  if (n % 5 == 0) return Texts::text(TextNo::RulerFive);
  return Texts::text(TextNo::RulerOther);
}

QString statisticsText(const EventRecord& e, const EventRecord& t) {
  const auto pair = [](int64_t a, int64_t b) { return QString::number(a) + QStringLiteral(" / ") + QString::number(b); };
  return QStringLiteral("Tx:  ") + pair(e.counters[CntD1], t.counters[CntD1]) + QStringLiteral("     Dx:  ") +
         pair(e.counters[CntD2], t.counters[CntD2]) + QStringLiteral("       PE:  ") +
         pair(e.counters[CntPe], t.counters[CntPe]) + QStringLiteral("   FE:  ") +
         pair(e.counters[CntFe], t.counters[CntFe]) + QStringLiteral("   LE:  ") +
         pair(e.counters[CntLe], t.counters[CntLe]);
}

Rgb gaugeColour(Gauge gauge, int percent) {
  if (gauge != Gauge::Quality || percent >= 99) return kLime;
  return percent >= 90 ? kYellow : kRed;
}

}  // namespace CellText
