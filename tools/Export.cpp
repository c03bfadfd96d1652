#include "tools/Export.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "settings/Texts.h"
#include "tools/CsvWriter.h"
#include "tools/OutputFile.h"
#include "tools/PcapngWriter.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"

namespace TextNo {
constexpr int NoEvents = 9954, OutsideRecording = 9959, EmptyRange = 9969, Stopped = 9970, Done = 9971;
constexpr int NotARecord = 9991;
}  // namespace TextNo

namespace Export {

int64_t defaultGapMicros(const LineSettings& line) {
  if (line.baud <= 0) return 0;
  return (int64_t(line.bitsPerCharacter()) * 3'500'000 + line.baud - 1) / line.baud;
}

namespace {

// How often, in records, a running export looks at the stop request.
constexpr int64_t kStopCheckRecords = 1024;

// Whether a record looks like one we write: flags, line levels and errors of 0 or 1 and
// a date the calendar knows. Checked on the first record, so that a file of some other
// kind is refused instead of turned into pages of noise.
bool plausible(const EventRecord& r) {
  const auto bit = [](uint8_t v) { return v <= 1; };
  if (!bit(r.d1Flag) || !bit(r.d2Flag) || !std::all_of(r.signalBytes, r.signalBytes + SignalCount, bit) ||
      !std::all_of(r.errors, r.errors + ErrorCount, bit))
    return false;
  return std::isfinite(r.timeStamp) && r.timeStamp >= 1.0 && r.timeStamp <= 2958465.0;
}

Result failed(Result r, int number, const QString& message) {
  r.status = Status::Failed;
  r.messageNumber = number;
  r.message = message;
  return r;
}

}  // namespace

Result run(RecordReader& reader, const QString& target, const Options& options, WorkControl* control) {
  Result result;
  if (!reader.isOpen()) return failed(result, reader.messageNumber(), reader.message());
  // The range is settled once, against the file as it is now; a recording that goes
  // on meanwhile does not move it.
  const int64_t last = reader.refresh();
  if (last <= 0) return failed(result, TextNo::NoEvents, Texts::text(TextNo::NoEvents).arg(reader.path()));
  const int64_t from = std::max<int64_t>(options.from, 1);
  const int64_t to = options.to <= 0 ? last : std::min(options.to, last);
  if (from > last)
    return failed(result, TextNo::OutsideRecording, Texts::text(TextNo::OutsideRecording).arg(from).arg(last));
  if (from > to) return failed(result, TextNo::EmptyRange, Texts::text(TextNo::EmptyRange).arg(from).arg(to));
  {
    EventRecord first;
    if (!reader.readOne(0, first)) return failed(result, reader.messageNumber(), reader.message());
    if (!plausible(first))
      return failed(result, TextNo::NotARecord, Texts::text(TextNo::NotARecord).arg(reader.path()));
  }
  result.firstEvent = from;
  result.lastEvent = to;
  // A stop asked for before the start is kept: the export then writes no event.
  if (control) {
    control->done = 0;
    control->total = to - from + 1;
  }

  OutputFile out;
  if (!out.open(target, reader.identity())) return failed(result, out.messageNumber(), out.message());
  const auto readFailed = [&] {
    out.discard();
    return failed(result, reader.messageNumber(), reader.message());
  };

  std::optional<CsvWriter> csv;
  std::optional<PcapngWriter> pcap;
  double base = 0;
  if (options.format == Format::Csv) {
    csv.emplace(options);
    if (options.header) csv->appendTitleLine(out.buffer());
    // Relative times count from event 1; delta times from the event before the first
    // one exported (event 1 has none and counts from itself).
    EventRecord first;
    if (options.timeMode != CellText::TimeMode::Absolute) {
      const int64_t index = options.timeMode == CellText::TimeMode::Relative ? 0 : std::max<int64_t>(from - 2, 0);
      if (!reader.readOne(index, first)) return readFailed();
      base = first.timeStamp;
    }
  } else if (options.format == Format::Pcapng) {
    pcap.emplace(options, out.buffer());
    pcap->appendHeader();
  }

  std::vector<EventRecord> block(std::size_t(std::min<int64_t>(RecordReader::kBlockRecords, to - from + 1)));
  bool stopped = false;
  int64_t next = from;
  while (next <= to && !stopped) {
    const int64_t count = std::min<int64_t>(int64_t(block.size()), to - next + 1);
    if (!reader.read(next - 1, count, block.data())) return readFailed();
    for (int64_t i = 0; i < count; ++i) {
      if (control && i % kStopCheckRecords == 0 && control->stopRequested()) {
        stopped = true;
        break;
      }
      const EventRecord& r = block[std::size_t(i)];
      std::string& buffer = out.buffer();
      switch (options.format) {
        case Format::Csv:
          csv->appendLine(buffer, r, base);
          if (options.timeMode == CellText::TimeMode::Delta) base = r.timeStamp;
          ++result.units;
          break;
        case Format::Raw:
          if (options.d1 && CellText::flagSet(r.d1Flag)) buffer.push_back(char(r.d1Byte)), ++result.units;
          if (options.d2 && CellText::flagSet(r.d2Flag)) buffer.push_back(char(r.d2Byte)), ++result.units;
          break;
        case Format::Pcapng:
          pcap->add(r);
          break;
      }
      ++result.events;
      if (!out.flushIfFull()) return failed(result, out.messageNumber(), out.message());
    }
    next += count;
    if (control) control->done.store(result.events, std::memory_order_relaxed);
  }
  if (pcap) {
    pcap->finish();
    result.units = pcap->packets();
  }
  if (!out.commit()) return failed(result, out.messageNumber(), out.message());
  const QString name = QDir::toNativeSeparators(target);
  if (stopped) {
    result.status = Status::Stopped;
    result.message = Texts::text(TextNo::Stopped).arg(result.events).arg(name);
  } else {
    result.status = Status::Done;
    result.message = Texts::text(TextNo::Done).arg(from).arg(to).arg(name).arg(result.events);
  }
  if (control) control->stop = false;
  return result;
}

}  // namespace Export
