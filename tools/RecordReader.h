#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

#include "capture/EventRecord.h"
#include "tools/FileIdentity.h"

// Reads a record file for the analysis tools through a read-only descriptor of its
// own, in blocks of records. Every failed or short read is reported to the caller: a
// record that could not be read is never replaced by the one read before it.
class RecordReader {
 public:
  // Records per block when a tool streams through a file: 5 MiB.
  static constexpr int kBlockRecords = 65536;

  enum class Failure { None, Open, NotRegular, Read, Short };

  RecordReader() = default;
  explicit RecordReader(const QString& path) { open(path); }
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  bool open(const QString& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  QString path() const { return path_; }
  FileIdentity identity() const { return identityOf(fd_); }

  // Whole records when the file was opened or last refreshed; a partial record at the
  // end does not count.
  int64_t recordCount() const { return records_; }
  int64_t refresh();

  // Records first .. first + count - 1 into out; true only when every one arrived.
  bool read(int64_t first, int64_t count, EventRecord* out);
  bool readOne(int64_t index, EventRecord& out) { return read(index, 1, &out); }

  // Why the last open or read failed, as a message number and its arguments (the file
  // name, the event, the system's reason), and the whole message in the user's language.
  Failure failure() const { return failure_; }
  int messageNumber() const;
  QStringList messageArguments() const { return arguments_; }
  QString message() const;

 private:
  void fail(Failure failure, int64_t event, int err);

  int fd_ = -1;
  QString path_;
  int64_t records_ = 0;
  Failure failure_ = Failure::None;
  QStringList arguments_;
};
