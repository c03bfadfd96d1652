#include "recording/RecordFileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <vector>

namespace {

constexpr int64_t kBlock = 1 << 20;        // through memory
constexpr int64_t kKernelStep = 64 << 20;  // per kernel call: the stop flag is looked at between

QByteArray local(const QString& path) { return QFile::encodeName(path); }

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool stopped(const CopyWatch& w) { return w.stop && w.stop->load(std::memory_order_relaxed); }
void advance(const CopyWatch& w, int64_t bytes) {
  if (w.done) w.done->fetch_add(bytes, std::memory_order_relaxed);
}

// Writes all of n bytes; false with errno set.
bool writeAll(int fd, const char* data, int64_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, size_t(n));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    data += w;
    n -= w;
  }
  return true;
}

enum class Step { Done, Stopped, ReadFailed, WriteFailed };

Step copyThroughMemory(int in, int out, int64_t from, const CopyWatch& watch, int64_t& copied) {
  std::vector<char> block(kBlock);
  for (int64_t at = from;;) {
    if (stopped(watch)) return Step::Stopped;
    const ssize_t n = ::pread(in, block.data(), block.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Step::ReadFailed;
    if (n == 0) return Step::Done;
    if (!writeAll(out, block.data(), n)) return Step::WriteFailed;
    at += n;
    copied += n;
    advance(watch, n);
  }
}

Step copyContent(int in, int out, const CopyWatch& watch, int64_t& copied) {
  loff_t inAt = 0;
  for (;;) {
    if (stopped(watch)) return Step::Stopped;
    const ssize_t n = ::copy_file_range(in, &inAt, out, nullptr, size_t(kKernelStep), 0);
    if (n > 0) {
      copied += n;
      advance(watch, n);
      continue;
    }
    if (n == 0) return Step::Done;
    if (errno == EINTR) continue;
    // Not offered between these files (other file systems, old kernels): the
    // ordinary way from where the kernel stopped.
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == ENOTSUP)
      return copyThroughMemory(in, out, inAt, watch, copied);
    // The kernel does not say which side failed; the message names both files.
    return Step::WriteFailed;
  }
}

// The file a save replaces: a link's destination, so that the link keeps pointing at the copy.
QString destinationOf(const QString& target) {
  const QFileInfo info(target);
  if (!info.isSymLink()) return target;
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

}  // namespace

RecordFileCopy copyRecordFile(const QString& source, const QString& target, CopyWatch watch) {
  RecordFileCopy result;
  const auto fail = [&result](RecordFileCopy::Outcome outcome, int error) {
    result.outcome = outcome;
    result.error = error;
    return result;
  };
  result.written = destinationOf(target);

  Fd in;
  in.fd = ::open(local(source).constData(), O_RDONLY | O_CLOEXEC);
  struct stat from {};
  if (in.fd < 0 || ::fstat(in.fd, &from) != 0) return fail(RecordFileCopy::Outcome::SourceFailed, errno);
  if (from.st_size == 0) return fail(RecordFileCopy::Outcome::Empty, 0);
  if (watch.total) watch.total->store(from.st_size, std::memory_order_relaxed);

  struct stat existing {};
  const QByteArray dest = local(result.written);
  const bool replaces = ::stat(dest.constData(), &existing) == 0;
  if (replaces && !S_ISREG(existing.st_mode))
    return fail(RecordFileCopy::Outcome::NotRegular, S_ISDIR(existing.st_mode) ? EISDIR : 0);

  // The copy in the target's own folder, so that the rename cannot cross file systems.
  const QFileInfo destInfo(result.written);
  const QString folder = destInfo.absolutePath() + QLatin1Char('/');
  QByteArray temp;
  Fd out;
  for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
    temp = local(folder + QStringLiteral(".%1.%2.part")
                              .arg(destInfo.fileName())
                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    // 0666 lets the user's umask decide, as for any new file.
    out.fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out.fd < 0 && errno != EEXIST) break;
  }
  if (out.fd < 0) return fail(RecordFileCopy::Outcome::TargetFailed, errno);
  const auto discard = [&](RecordFileCopy::Outcome outcome, int error) {
    ::close(out.fd);
    out.fd = -1;
    ::unlink(temp.constData());
    result.bytes = 0;
    return fail(outcome, error);
  };
  // A file replaced keeps its permissions.
  if (replaces && ::fchmod(out.fd, existing.st_mode & 07777) != 0)
    return discard(RecordFileCopy::Outcome::TargetFailed, errno);

  int64_t copied = 0;
  switch (copyContent(in.fd, out.fd, watch, copied)) {
    case Step::Done: break;
    case Step::Stopped: return discard(RecordFileCopy::Outcome::Stopped, 0);
    case Step::ReadFailed: return discard(RecordFileCopy::Outcome::SourceFailed, errno);
    case Step::WriteFailed: return discard(RecordFileCopy::Outcome::TargetFailed, errno);
  }
  // Only a copy that is whole and on the disk may take the name.
  if (copied < from.st_size) return discard(RecordFileCopy::Outcome::SourceFailed, EIO);
  if (::fsync(out.fd) != 0) return discard(RecordFileCopy::Outcome::TargetFailed, errno);
  const int closed = ::close(out.fd);
  out.fd = -1;
  if (closed != 0) {
    const int err = errno;
    ::unlink(temp.constData());
    return fail(RecordFileCopy::Outcome::TargetFailed, err);
  }
  if (::rename(temp.constData(), dest.constData()) != 0) {
    const int err = errno;
    ::unlink(temp.constData());
    return fail(RecordFileCopy::Outcome::TargetFailed, err);
  }
  // The new name itself is on the disk too.
  Fd dir;
  dir.fd = ::open(local(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir.fd >= 0) ::fsync(dir.fd);
  result.bytes = copied;
  result.outcome = RecordFileCopy::Outcome::Copied;
  return result;
}
