#pragma once
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>

#include "capture/EventRecord.h"
#include "view/CodeFormat.h"

// What the cells of the event grid say, as pure functions of the records and the view
// settings, so that the screen and the printed report draw the same texts.
namespace CellText {

// A colour as the grid fixes it, independent of the style.
struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kTracePen{128, 128, 128};
inline constexpr Rgb kTraceFill{192, 192, 192};
inline constexpr Rgb kErrorText{255, 0, 0};
inline constexpr Rgb kLime{0, 255, 0};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};

// The colours of the seven mark codes (trigger start, stop, detected, appended, user
// stop, user start, debug); a skin may replace them.
struct MarkPalette {
  std::array<Rgb, 7> colours{{{0, 128, 0}, {128, 0, 0}, {255, 0, 0}, {128, 128, 0}, {128, 0, 128}, {0, 128, 128}, {255, 0, 0}}};
  // The colour of a mark code; codes without a text get the first.
  Rgb colourOf(uint8_t markCode) const;
};

// The name of a trigger type in a mark: data, signal, error, timer, inact, debug and
// the serial component's event names for 80 to 89; any other type has none.
QString triggerTypeName(uint8_t markType);

// The mark column: "T_3.data.start", "E_0.user stop" ...; empty for mark code 0 and for
// codes no recorder writes.
QString markText(const EventRecord& record);

enum class TimeMode { Absolute = 0, Relative = 1, Delta = 2 };
// Any value other than 1 and 2 is the absolute time.
TimeMode timeModeFromInt(int value);

// The time column. Absolute: the stamp in the locale's short date and long time (without
// a time zone), "," and six digits of microseconds. Relative and delta: the distance to
// the base as whole days, " day(s)", two blanks and "hh:mm:ss,uuuuuu". A trailing blank
// in every mode. Distances are rounded to the microsecond before they are split, so that
// the rounding noise of the stored day fraction never shows 01:59:59,999999 for two
// hours; a negative distance (a stamp before its base) carries a leading "-".
QString timeText(TimeMode mode, double stamp, double base, const QLocale& locale);
// The absolute time of a whole second (seconds since 1970 in local time): the locale's
// short date with a four-digit year, a blank and the long time without a time zone.
// timeText adds "," and the microseconds; exports that write many events of one second
// keep this part.
QString absoluteSecondsText(int64_t unixLocalSeconds, const QLocale& locale);
QString sixDigitMicros(int64_t micros);
// The distance between two stamps in whole microseconds, as the grid shows it.
int64_t microsecondsBetween(double fromOleDate, double toOleDate);

// "P", "F" and "L" for the set flags of one side (0 D1, 1 D2), in this order.
QString errorLetters(const EventRecord& record, int side);

// The description column: the names of the control bytes of the event, D1 first, with
// " <---|---> " between (and before a lone D2 description).
QString description(const EventRecord& record, CharacterCode code);

// Line names by pin naming: 0 V.24 (D1, D2, S1 ...), 1 US names (Tx, Rx, DTR ...).
enum Line { LineD1, LineD2, LineS1, LineM1, LineS2, LineM2, LineM5, LineM3, LineD1Err, LineD2Err, LineCount };
QString lineName(int line, int pinNaming);

// The header of a column in a view.
QString headerText(ViewMode view, int column, TimeMode timeMode, int pinNaming);

// Whether a record flag counts as set: anything but 0 (files not written by us may hold
// other values; they still mean "present").
inline bool flagSet(uint8_t flag) { return flag != 0; }

// The signal state of a record as a trace level (0 or 1).
inline int signalLevel(const EventRecord& record, int signal) { return record.signalBytes[signal] != 0 ? 1 : 0; }

// Geometry of a signal trace cell: the low level runs down the left edge, the high level
// w = (width / 10) * 6 pixels to the right of it; edges join them at the top (towards
// the previous event) and at the bottom (towards the next). Coordinates relative to the
// cell's top left, bottom = height + 1 so that the lines of neighbouring rows meet.
struct TraceSegment {
  int x1, y1, x2, y2;
};
struct SignalTrace {
  std::array<TraceSegment, 3> segments{};
  int segmentCount = 0;
  bool filled = false;  // high level with fill mode: the area up to the high line is silver
  int fillLeft = -1;    // the area spans x fillLeft .. levelX, the cell's full height
  int highX = 0;
};
SignalTrace signalTrace(int previous, int state, int next, int width, int height, bool fillMode);

// Where the event of a cell lies in the live view buffer. Vertical view: the row; the
// two-row views: line (row - 1) / 2 starting at (line) * events per line + 1, and the
// column within it. Columns without an event (line and number columns, the dump's gap)
// give the line's first event, which the event-number column shows.
int cellPosition(ViewMode view, int column, int row, int eventsPerLine);
// The event whose statistics a click on a cell shows; the dump's gap column names the
// event before the line.
int statisticsPosition(ViewMode view, int column, int row, int eventsPerLine);

// The data-only view's ruler over event column c (position n = c - 1 in the line): the
// tens digit at every tenth position, "+" at every fifth, "-" elsewhere.
QString rulerText(int column);

// The statistics line for an event against the totals of the recording.
QString statisticsText(const EventRecord& event, const EventRecord& totals);
enum class Gauge { Load, Peak, Quality };
// Load gauges are lime; quality lime from 99 %, yellow from 90 %, red below.
Rgb gaugeColour(Gauge gauge, int percent);

}  // namespace CellText
