#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "capture/Clock.h"
#include "view/CellText.h"

namespace {

using namespace CellText;

EventRecord event(uint32_t number = 1) {
  EventRecord r = zeroRecord();
  r.eventNumber = number;
  return r;
}

constexpr double kHour = 1.0 / 24.0;
constexpr double kMicro = 1.0 / 86400e6;
constexpr double kDay = 46000.0;  // some day in 2025

const QLocale kC = QLocale::c();

TEST(TimeText, RelativeAndDeltaSplitDaysHoursAndMicroseconds) {
  EXPECT_EQ(timeText(TimeMode::Relative, kDay + 26 * kHour, kDay, kC), QStringLiteral("1 day(s)  02:00:00,000000 "));
  EXPECT_EQ(timeText(TimeMode::Delta, kDay + 0.25 * kHour + 1234 * kMicro, kDay, kC),
            QStringLiteral("0 day(s)  00:15:00,001234 "));
  // Whole hours never come out a microsecond short from the stored day fraction.
  for (int h = 1; h < 48; ++h)
    EXPECT_TRUE(timeText(TimeMode::Relative, kDay + h * kHour, kDay, kC).endsWith(QStringLiteral(":00:00,000000 ")))
        << h;
  // A stamp before its base (a file not written in order) says so instead of wrapping.
  EXPECT_EQ(timeText(TimeMode::Delta, kDay, kDay + 2 * kMicro, kC), QStringLiteral("-0 day(s)  00:00:00,000002 "));
}

TEST(TimeText, AbsoluteUsesTheLocaleAndSixDigitsOfMicroseconds) {
  const QLocale german(QLocale::German, QLocale::Germany);
  const double stamp = oleDateFromUnixLocal(QDateTime(QDate(2026, 12, 8), QTime(6, 5, 9), QTimeZone::utc())
                                                .toSecsSinceEpoch()) +
                       42 * kMicro;
  const QString text = timeText(TimeMode::Absolute, stamp, 0, german);
  EXPECT_EQ(text, QStringLiteral("08.12.2026 06:05:09,000042 "));
  EXPECT_FALSE(text.contains(QStringLiteral("UTC")));
  // Garbage stamps read as such, never as a date.
  for (double bad : {0.0, -5.0, 1e12, std::nan("")})
    EXPECT_EQ(timeText(TimeMode::Absolute, bad, 0, german), QStringLiteral("invalid"));
  EXPECT_EQ(timeModeFromInt(7), TimeMode::Absolute);
}

TEST(MarkText, EveryMarkCodeAndTypeName) {
  EventRecord r = event();
  r.markCode = Mark::TriggerStart;
  r.markType = 0;
  r.triggerNumber = 3;
  EXPECT_EQ(markText(r), QStringLiteral("T_3.data.start"));
  r.markCode = Mark::TriggerStop;
  r.markType = 4;
  EXPECT_EQ(markText(r), QStringLiteral("T_3.inact.stop"));
  r.markCode = Mark::TriggerDetected;
  r.markType = 85;
  EXPECT_EQ(markText(r), QStringLiteral("T_3.OnTriggerOutbuffFree.detected"));
  r.markType = 200;  // no recorder writes this type: the name stays empty
  EXPECT_EQ(markText(r), QStringLiteral("T_3..detected"));
  r.markCode = Mark::Debug;
  r.markType = Mark::Debug;
  r.triggerNumber = 7;
  EXPECT_EQ(markText(r), QStringLiteral("debug7.debug.debug"));
  r.markType = Mark::SystemType;
  for (auto [code, text] : {std::pair{Mark::Appended, "E_0.appended"}, std::pair{Mark::UserStop, "E_0.user stop"},
                            std::pair{Mark::UserStart, "E_0.user start"}}) {
    r.markCode = code;
    EXPECT_EQ(markText(r), QString::fromLatin1(text));
  }
  for (uint8_t nothing : {uint8_t(0), uint8_t(7), uint8_t(97), uint8_t(99), uint8_t(255)}) {
    r.markCode = nothing;
    EXPECT_TRUE(markText(r).isEmpty()) << int(nothing);
  }
  const MarkPalette palette;
  EXPECT_EQ(palette.colourOf(Mark::TriggerStart), (Rgb{0, 128, 0}));
  EXPECT_EQ(palette.colourOf(Mark::UserStart), (Rgb{0, 128, 128}));
  EXPECT_EQ(palette.colourOf(Mark::Debug), (Rgb{255, 0, 0}));
}

TEST(CellText, ErrorLettersAndDescriptions) {
  EventRecord r = event();
  r.errors[ErrPe2] = 1;
  r.errors[ErrLe2] = 1;
  EXPECT_EQ(errorLetters(r, 1), QStringLiteral("PL"));
  EXPECT_EQ(errorLetters(r, 0), QString());
  r.errors[ErrFe1] = 7;  // any non-zero flag of a foreign file counts
  EXPECT_EQ(errorLetters(r, 0), QStringLiteral("F"));

  EventRecord both = event();
  both.d1Flag = both.d2Flag = 1;
  both.d1Byte = 0x0D;
  both.d2Byte = 0x0A;
  EXPECT_EQ(description(both, CharacterCode::UsAscii), QStringLiteral("carriage return <---|---> line feed"));
  EventRecord d2 = both;
  d2.d1Flag = 0;
  EXPECT_EQ(description(d2, CharacterCode::UsAscii), QStringLiteral(" <---|---> line feed"));
  EventRecord d1 = both;
  d1.d2Flag = 0;
  EXPECT_EQ(description(d1, CharacterCode::UsAscii), QStringLiteral("carriage return <---|---> "));
  EXPECT_TRUE(description(both, CharacterCode::Hexadecimal).isEmpty());
  EventRecord printable = both;
  printable.d1Byte = 'A';
  printable.d2Byte = 'B';
  EXPECT_TRUE(description(printable, CharacterCode::UsAscii).isEmpty());
  // EBCDIC 0x25 is its line feed; 0x40 its space, which is named too.
  EventRecord ebcdic = d2;
  ebcdic.d2Byte = 0x25;
  EXPECT_EQ(description(ebcdic, CharacterCode::Ebcdic), QStringLiteral(" <---|---> line feed"));
}

TEST(CellText, HeadersFollowTheViewTheTimeModeAndTheNaming) {
  EXPECT_EQ(headerText(ViewMode::Vertical, 2, TimeMode::Delta, 0), QStringLiteral("Date/Time-Delta"));
  EXPECT_EQ(headerText(ViewMode::Vertical, 2, TimeMode::Absolute, 0), QStringLiteral("Date/Time-Absolute/Local"));
  const char* v24[] = {"D1", "D2", "S1", "M1", "S2", "M2", "M5", "M3", "D1Err", "D2Err"};
  const char* usa[] = {"Tx", "Rx", "DTR", "DSR", "RTS", "CTS", "DCD", "RNG", "TxErr", "RxErr"};
  for (int c = 3; c <= 12; ++c) {
    EXPECT_EQ(headerText(ViewMode::Vertical, c, TimeMode::Absolute, 0), QString::fromLatin1(v24[c - 3]));
    EXPECT_EQ(headerText(ViewMode::Vertical, c, TimeMode::Absolute, 1), QString::fromLatin1(usa[c - 3]));
  }
  EXPECT_EQ(headerText(ViewMode::DataDump, 12, TimeMode::Absolute, 0), QStringLiteral("A"));
  EXPECT_EQ(headerText(ViewMode::DataDump, 34, TimeMode::Absolute, 0), QStringLiteral("F"));
  EXPECT_TRUE(headerText(ViewMode::DataDump, 18, TimeMode::Absolute, 0).isEmpty());
  // The data-only ruler: tens digit every tenth place, "+" every fifth.
  QString ruler;
  for (int c = 2; c <= 22; ++c) ruler += headerText(ViewMode::DataOnly, c, TimeMode::Absolute, 0);
  EXPECT_EQ(ruler, QStringLiteral("----+----1----+----2-"));
  EXPECT_EQ(rulerText(101), QStringLiteral("0"));  // position 100: the tens digit, one character wide
}

TEST(SignalTrace, EdgesJoinTheNeighbouringEvents) {
  // Width 30: the high level runs 18 pixels right of the low one.
  const SignalTrace steady = signalTrace(1, 1, 1, 30, 16, true);
  ASSERT_EQ(steady.segmentCount, 1);  // high three times in a row: one straight line
  EXPECT_EQ(steady.segments[0].x1, 18);
  EXPECT_EQ(steady.segments[0].y2, 17);
  EXPECT_TRUE(steady.filled);
  const SignalTrace rising = signalTrace(0, 1, 0, 30, 16, false);
  ASSERT_EQ(rising.segmentCount, 3);
  EXPECT_FALSE(rising.filled);
  EXPECT_EQ(rising.segments[1].y1, 0);   // rising edge at the top
  EXPECT_EQ(rising.segments[2].y1, 17);  // falling edge at the bottom
  const SignalTrace low = signalTrace(1, 0, 0, 30, 16, true);
  ASSERT_EQ(low.segmentCount, 2);
  EXPECT_FALSE(low.filled);
  EXPECT_EQ(low.segments[1].x1, 18);
  EXPECT_EQ(low.segments[1].x2, 0);
}

TEST(CellPosition, RowsAndColumnsMapToTheBuffer) {
  EXPECT_EQ(cellPosition(ViewMode::Vertical, 7, 5, 1), 5);
  // Data only, 66 events a line: both rows of line 2 show positions 67 on.
  EXPECT_EQ(cellPosition(ViewMode::DataOnly, 2, 3, 66), 67);
  EXPECT_EQ(cellPosition(ViewMode::DataOnly, 2, 4, 66), 67);
  EXPECT_EQ(cellPosition(ViewMode::DataOnly, 67, 4, 66), 132);
  EXPECT_EQ(cellPosition(ViewMode::DataDump, 17, 1, 16), 16);
  EXPECT_EQ(cellPosition(ViewMode::DataDump, 19, 2, 16), 1);
  EXPECT_EQ(cellPosition(ViewMode::DataDump, 34, 4, 16), 32);

  // Statistics: a D2 row names the same event as its D1 row; the gap the event before the line.
  EXPECT_EQ(statisticsPosition(ViewMode::DataOnly, 10, 4, 66), statisticsPosition(ViewMode::DataOnly, 10, 3, 66));
  EXPECT_EQ(statisticsPosition(ViewMode::DataOnly, 10, 3, 66), 67 + 8);
  EXPECT_EQ(statisticsPosition(ViewMode::DataOnly, 2, 1, 66), 1);
  EXPECT_EQ(statisticsPosition(ViewMode::DataDump, 18, 3, 16), 16);
  EXPECT_EQ(statisticsPosition(ViewMode::DataDump, 20, 1, 16), 2);
  EXPECT_EQ(statisticsPosition(ViewMode::Vertical, 0, 9, 1), 9);
}

TEST(Statistics, TextAndGaugeColours) {
  EventRecord e = event(), totals = event();
  const int64_t mine[] = {5, 6, 1, 0, 2}, all[] = {50, 60, 3, 0, 2};
  for (int i = 0; i < CounterCount; ++i) {
    e.counters[i] = mine[i];
    totals.counters[i] = all[i];
  }
  EXPECT_EQ(statisticsText(e, totals),
            QStringLiteral("Tx:  5 / 50     Dx:  6 / 60       PE:  1 / 3   FE:  0 / 0   LE:  2 / 2"));
  EXPECT_EQ(statisticsText(zeroRecord(), totals),
            QStringLiteral("Tx:  0 / 50     Dx:  0 / 60       PE:  0 / 3   FE:  0 / 0   LE:  0 / 2"));
  EXPECT_EQ(gaugeColour(Gauge::Quality, 100), kLime);
  EXPECT_EQ(gaugeColour(Gauge::Quality, 99), kLime);
  EXPECT_EQ(gaugeColour(Gauge::Quality, 95), kYellow);
  EXPECT_EQ(gaugeColour(Gauge::Quality, 90), kYellow);
  EXPECT_EQ(gaugeColour(Gauge::Quality, 80), kRed);
  EXPECT_EQ(gaugeColour(Gauge::Load, 3), kLime);
  EXPECT_EQ(gaugeColour(Gauge::Peak, 100), kLime);
}

}  // namespace
