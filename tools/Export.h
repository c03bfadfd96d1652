#pragma once
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>

#include "capture/EventRecord.h"
#include "capture/LineSettings.h"
#include "view/CellText.h"

class RecordReader;
struct WorkControl;

// Writing a range of recorded events to a file: a CSV table (RFC 4180), the bare data
// bytes, or a Wireshark capture (pcapng, link type 250).
namespace Export {

enum class Format { Raw = 0, Csv = 1, Pcapng = 2 };

struct Options {
  Format format = Format::Csv;
  // Data lines: CSV columns, raw bytes.
  bool d1 = true, d2 = true;
  // CSV only.
  std::array<bool, SignalCount> signalLines{true, true, true, true, true, true};  // S1 M1 S2 M2 M5 M3
  bool errors = true;  // P/F/L of the chosen data lines
  bool hex = true, dec = true, oct = true, bin = true;
  bool header = true, mark = true, eventNumber = true, timeStamp = true, description = true;
  char separator = ';';
  char quote = '"';  // 0: {none}
  CellText::TimeMode timeMode = CellText::TimeMode::Absolute;
  int pinNaming = 0;  // line names in the titles: 0 V.24, 1 US
  QLocale locale;     // dates and times of the absolute time column
  // Range: 1 .. last event when from and to are 0; clamped to the file when the export starts.
  int64_t from = 0, to = 0;
  // Wireshark capture: a run of one line's bytes ends after this idle time; below 0:
  // three and a half character times at these line settings.
  int64_t gapMicros = -1;
  LineSettings line{9600, 8, Parity::None, 1};
};

enum class Status { Done, Stopped, Failed };
struct Result {
  Status status = Status::Failed;
  int64_t firstEvent = 0, lastEvent = 0;  // the range after clamping
  int64_t events = 0;                     // events written (CSV: lines after the title)
  int64_t units = 0;                      // CSV lines, raw bytes or capture packets written
  int messageNumber = 0;                  // why it failed; 0 when it did not
  QString message;                        // the whole message in the user's language
};

// Exports from the open reader into target. The target is written through a temporary
// file in its folder and renamed when complete; a failed export leaves no file behind,
// a stopped one keeps the well-formed part written so far. The target must not be the
// record file itself (compared by device and inode).
Result run(RecordReader& reader, const QString& target, const Options& options, WorkControl* control = nullptr);

// The idle time that ends a packet by default: 3.5 character times, in microseconds.
int64_t defaultGapMicros(const LineSettings& line);

}  // namespace Export
