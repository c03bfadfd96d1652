#include "recording/FreeSpaceGuard.h"

#include <sys/statvfs.h>

#include <QFile>
#include <cerrno>

#include "recording/RecorderUi.h"
#include "settings/MessageSink.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int FileOperation = 3000;
constexpr int SpaceLow = 9260, StoppedForSpace = 9261, SpaceLeft = 9262;
}  // namespace TextNo

namespace {
QString megabytes(int64_t bytes) { return QString::number(bytes / (1000 * 1000)); }
}  // namespace

int64_t FreeSpaceGuard::systemFreeSpace(const QString& path) {
  struct statvfs st {};
  const QByteArray name = QFile::encodeName(path);
  int rc;
  do rc = ::statvfs(name.constData(), &st);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) return -1;
  return int64_t(st.f_bavail) * int64_t(st.f_frsize);
}

FreeSpaceGuard::FreeSpaceGuard(MessageSink& messages, RecorderUi& ui, QObject* parent)
    : QObject(parent), messages_(messages), ui_(ui), query_(&FreeSpaceGuard::systemFreeSpace) {
  connect(&timer_, &QTimer::timeout, this, &FreeSpaceGuard::check);
}

void FreeSpaceGuard::start(const QString& path) {
  path_ = path;
  warned_ = false;  // once per recording
  timer_.start(limits_.intervalMs);
  // The first look comes from the event loop: a start that is still under way is not
  // stopped from inside itself.
  QTimer::singleShot(0, this, [this] {
    if (watching()) check();
  });
}

void FreeSpaceGuard::stop() { timer_.stop(); }

void FreeSpaceGuard::check() {
  const int64_t free = query_ ? query_(path_) : -1;
  if (free < 0) return;  // unknown (the folder went away): the write errors will tell
  if (free < limits_.stopBelow) {
    timer_.stop();
    warned_ = false;
    emit stopRequested();
    VORLOG_REPORT(messages_, TextNo::FileOperation, TextNo::StoppedForSpace,
                  QStringLiteral("\n\n") + path_ + QStringLiteral("\n") +
                      Texts::text(TextNo::SpaceLeft).arg(megabytes(free), megabytes(limits_.stopBelow)));
    return;
  }
  if (free < limits_.warnBelow && !warned_) {
    warned_ = true;
    ui_.showNotice(Texts::text(TextNo::SpaceLow).arg(megabytes(free), path_, megabytes(limits_.stopBelow)));
  }
}
