#include "tools/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "settings/Texts.h"

namespace TextNo {
constexpr int CannotCreate = 9965, WriteFailed = 9966, SameAsSource = 9967, NotRegular = 9968;
}

namespace {

// The file a name finally stands for: a symlink is followed, so that the link stays a
// link and the file it points to gets the new contents.
QString resolvedTarget(const QString& target) {
  const QFileInfo info(target);
  if (info.exists()) return info.canonicalFilePath();
  if (info.isSymLink()) return info.symLinkTarget();
  return info.absoluteFilePath();
}

}  // namespace

bool OutputFile::open(const QString& target, const FileIdentity& source) {
  discard();
  failure_ = Failure::None;
  reason_.clear();
  target_ = target;
  const QString real = resolvedTarget(target);
  const QByteArray realName = QFile::encodeName(real);
  struct stat st {};
  const bool exists = ::stat(realName.constData(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    fail(Failure::NotRegular, 0);
    return false;
  }
  if (exists && source.valid && st.st_dev == source.device && st.st_ino == source.inode) {
    fail(Failure::SameAsSource, 0);
    return false;
  }
  const QFileInfo info(real);
  const QString stem = info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".part");
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = stem + QString::number(::getpid()) + QLatin1Char('-') + QString::number(attempt);
    fd_ = ::open(QFile::encodeName(temp_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int err = errno;
    temp_.clear();
    fail(Failure::Create, err);
    return false;
  }
  // A replaced file keeps its permissions.
  if (exists) ::fchmod(fd_, st.st_mode & 07777);
  target_ = real;
  buffer_.reserve(kBlockBytes + 65536);
  return true;
}

bool OutputFile::flush() {
  if (fd_ < 0) return failure_ == Failure::None && buffer_.empty();
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing without an error is a full disk.
      fail(Failure::Write, n < 0 ? errno : ENOSPC);
      discard();
      return false;
    }
    done += std::size_t(n);
  }
  buffer_.clear();
  return true;
}

bool OutputFile::commit() {
  if (fd_ < 0 || !flush()) return false;
  // Data on the disk before the name: a crash must not leave an empty file under it.
  int err = ::fdatasync(fd_) == 0 ? 0 : errno;
  if (err == EINVAL || err == EROFS) err = 0;  // files that cannot be synced still count as written
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  if (err == 0 && ::rename(QFile::encodeName(temp_).constData(), QFile::encodeName(target_).constData()) != 0)
    err = errno;
  if (err != 0) {
    fail(Failure::Write, err);
    discard();
    return false;
  }
  temp_.clear();
  return true;
}

void OutputFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.isEmpty()) ::unlink(QFile::encodeName(temp_).constData());
  temp_.clear();
  buffer_.clear();
}

void OutputFile::fail(Failure failure, int err) {
  failure_ = failure;
  reason_ = err ? QString::fromLocal8Bit(std::strerror(err)) : QString();
}

int OutputFile::messageNumber() const {
  switch (failure_) {
    case Failure::None:
      return 0;
    case Failure::NotRegular:
      return TextNo::NotRegular;
    case Failure::SameAsSource:
      return TextNo::SameAsSource;
    case Failure::Create:
      return TextNo::CannotCreate;
    case Failure::Write:
      return TextNo::WriteFailed;
  }
  return 0;
}

QString OutputFile::message() const {
  const QString name = QDir::toNativeSeparators(target_);
  if (failure_ == Failure::Create || failure_ == Failure::Write) return Texts::text(messageNumber()).arg(name, reason_);
  if (failure_ == Failure::None) return QString();
  return Texts::text(messageNumber()).arg(name);
}
