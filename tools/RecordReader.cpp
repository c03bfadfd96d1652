#include "tools/RecordReader.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/Texts.h"

namespace TextNo {
constexpr int CannotOpen = 9950, NotRegular = 9951, ReadFailed = 9952, ShortRead = 9953;
}

RecordReader::~RecordReader() { close(); }

bool RecordReader::open(const QString& path) {
  close();
  path_ = path;
  failure_ = Failure::None;
  arguments_.clear();
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    fail(Failure::Open, 0, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    fail(Failure::NotRegular, 0, 0);
    return false;
  }
  fd_ = fd;
  records_ = int64_t(st.st_size) / int64_t(kRecordSize);
  return true;
}

void RecordReader::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  records_ = 0;
}

int64_t RecordReader::refresh() {
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) records_ = int64_t(st.st_size) / int64_t(kRecordSize);
  return records_;
}

bool RecordReader::read(int64_t first, int64_t count, EventRecord* out) {
  if (fd_ < 0) {
    fail(Failure::Open, first, EBADF);
    return false;
  }
  if (count <= 0) return true;
  auto* dest = reinterpret_cast<char*>(out);
  const int64_t want = count * int64_t(kRecordSize);
  int64_t got = 0;
  while (got < want) {
    const ssize_t n = ::pread(fd_, dest + got, size_t(want - got), off_t(first * int64_t(kRecordSize) + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(Failure::Read, first + got / int64_t(kRecordSize), errno);
      return false;
    }
    if (n == 0) {
      fail(Failure::Short, first + got / int64_t(kRecordSize), 0);
      return false;
    }
    got += n;
  }
  return true;
}

void RecordReader::fail(Failure failure, int64_t event, int err) {
  failure_ = failure;
  arguments_ = {path_, QString::number(event), err ? QString::fromLocal8Bit(std::strerror(err)) : QString()};
}

int RecordReader::messageNumber() const {
  switch (failure_) {
    case Failure::None: return 0;
    case Failure::Open: return TextNo::CannotOpen;
    case Failure::NotRegular: return TextNo::NotRegular;
    case Failure::Read: return TextNo::ReadFailed;
    case Failure::Short: return TextNo::ShortRead;
  }
  return 0;
}

QString RecordReader::message() const {
  QString text = Texts::text(messageNumber());
  // Each message names the file first, then the event, then the system's reason.
  if (failure_ == Failure::Open) return text.arg(arguments_.value(0), arguments_.value(2));
  if (failure_ == Failure::NotRegular) return text.arg(arguments_.value(0));
  if (failure_ == Failure::Read) return text.arg(arguments_.value(0), arguments_.value(1), arguments_.value(2));
  if (failure_ == Failure::Short) return text.arg(arguments_.value(0), arguments_.value(1));
  return QString();
}
