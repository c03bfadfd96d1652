#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "capture/EventRecord.h"
#include "tools/RecordReader.h"

// One thing the replayed link does, in the order of the record file.
struct ReplayItem {
  enum Kind : uint8_t { Lines, Error, Data };
  Kind kind = Data;
  // The end that hears it: A (ComA: line D2, DSR/CTS/DCD/RI) or B (ComB: line D1, DTR on
  // DSR, RTS on CTS).
  bool endA = false;
  // Lines: the end's modem status now (ModemBit values); Error: the error word
  // (LineErrorBit values); Data: the byte.
  uint8_t value = 0;
  // Seconds from the start of the replay at the original speed.
  double at = 0;
};

// Reads a record file for the replay: checks it whole when opened, then hands out what
// the link has to do, record by record, in blocks.
//
// What is replayed: the data bytes, line errors and line changes of plain events. Marks
// (file start, user start and stop, appended, trigger marks) are notes of the recording,
// not traffic on the link: they are passed over. The line states of the first plain
// event are the lines as they stood when the original recording began; they are the
// link's lines from its start, so a recording of the replay starts with the same states.
// Time passes as between the original time stamps, except across a user stop or an
// appended mark: nothing was recorded there, and the replay goes straight on.
class ReplayReader {
 public:
  // Records read at once while replaying: 640 KiB.
  static constexpr int kBlockRecords = 8192;

  // Why a file cannot be replayed: a message number and its arguments, and the whole
  // message in the user's language.
  struct Problem {
    int number = 0;
    QStringList arguments;
    QString text() const;
  };

  // Opens and checks every record; false with problem() set when the file cannot be replayed.
  bool open(const QString& path);
  void close();
  bool isOpen() const { return reader_.isOpen(); }
  QString path() const { return path_; }
  FileIdentity identity() const { return reader_.identity(); }
  int64_t recordCount() const { return records_; }
  const Problem& problem() const { return problem_; }

  // The lines of each end when the replay starts (ModemBit values).
  uint8_t initialStatus(bool endA) const { return initial_[endA ? 1 : 0]; }
  // From the first record again.
  void rewind();
  // The next item; false when the file has run out or could not be read (failed()).
  bool next(ReplayItem& out);
  bool failed() const { return problem_.number != 0; }
  // Records handed out so far (a progress figure).
  int64_t position() const { return position_; }

  // Whether a record holds only values a recording writes; otherwise why not, as the
  // message number of the detail and its argument.
  static bool plausible(const EventRecord& r, int* detail, QString* value);
  // The modem status an end sees for the line states of a record.
  static uint8_t statusOf(const EventRecord& r, bool endA);

 private:
  bool fillBlock();
  void take(const EventRecord& r);
  void fail(int number, const QStringList& arguments);

  RecordReader reader_;
  QString path_;
  int64_t records_ = 0;
  Problem problem_;
  uint8_t initial_[2] = {0, 0};

  std::vector<EventRecord> block_;
  int64_t blockFirst_ = 0;
  int64_t position_ = 0;  // index of the next record to take
  ReplayItem items_[6];   // what the record taken last does
  int itemCount_ = 0, itemNext_ = 0;
  bool started_ = false;  // a record has set the time line
  bool seenPlain_ = false;
  bool gapFollows_ = false;  // nothing was recorded after the record taken last
  double previousStamp_ = 0, line_ = 0;
  uint8_t status_[2] = {0, 0};
};
