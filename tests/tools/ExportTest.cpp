// The export writers: the field quoting, the shared time and description texts, and
// how an export settles its range, stops, and fails without harming any file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <thread>

#include "capture/Clock.h"
#include "settings/Texts.h"
#include "tools/CsvWriter.h"
#include "tools/Export.h"
#include "tools/RecordReader.h"
#include "tools/WorkControl.h"

namespace {

EventRecord event(uint32_t number, double stamp, int d1 = -1, int d2 = -1) {
  EventRecord r = zeroRecord();
  r.eventNumber = number;
  r.timeStamp = stamp;
  if (d1 >= 0) r.d1Flag = 1, r.d1Byte = uint8_t(d1);
  if (d2 >= 0) r.d2Flag = 1, r.d2Byte = uint8_t(d2);
  return r;
}

// n events a millisecond apart from 1 July 2026 noon, D1 bytes 'a' onwards.
void writeEvents(const QString& path, int64_t n) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  std::vector<EventRecord> all;
  all.reserve(std::size_t(n));
  for (int64_t i = 0; i < n; ++i)
    all.push_back(event(uint32_t(i), 46204.5 + double(i) / 86400000.0, 'a' + int(i % 26)));
  f.write(reinterpret_cast<const char*>(all.data()), qint64(all.size() * kRecordSize));
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(ExportCsv, FieldsAreQuotedSoNoTextSplitsALine) {
  struct Case {
    const char* text;
    char sep, quote;
    const char* field;
  };
  const Case cases[] = {
      {"Event no.", ';', '"', "\"Event no.\";"},
      {"say \"hi\"", ';', '"', "\"say \"\"hi\"\"\";"},
      {"it's", ',', '\'', "'it''s',"},
      {"plain", ',', 0, "plain,"},
      {" 1.7.2026 12:00:00,000001", ',', 0, "\" 1.7.2026 12:00:00,000001\","},
      {" 1 day(s)", ' ', 0, "\" 1 day(s)\" "},
      {"E_0.user stop", '\t', 0, "E_0.user stop\t"},
      {"a\rb", ';', 0, "\"a\rb\";"},
      {"a\nb", ';', 0, "\"a\nb\";"},
      {"x\"y", '\t', 0, "\"x\"\"y\"\t"},
      {"", ';', 0, ";"},
  };
  for (const Case& c : cases) {
    std::string out;
    CsvWriter::appendField(out, c.text, c.sep, c.quote);
    EXPECT_EQ(out, c.field) << c.text;
  }
}

TEST(ExportCsv, RawByteFieldsKeepTheirEstablishedForms) {
  struct Case {
    uint8_t byte;
    char sep, quote;
    std::string field;
  };
  const Case cases[] = {
      {0x3B, ';', '"', "\";\";"},   {0x22, ';', '"', "\"\"\"\";"},
      {0x2C, ',', 0, "\",\","},     {'A', ',', 0, "A,"},
      {0x22, ';', '\'', "'\"\"';"}, {0x27, ';', '\'', "'''';"},
      {0x22, ',', 0, "\"\"\"\","},  {'\r', '\t', 0, "\"\r\"\t"},
      {'\n', ' ', 0, "\"\n\" "},    {0xE4, ';', '"', "\"\xC3\xA4\";"},
      {0x80, ',', 0, "\xC2\x80,"},  {' ', ' ', '\'', "' ' "},
  };
  for (const Case& c : cases) EXPECT_EQ(CsvWriter::rawField(c.byte, c.sep, c.quote), c.field) << int(c.byte);
}

TEST(ExportCsv, TimeAndDescriptionReadAsInTheGrid) {
  Export::Options o;
  o.mark = o.eventNumber = o.d1 = o.d2 = o.description = false;
  o.signalLines.fill(false);
  o.locale = QLocale(QLocale::German, QLocale::Germany);
  const double day = 46204.5, us = 1.0 / 86400e6;
  const double stamps[] = {day, day + 123456 * us, day + 3.75, day - 2 * us, 0.0, std::nan("")};
  for (auto mode : {CellText::TimeMode::Absolute, CellText::TimeMode::Relative, CellText::TimeMode::Delta}) {
    o.timeMode = mode;
    CsvWriter w(o);
    for (double s : stamps) {
      EventRecord r = event(1, s);
      std::string line;
      w.appendLine(line, r, day);
      QString grid = CellText::timeText(mode, s, day, o.locale);
      if (grid.endsWith(QLatin1Char(' '))) grid.chop(1);  // an invalid stamp's text has no blank
      EXPECT_EQ(line, "\" " + grid.toStdString() + "\";\r\n");
    }
  }
  Export::Options d;
  d.timeStamp = d.mark = d.eventNumber = d.d1 = d.d2 = d.errors = false;
  d.signalLines.fill(false);
  CsvWriter w(d);
  const int pairs[][2] = {{0x0D, 0x0A}, {0x0D, -1}, {-1, 0x1B}, {'A', 0x00}, {0x00, 'B'}, {'A', 'B'}, {-1, -1}};
  for (auto [d1, d2] : pairs) {
    const EventRecord r = event(1, 46204.5, d1, d2);
    std::string line;
    w.appendLine(line, r, 0);
    std::string expected;
    CsvWriter::appendField(expected, CellText::description(r, CharacterCode::UsAscii).toStdString(), ';', '"');
    EXPECT_EQ(line, expected + "\r\n") << d1 << " " << d2;
  }
}

// Whole exports on files: the range, the stop, and every way one can fail.
TEST(ExportRun, SettlesTheRangeStopsCleanlyAndFailsWithoutHarm) {
  QTemporaryDir dir;
  const QString src = dir.filePath("rec.vrd");
  writeEvents(src, 10);
  const QByteArray original = contents(src);
  QFile::link(src, dir.filePath("link.vrd"));
  ASSERT_EQ(::link(QFile::encodeName(src).constData(), QFile::encodeName(dir.filePath("hard.vrd")).constData()), 0);
  QFile::copy(src, dir.filePath("empty.vrd"));
  QFile::resize(dir.filePath("empty.vrd"), 79);
  {
    QFile g(dir.filePath("garbage.vrd"));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write(QByteArray(800, '\xA5'));
  }
  QDir(dir.path()).mkdir("folder");

  struct Case {
    const char* name;
    const char* source;
    QString target;
    int64_t from, to;
    Export::Status status;
    int message;          // 0: none
    int64_t first, last;  // the range settled on
  };
  const QString out = dir.filePath("out.raw");
  const Case cases[] = {
      {"all", "rec.vrd", out, 0, 0, Export::Status::Done, 0, 1, 10},
      {"clamped to the file", "rec.vrd", out, 3, 99, Export::Status::Done, 0, 3, 10},
      {"start past the end", "rec.vrd", out, 11, 12, Export::Status::Failed, 9959, 0, 0},
      {"start after the end", "rec.vrd", out, 5, 4, Export::Status::Failed, 9969, 0, 0},
      {"no whole event", "empty.vrd", out, 0, 0, Export::Status::Failed, 9954, 0, 0},
      {"garbage", "garbage.vrd", out, 0, 0, Export::Status::Failed, 9991, 0, 0},
      {"onto the recording", "rec.vrd", src, 0, 0, Export::Status::Failed, 9967, 0, 0},
      {"onto it by a symlink", "rec.vrd", dir.filePath("link.vrd"), 0, 0, Export::Status::Failed, 9967, 0, 0},
      {"onto it by a hard link", "rec.vrd", dir.filePath("hard.vrd"), 0, 0, Export::Status::Failed, 9967, 0, 0},
      {"onto it by ./", "rec.vrd", dir.path() + "/./rec.vrd", 0, 0, Export::Status::Failed, 9967, 0, 0},
      {"onto a folder", "rec.vrd", dir.filePath("folder"), 0, 0, Export::Status::Failed, 9968, 0, 0},
      {"onto a device", "rec.vrd", "/dev/full", 0, 0, Export::Status::Failed, 9968, 0, 0},
      {"into a missing folder", "rec.vrd", dir.filePath("no/x.raw"), 0, 0, Export::Status::Failed, 9965, 0, 0},
  };
  for (const Case& c : cases) {
    QFile::remove(out);
    RecordReader reader(dir.filePath(c.source));
    Export::Options o;
    o.format = Export::Format::Raw;
    o.from = c.from;
    o.to = c.to;
    const Export::Result r = Export::run(reader, c.target, o);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.messageNumber, c.message) << c.name << ": " << r.message.toStdString();
    if (c.status == Export::Status::Done) {
      EXPECT_EQ(r.firstEvent, c.first) << c.name;
      EXPECT_EQ(r.lastEvent, c.last) << c.name;
      EXPECT_EQ(contents(out), QByteArray("abcdefghij").mid(int(c.first - 1))) << c.name;
    } else {
      EXPECT_FALSE(QFile::exists(out)) << c.name;
    }
  }
  EXPECT_EQ(contents(src), original);
  EXPECT_TRUE(QFileInfo(dir.filePath("link.vrd")).isSymLink());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(".part").size(), 0);

  // A stop asked for before the start: a well-formed file without events, the title line in CSV.
  struct StopCase {
    Export::Format format;
    int size;
  };
  for (auto [format, size] :
       {StopCase{Export::Format::Csv, -1}, {Export::Format::Raw, 0}, {Export::Format::Pcapng, 44 + 32}}) {
    RecordReader reader(src);
    WorkControl control;
    control.requestStop();
    Export::Options o;
    o.format = format;
    const Export::Result r = Export::run(reader, out, o, &control);
    EXPECT_EQ(r.status, Export::Status::Stopped);
    EXPECT_EQ(r.events, 0);
    const QByteArray written = contents(out);
    if (size >= 0)
      EXPECT_EQ(written.size(), size);
    else
      EXPECT_TRUE(written.startsWith("\"Mark") && written.endsWith("\r\n") && written.count("\r\n") == 1)
          << written.toStdString();
    EXPECT_FALSE(control.stopRequested());
  }
}

// A stop during the run keeps whole lines; a record file cut short while it is read
// and a full disk both end the export without leaving a file behind.
TEST(ExportRun, StopsAndFailuresDuringTheRun) {
  QTemporaryDir dir;
  const QString src = dir.filePath("big.vrd");
  const int64_t n = 3 * RecordReader::kBlockRecords;
  writeEvents(src, n);
  const QString out = dir.filePath("out.csv");

  const auto runWith = [&](const std::function<void(WorkControl&)>& watcher, Export::Format format) {
    RecordReader reader(src);
    WorkControl control;
    Export::Options o;
    o.format = format;
    std::thread t([&] { watcher(control); });
    const Export::Result r = Export::run(reader, out, o, &control);
    control.total = -1;  // ends a watcher that still waits
    t.join();
    return r;
  };
  const auto afterFirstBlock = [](WorkControl& c, const std::function<void()>& act) {
    while (c.done.load() == 0 && c.total.load() >= 0) std::this_thread::yield();
    act();
  };

  Export::Result r =
      runWith([&](WorkControl& c) { afterFirstBlock(c, [&] { c.requestStop(); }); }, Export::Format::Csv);
  ASSERT_EQ(r.status, Export::Status::Stopped) << r.message.toStdString();
  EXPECT_GT(r.events, 0);
  EXPECT_LT(r.events, n);
  const QByteArray csv = contents(out);
  EXPECT_TRUE(csv.endsWith("\r\n"));
  EXPECT_EQ(csv.count("\r\n"), r.events + 1);  // the title line and every event line
  EXPECT_TRUE(r.message.contains(QString::number(r.events)));

  QFile::remove(out);
  r = runWith([&](WorkControl& c) { afterFirstBlock(c, [&] { QFile::resize(src, 100 * 80); }); }, Export::Format::Csv);
  EXPECT_EQ(r.status, Export::Status::Failed);
  EXPECT_EQ(r.messageNumber, 9953) << r.message.toStdString();
  EXPECT_FALSE(QFile::exists(out));

  // A full disk, as a file size limit: the old file under the target name stays.
  writeEvents(src, 5000);
  QFile keep(out);
  ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
  keep.write("kept");
  keep.close();
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  r = runWith([](WorkControl&) {}, Export::Format::Csv);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(r.status, Export::Status::Failed);
  EXPECT_EQ(r.messageNumber, 9966) << r.message.toStdString();
  EXPECT_TRUE(r.message.contains(out));
  EXPECT_EQ(contents(out), QByteArray("kept"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 2);
}
