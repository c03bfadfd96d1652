#include "alerter/InstanceSlots.h"

#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <string>

#include "alerter/KlaxorTexts.h"
#include "settings/Texts.h"

namespace {

constexpr const char* kSection = "Application";
constexpr const char* kKey = "Instance";
// Klaxor.ini holds one number; anything much bigger is not the alerter's file.
constexpr qint64 kMaxIniSize = 64 * 1024;

QString systemReason(int error) { return QString::fromLocal8Bit(strerror(error)); }

int openFile(const QString& path, int flags) {
  int fd;
  do {
    // Close-on-exec: a command the alerter starts must not inherit the locks and keep
    // the slot held after the alerter is gone.
    fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

struct flock byteLock(short type, off_t byte) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  return fl;
}

// Whether another open file holds byte n of the slot file.
bool slotHeld(int fd, off_t byte) {
  struct flock fl = byteLock(F_WRLCK, byte);
  return fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

// The Instance value of a Klaxor.ini; *problem says why the file could not be used.
struct IniContent {
  CSimpleIniA ini;
  int instance = -1;
  QString problem;
};

void readIni(const QString& path, IniContent* content) {
  content->ini.SetUnicode(true);
  content->ini.SetMultiKey(false);
  content->ini.SetSpaces(false);
  QFile file(path);
  if (!file.exists()) return;
  if (!file.open(QIODevice::ReadOnly)) {
    content->problem = file.errorString();
    return;
  }
  const QByteArray bytes = file.read(kMaxIniSize + 1);
  if (bytes.size() > kMaxIniSize) {
    content->problem = QStringLiteral("larger than %1 bytes").arg(kMaxIniSize);
    return;
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = utf8.decode(bytes);
  if (utf8.hasError() || bytes.contains('\0')) {
    content->problem = QStringLiteral("not a text file");
    return;
  }
  if (content->ini.LoadData(bytes.constData(), size_t(bytes.size())) < 0) {
    content->ini.Reset();
    content->problem = QStringLiteral("not an INI file");
    return;
  }
  const char* value = content->ini.GetValue(kSection, kKey, nullptr);
  if (!value) return;
  bool ok = false;
  const int n = QByteArray(value).trimmed().toInt(&ok);
  if (ok && n >= 0) {
    content->instance = n;
  } else {
    content->problem = QStringLiteral("Instance \"%1\" is no count").arg(QString::fromUtf8(QByteArray(value).left(40)));
  }
}

}  // namespace

InstanceSlots::InstanceSlots(QString userPath) : userPath_(std::move(userPath)) {}

InstanceSlots::~InstanceSlots() {
  if (slotFd_ >= 0) ::close(slotFd_);
  if (lockFd_ >= 0) ::close(lockFd_);
}

QString InstanceSlots::iniPath(const QString& userPath) { return userPath + QStringLiteral("Klaxor.ini"); }
QString InstanceSlots::lockPath(const QString& userPath) { return userPath + QStringLiteral("Klaxor.lock"); }
QString InstanceSlots::slotsPath(const QString& userPath) { return userPath + QStringLiteral("Klaxor.slots"); }

bool InstanceSlots::lock() {
  QDir().mkpath(userPath_);
  lockFd_ = openFile(lockPath(userPath_), O_RDWR | O_CREAT);
  if (lockFd_ < 0) {
    problems_ << Texts::text(KlaxorText::LockUnusable).arg(lockPath(userPath_), systemReason(errno));
    return false;
  }
  // A lock holder only reads and writes two small files, so waiting without a time
  // limit is safe; the kernel frees the lock of a holder that dies.
  int rc;
  do rc = flock(lockFd_, LOCK_EX);
  while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    problems_ << Texts::text(KlaxorText::LockUnusable).arg(lockPath(userPath_), systemReason(errno));
    unlock();
    return false;
  }
  return true;
}

void InstanceSlots::unlock() {
  if (lockFd_ < 0) return;
  ::close(lockFd_);  // closing drops the flock
  lockFd_ = -1;
}

int InstanceSlots::countIn() {
  if (slotFd_ >= 0) return instance_;
  instance_ = 1;
  if (!lock()) return instance_;
  slotFd_ = openFile(slotsPath(userPath_), O_RDWR | O_CREAT);
  if (slotFd_ < 0) {
    problems_ << Texts::text(KlaxorText::LockUnusable).arg(slotsPath(userPath_), systemReason(errno));
    unlock();
    return instance_;
  }
  for (off_t byte = 0;; ++byte) {
    struct flock fl = byteLock(F_WRLCK, byte);
    if (fcntl(slotFd_, F_OFD_SETLK, &fl) == 0) {
      instance_ = int(byte) + 1;
      break;
    }
    if (errno != EAGAIN && errno != EACCES) {
      problems_ << Texts::text(KlaxorText::LockUnusable).arg(slotsPath(userPath_), systemReason(errno));
      ::close(slotFd_);
      slotFd_ = -1;
      unlock();
      return instance_;
    }
  }
  // The file covers every slot ever taken, so that counting knows where to stop.
  struct stat st = {};
  if (fstat(slotFd_, &st) == 0 && st.st_size < instance_ && ftruncate(slotFd_, instance_) != 0)
    problems_ << Texts::text(KlaxorText::LockUnusable).arg(slotsPath(userPath_), systemReason(errno));
  writeCount();
  unlock();
  return instance_;
}

void InstanceSlots::countOut() {
  if (slotFd_ < 0) return;
  const bool locked = lock();
  ::close(slotFd_);  // closing the only descriptor of this open file frees the slot
  slotFd_ = -1;
  if (locked) {
    writeCount();
    unlock();
  }
}

int InstanceSlots::liveCount(const QString& userPath) {
  const int fd = openFile(slotsPath(userPath), O_RDONLY);
  if (fd < 0) return errno == ENOENT ? 0 : -1;
  int live = 0;
  struct stat st = {};
  if (fstat(fd, &st) == 0)
    for (off_t byte = 0; byte < st.st_size; ++byte) live += slotHeld(fd, byte) ? 1 : 0;
  ::close(fd);
  return live;
}

int InstanceSlots::storedCount(const QString& userPath) {
  IniContent content;
  readIni(iniPath(userPath), &content);
  return content.instance;
}

void InstanceSlots::writeCount() {
  const QString path = iniPath(userPath_);
  IniContent content;
  readIni(path, &content);
  if (!content.problem.isEmpty()) problems_ << Texts::text(KlaxorText::IniUnreadable).arg(path, content.problem);
  const int live = liveCount(userPath_);
  content.ini.SetLongValue(kSection, kKey, qMax(live, 0));
  std::string text;
  QSaveFile file(path);
  if (content.ini.Save(text, false) < 0 || !file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
    problems_ << Texts::text(KlaxorText::IniUnwritable).arg(path, file.errorString());
}
