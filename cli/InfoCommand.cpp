#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "capture/EventRecord.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "recording/RecordFileName.h"
#include "recording/RecordText.h"
#include "settings/Texts.h"
#include "settings/UserPath.h"

namespace TextNo {
constexpr int NotRegular = 9415, OneFile = 9422, FromValue = 9423, CountValue = 9424, ReadFailed = 9425;
constexpr int File = 9426, Records = 9427, First = 9428, Last = 9429, Counters = 9430, Line = 9431, Note = 9432;
constexpr int Marks = 9433, LineStats = 9434, Trailing = 9435, Misnumbered = 9436;
}  // namespace TextNo

namespace {

// Streams every whole record of a file through a visitor; trailing bytes are counted, not read as a record.
struct Scan {
  int64_t records = 0;
  int64_t trailingBytes = 0;
  QString error;
};

Scan scanRecords(const QString& path, int64_t from, const std::function<bool(int64_t, const EventRecord&)>& visit) {
  Scan scan;
  const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    scan.error = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : Texts::text(TextNo::NotRegular);
    if (fd >= 0) ::close(fd);
    return scan;
  }
  scan.records = st.st_size / int64_t(kRecordSize);
  scan.trailingBytes = st.st_size % int64_t(kRecordSize);
  constexpr int64_t kChunk = 8192;  // records per read: 640 KiB
  std::vector<EventRecord> buf(kChunk);
  for (int64_t i = std::max<int64_t>(from, 0); i < scan.records;) {
    const int64_t want = std::min(kChunk, scan.records - i);
    const ssize_t got = ::pread(fd, buf.data(), size_t(want) * kRecordSize, i * int64_t(kRecordSize));
    if (got <= 0) {
      scan.error = Texts::text(TextNo::ReadFailed).arg(i);
      break;
    }
    const int64_t n = got / int64_t(kRecordSize);
    for (int64_t k = 0; k < n; ++k)
      if (!visit(i + k, buf[size_t(k)])) {
        ::close(fd);
        return scan;
      }
    i += n;
    if (n == 0) break;
  }
  ::close(fd);
  return scan;
}

// The names of the flags that are set, comma-separated.
QString flagsText(const uint8_t* flags, const char* const* names, int count) {
  QStringList on;
  for (int i = 0; i < count; ++i)
    if (flags[i]) on << QLatin1String(names[i]);
  return on.join(QLatin1Char(','));
}

const char* const kSignalNames[SignalCount] = {"DTR", "DSR", "RTS", "CTS", "DCD", "RNG"};
const char* const kErrorNames[ErrorCount] = {"PE1", "FE1", "LE1", "PE2", "FE2", "LE2"};

}  // namespace

int runInfo(const QStringList& in) {
  const Args a = Args::parse(in, {}, {"json"});
  if (!a.error.isEmpty() || a.positional.size() != 1) {
    printErr(QStringLiteral("vorlog-cli info: ") + (a.error.isEmpty() ? Texts::text(TextNo::OneFile) : a.error) + "\n");
    return 2;
  }
  const QString path = resolveRecordFileName(a.positional[0], userPath());
  EventRecord first = zeroRecord(), last = zeroRecord();
  QJsonArray marks;
  QStringList markLines;
  int64_t misnumbered = 0;
  const Scan scan = scanRecords(path, 0, [&](int64_t i, const EventRecord& r) {
    if (i == 0) first = r;
    last = r;
    if (r.eventNumber != uint32_t(i)) ++misnumbered;
    const QString label = markLabel(r);
    if (!label.isEmpty()) {
      marks.append(QJsonObject{{"event", double(i)}, {"label", label}, {"time", formatOleDate(r.timeStamp)}});
      markLines << QStringLiteral("  %1  %2  %3").arg(i, 10).arg(formatOleDate(r.timeStamp), label);
    }
    return true;
  });
  if (!scan.error.isEmpty()) {
    printErr(QStringLiteral("vorlog-cli: %1: %2\n").arg(path, scan.error));
    return 1;
  }
  static const char* kCounterNames[CounterCount] = {"D1", "D2", "PE", "FE", "LE"};
  if (a.has("json")) {
    QJsonObject counters;
    for (int i = 0; i < CounterCount; ++i) counters[QLatin1String(kCounterNames[i])] = double(last.counters[i]);
    QJsonObject o{{"file", path},
                  {"records", double(scan.records)},
                  {"trailingBytes", double(scan.trailingBytes)},
                  {"misnumbered", double(misnumbered)},
                  {"first", scan.records ? formatOleDate(first.timeStamp) : QString()},
                  {"last", scan.records ? formatOleDate(last.timeStamp) : QString()},
                  {"counters", counters},
                  {"marks", marks}};
    printOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    return 0;
  }
  // One labelled line; labels are padded so the values stand in one column.
  int width = 0;
  for (int label : {TextNo::File, TextNo::Records, TextNo::First, TextNo::Last, TextNo::Counters, TextNo::Line,
                    TextNo::Note, TextNo::Marks})
    width = std::max(width, int(Texts::text(label).size()) + 1);
  auto line = [width](int label, const QString& value) {
    return Texts::text(label).leftJustified(width) + value + QLatin1Char('\n');
  };
  QString out = line(TextNo::File, path) + line(TextNo::Records, QString::number(scan.records));
  if (scan.records) {
    out += line(TextNo::First, formatOleDate(first.timeStamp)) + line(TextNo::Last, formatOleDate(last.timeStamp));
    QString counters;
    for (int i = 0; i < CounterCount; ++i) counters += QStringLiteral("%1 %2  ").arg(kCounterNames[i]).arg(last.counters[i]);
    out += line(TextNo::Counters, counters.trimmed());
    out += line(TextNo::Line, Texts::text(TextNo::LineStats).arg(last.lineLoad).arg(last.peakLoad).arg(last.lineQuality));
  }
  if (scan.trailingBytes) out += line(TextNo::Note, Texts::text(TextNo::Trailing).arg(scan.trailingBytes));
  if (misnumbered) out += line(TextNo::Note, Texts::text(TextNo::Misnumbered).arg(misnumbered));
  out += line(TextNo::Marks, QString::number(markLines.size()));
  if (!markLines.isEmpty()) out += markLines.join(QLatin1Char('\n')) + QLatin1Char('\n');
  printOut(out);
  return 0;
}

int runDump(const QStringList& in) {
  const Args a = Args::parse(in, {"from", "count"}, {});
  if (!a.error.isEmpty() || a.positional.size() != 1) {
    printErr(QStringLiteral("vorlog-cli dump: ") + (a.error.isEmpty() ? Texts::text(TextNo::OneFile) : a.error) + "\n");
    return 2;
  }
  bool ok = true;
  const int64_t from = a.has("from") ? a.value("from").toLongLong(&ok) : 0;
  if (!ok || from < 0) return printErr(QStringLiteral("vorlog-cli dump: ") + Texts::text(TextNo::FromValue) + "\n"), 2;
  const int64_t count = a.has("count") ? a.value("count").toLongLong(&ok) : INT64_MAX;
  if (!ok || count < 0) return printErr(QStringLiteral("vorlog-cli dump: ") + Texts::text(TextNo::CountValue) + "\n"), 2;
  // The file used goes to standard error, so that standard output stays one record a line.
  const QString path = resolveRecordFileName(a.positional[0], userPath());
  printErr(Texts::text(TextNo::File) + QStringLiteral(": ") + path + QLatin1Char('\n'));
  int64_t shown = 0;
  QString out;
  // The byte in hex and, where printable, as the character itself.
  auto hexOrDash = [](uint8_t flag, uint8_t b) {
    if (!flag) return QStringLiteral("--  ");
    const QString hex = QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return hex + QLatin1Char(' ') + (b >= 0x20 && b < 0x7F ? QChar(b) : QChar(' '));
  };
  const Scan scan = scanRecords(path, from, [&](int64_t i, const EventRecord& r) {
    if (shown++ >= count) return false;
    out += QStringLiteral("%1  %2  D1 %3  D2 %4  %5 %6 %7\n")
               .arg(i, 8)
               .arg(formatOleDate(r.timeStamp), hexOrDash(r.d1Flag, r.d1Byte), hexOrDash(r.d2Flag, r.d2Byte))
               .arg(flagsText(r.signalBytes, kSignalNames, SignalCount), -27)
               .arg(flagsText(r.errors, kErrorNames, ErrorCount), markLabel(r));
    if (out.size() > 65536) {
      printOut(out);
      out.clear();
    }
    return true;
  });
  printOut(out);
  if (!scan.error.isEmpty()) {
    printErr(QStringLiteral("vorlog-cli: %1: %2\n").arg(path, scan.error));
    return 1;
  }
  return 0;
}
