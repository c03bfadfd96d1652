#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>
#include <array>
#include <cstdint>
#include <variant>

#include "capture/EventRecord.h"

class RecordReader;
struct WorkControl;

// The five searches over a record file. Each scans from the event after (forward) or
// before (reverse) the selected one and stops at the first record that matches. The
// record at position 0 is the file's start record and is never examined; records added
// while a search runs are not examined either.
namespace Search {

enum class Direction { Forward, Reverse };

// Condition codes of the signal and error rows: ignore, low / no, high / yes.
enum Condition : uint8_t { Ignore = 0, LowOrNo = 1, HighOrYes = 2 };

// A byte sequence on D1, D2 or either. The bytes of the followed line must come in
// increasing position; records of the other line and signal events between them do not
// interrupt the sequence. A sequence cut off by the end of the file is not found.
struct DataQuery {
  bool d1 = true;
  bool d2 = false;
  QByteArray pattern;
};
// All six lines (S1, M1, S2, M2, M5, M3 in record order) meet their conditions.
struct SignalQuery {
  std::array<uint8_t, SignalCount> codes{};
};
// PE, FE, LE all meet their conditions on the D1 side, or all on the D2 side.
struct ErrorQuery {
  std::array<uint8_t, 3> codes{};
};
// Forward: the first stamp later than the target; reverse: the first one earlier.
struct TimeQuery {
  double target = 0;  // OLE date, local time, as the records hold it
};
struct TriggerQuery {
  int number = 1;
};
using Query = std::variant<DataQuery, SignalQuery, ErrorQuery, TimeQuery, TriggerQuery>;

enum class Outcome { Found, NotFound, Stopped, ReadFailed, NoDataLine, EmptyPattern };
struct Result {
  Outcome outcome = Outcome::NotFound;
  int64_t event = -1;  // the found event (a data sequence: its first byte)
};

// The scan itself. selectedEvent may lie anywhere (below the last event, before 0):
// a start outside 1 .. last event ends as not found. The reader's failure tells what a
// ReadFailed outcome means. control (optional) carries Stop and the progress.
// blockRecords: records read at once (tests cut sequences at every block boundary).
Result find(RecordReader& reader, const Query& query, int64_t selectedEvent, Direction direction,
            WorkControl* control = nullptr, int blockRecords = 65536);

// Whether one record matches a single-record query (all but the data search).
bool matches(const EventRecord& record, const Query& query, Direction direction);

// The information text when nothing is found, by the kind of search.
int notFoundText(const Query& query);
// The text of an outcome that is neither found nor not found (no line, empty pattern).
int outcomeText(Outcome outcome);

// A search text of hexadecimal digits, blanks allowed between them, as a pattern of 1
// to 255 bytes. 0 when it is good, otherwise the number of the message that says why
// (badDigit gets the offending character).
int parseHexPattern(const QString& text, QByteArray* pattern, QString* badDigit = nullptr);

// A wall-clock date and time, whatever zone it claims, as the OLE date the records carry.
double oleDateOfWallClock(const QDate& date, const QTime& time);
// "YYYY-MM-DD hh:mm:ss[.ffffff]" (also with a "T") as an OLE date; false when it cannot be read.
bool parseTimeText(const QString& text, double* oleDate);

}  // namespace Search
