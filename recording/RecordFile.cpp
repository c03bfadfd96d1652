#include "recording/RecordFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "settings/MessageSink.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int FileOperation = 3000, WriteError = 3004, NotRegular = 9415;
}

bool isContinuableRecording(const EventRecord& first, const EventRecord& last, int64_t lastIndex) {
  if (first.eventNumber != 0 || first.markType != Mark::SystemType || first.markCode != Mark::Plain) return false;
  if (lastIndex < 0 || int64_t(last.eventNumber) != lastIndex) return false;
  for (const EventRecord* r : {&first, &last})
    for (int64_t c : r->counters)
      if (c < 0) return false;
  return true;
}

RecordFile::RecordFile(MessageSink& messages) : messages_(messages) { readBuffer_ = zeroRecord(); }

RecordFile::~RecordFile() {
  CloseRecordFile(Handle::Recording);
  CloseRecordFile(Handle::View);
}

void RecordFile::noteError(int err) { lastError_ = QString::fromLocal8Bit(std::strerror(err)); }

bool RecordFile::qualifyName(const QString& userPath) {
  if (name_.contains(QLatin1Char('/'))) return false;
  name_ = userPath + QStringLiteral("recordings/") + name_;
  return true;
}

bool RecordFile::exists() const {
  struct stat st {};
  return ::stat(name_.toLocal8Bit().constData(), &st) == 0;
}

bool RecordFile::isRegularOrAbsent() const {
  struct stat st {};
  if (::stat(name_.toLocal8Bit().constData(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

bool RecordFile::refuseNonRegular() {
  if (isRegularOrAbsent()) return false;
  // A folder or a device is never truncated, deleted or written as a recording.
  lastError_ = Texts::text(TextNo::NotRegular);
  return true;
}


int RecordFile::OpenRecordFile(Handle which) {
  CloseRecordFile(which);
  if (refuseNonRegular()) return -1;
  // The viewers only read; a read-only recording can still be examined.
  const int flags = (which == Handle::Recording ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  const int f = ::open(name_.toLocal8Bit().constData(), flags);
  if (f < 0) {
    noteError(errno);
    return -1;
  }
  fdRef(which) = f;
  if (which == Handle::Recording) {
    writePos_ = 0;
    writeFailed_ = false;
  } else {
    ShowRecordFileLine(QString());
  }
  return f;
}

int RecordFile::acquireRecording() {
  CloseRecordFile(Handle::Recording);
  lockedByOther_ = createdByAcquire_ = false;
  if (refuseNonRegular()) return -1;
  const QByteArray path = name_.toLocal8Bit();
  int f = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (f >= 0) createdByAcquire_ = true;
  else if (errno == EEXIST) f = ::open(path.constData(), O_RDWR | O_CLOEXEC);
  if (f < 0) {
    noteError(errno);
    return -1;
  }
  // The lock belongs to this open file description: it ends with the handle, also when
  // the process dies, so a crashed recorder never blocks the file.
  if (::flock(f, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(f);
    lockedByOther_ = err == EWOULDBLOCK;
    if (lockedByOther_) lastError_.clear();  // the message says it all
    else noteError(err);
    return -1;
  }
  recordingFd_ = f;
  writePos_ = 0;
  writeFailed_ = false;
  return f;
}

bool RecordFile::truncateRecording() {
  if (recordingFd_ < 0) return false;
  if (::ftruncate(recordingFd_, 0) != 0) {
    noteError(errno);
    return false;
  }
  return seekRecording(0);
}

void RecordFile::releaseRecording() {
  if (recordingFd_ < 0) return;
  struct stat st {};
  // Removed while still locked, so no other recorder can have started on it meanwhile.
  if (createdByAcquire_ && ::fstat(recordingFd_, &st) == 0 && st.st_size == 0)
    ::unlink(name_.toLocal8Bit().constData());
  createdByAcquire_ = false;
  ::close(recordingFd_);
  recordingFd_ = -1;
}

int RecordFile::CreateRecordFile(Handle which) {
  CloseRecordFile(which);
  if (refuseNonRegular()) return -1;
  const int f = ::open(name_.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (f < 0) {
    noteError(errno);
    return -1;
  }
  ::close(f);
  return OpenRecordFile(which);
}

int RecordFile::openViewCreatingMissing(bool* created) {
  if (created) *created = false;
  if (OpenRecordFile(Handle::View) >= 0) {
    lastError_.clear();
    return viewFd_;
  }
  if (!isRegularOrAbsent()) return -1;
  const QByteArray path = name_.toLocal8Bit();
  const int f = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (f < 0) {
    // Made meanwhile by someone else: that file is opened as it is.
    if (errno == EEXIST) return OpenRecordFile(Handle::View);
    noteError(errno);
    return -1;
  }
  ::close(f);
  if (created) *created = true;
  if (OpenRecordFile(Handle::View) < 0) return -1;
  lastError_.clear();  // the failed first try is no failure of this one
  return viewFd_;
}

void RecordFile::CloseRecordFile(Handle which) {
  int& f = fdRef(which);
  if (f < 0) return;
  // One flush at the end of a recording, so that a power cut afterwards loses nothing.
  if (which == Handle::Recording) ::fdatasync(f);
  ::close(f);
  f = -1;
}

int64_t RecordFile::recordingSize() const {
  struct stat st {};
  if (recordingFd_ < 0 || ::fstat(recordingFd_, &st) != 0) return -1;
  return st.st_size;
}

bool RecordFile::seekRecording(int64_t offset) {
  if (recordingFd_ < 0 || ::lseek(recordingFd_, offset, SEEK_SET) < 0) return false;
  writePos_ = offset;
  return true;
}

bool RecordFile::readRecording(EventRecord& record) {
  if (recordingFd_ < 0) return false;
  const ssize_t n = ::pread(recordingFd_, &record, kRecordSize, writePos_);
  if (n != ssize_t(kRecordSize)) return false;
  return seekRecording(writePos_ + int64_t(kRecordSize));
}

int64_t RecordFile::readEnds(EventRecord& first, EventRecord& last) {
  const int64_t whole = recordingSize() / int64_t(kRecordSize);
  if (whole < 1 || !seekRecording(0) || !readRecording(first)) return 0;
  if (!seekRecording((whole - 1) * int64_t(kRecordSize)) || !readRecording(last)) return 0;
  return whole;
}

bool RecordFile::cutPartialTail() {
  const int64_t size = recordingSize();
  if (size < 0) return false;
  const int64_t whole = size - size % int64_t(kRecordSize);
  if (whole == size) return true;
  if (::ftruncate(recordingFd_, whole) != 0) {
    noteError(errno);
    return false;
  }
  return true;
}

bool RecordFile::writeRecord(const EventRecord& record) { return writeRecords(&record, 1) == 1; }

size_t RecordFile::writeRecords(const EventRecord* records, size_t count) {
  if (recordingFd_ < 0) return 0;  // nothing to write to: not a write error
  const char* data = reinterpret_cast<const char*>(records);
  const size_t total = count * kRecordSize;
  size_t done = 0;
  int err = 0;
  while (done < total) {
    const ssize_t n = writeCall_(recordingFd_, data + done, total - done);
    if (n > 0) {
      done += size_t(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      err = n < 0 ? errno : ENOSPC;
      break;
    }
  }
  const size_t whole = done / kRecordSize;
  writePos_ += int64_t(whole * kRecordSize);
  if (done == total) return count;
  // Leave no partial record behind: later records must stay at 80 n.
  // Where the cut fails, the next write still lands on the fragment's place.
  if (done % kRecordSize != 0 && ::ftruncate(recordingFd_, writePos_) != 0) err = errno;
  ::lseek(recordingFd_, writePos_, SEEK_SET);
  if (!writeFailed_) {
    noteError(err);
    VORLOG_REPORT(messages_, TextNo::FileOperation, TextNo::WriteError,
                  QStringLiteral("\n\n") + name_ + QStringLiteral("\n") + lastError_);
  }
  writeFailed_ = true;
  return whole;
}

void RecordFile::ReadRecordAt(int32_t eventNumber) {
  if (viewFd_ < 0) return;
  previousTimeStamp_ = readBuffer_.timeStamp;
  EventRecord got;
  const ssize_t n =
      eventNumber < 0 ? -1 : ::pread(viewFd_, &got, kRecordSize, int64_t(eventNumber) * int64_t(kRecordSize));
  if (n == ssize_t(kRecordSize)) {
    readBuffer_ = got;
    return;
  }
  // Past the last record: everything but the time stamp reads as cleared.
  const double stamp = readBuffer_.timeStamp;
  readBuffer_ = zeroRecord();
  readBuffer_.timeStamp = stamp;
}

int64_t RecordFile::viewRecordCount() const {
  struct stat st {};
  if (viewFd_ < 0 || ::fstat(viewFd_, &st) != 0) return 0;
  return st.st_size / int64_t(kRecordSize);
}

int RecordFile::readViewRecords(int64_t first, EventRecord* out, int count) const {
  if (viewFd_ < 0 || first < 0 || count <= 0) return 0;
  const size_t want = size_t(count) * kRecordSize;
  size_t got = 0;
  // One call normally; a read cut short by a signal goes on where it stopped.
  while (got < want) {
    const ssize_t n = ::pread(viewFd_, reinterpret_cast<char*>(out) + got, want - got,
                              first * int64_t(kRecordSize) + int64_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  return int(got / kRecordSize);
}

QString RecordFile::ShowRecordFileLine(const QString& userPath) {
  QString shown = name_;
  if (!shown.contains(QLatin1Char('/'))) shown = userPath + QStringLiteral("recordings/") + shown;
  // The size found last stands in while the file cannot be found, but only for the same
  // file: a name given up for another (a folder named at start) must not lend it its size.
  if (shown != lastShownPath_) {
    lastShownPath_ = shown;
    lastShownSize_ = 0;
  }
  struct stat st {};
  if (::stat(shown.toLocal8Bit().constData(), &st) == 0 && S_ISREG(st.st_mode)) lastShownSize_ = st.st_size;
  return QStringLiteral(" ") + shown + QStringLiteral("   [  ") + QString::number(lastShownSize_ / 1024) +
         QStringLiteral(" KB ]");
}
