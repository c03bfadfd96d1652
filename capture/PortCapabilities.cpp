#include "capture/PortCapabilities.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "settings/Texts.h"

namespace TextNo {
constexpr int NoteModemPolled = 9280, NoteModemNotSeen = 9281, NoteErrorKinds = 9282, NoteLatency = 9283;
constexpr int Driver = 9284, DriverUnknown = 9285;
constexpr int ModemReported = 9286, ModemPolled = 9287, ModemNone = 9288, ModemUnknown = 9289;
constexpr int ErrorsToldApart = 9290, ErrorsApproximated = 9291;
constexpr int Latency = 9292, LatencyLowered = 9293, LatencyUnreadable = 9294;
constexpr int LowLatencyGranted = 9295, LowLatencyRefused = 9296;
constexpr int FileEmpty = 9297, NotMilliseconds = 9298;
}  // namespace TextNo

static_assert(LowLatencyRequest::kFlag == ASYNC_LOW_LATENCY);

int PortCapabilities::effectiveLatencyMs() const {
  if (lowLatency && driver == QLatin1String("ftdi_sio")) return 1;
  return latency.ms;
}

std::vector<PortNote> recordingNotes(const PortCapabilities& caps) {
  std::vector<PortNote> notes;
  if (!caps.known) return notes;
  if (caps.modemWatch == ModemWatch::Polls) notes.push_back(PortNote::ModemPolled);
  if (caps.modemWatch == ModemWatch::None) notes.push_back(PortNote::ModemNotSeen);
  if (!caps.errorCounters) notes.push_back(PortNote::ErrorKindsApproximated);
  if (caps.effectiveLatencyMs() > 1) notes.push_back(PortNote::LatencySmear);
  return notes;
}

QStringList recordingNoteTexts(const PortCapabilities& caps, const QString& portName) {
  QStringList lines;
  for (PortNote n : recordingNotes(caps)) {
    switch (n) {
      case PortNote::ModemPolled: lines << Texts::text(TextNo::NoteModemPolled).arg(portName); break;
      case PortNote::ModemNotSeen: lines << Texts::text(TextNo::NoteModemNotSeen).arg(portName); break;
      case PortNote::ErrorKindsApproximated: lines << Texts::text(TextNo::NoteErrorKinds).arg(portName); break;
      case PortNote::LatencySmear:
        lines << Texts::text(TextNo::NoteLatency).arg(portName, QString::number(caps.effectiveLatencyMs()));
        break;
    }
  }
  return lines;
}

namespace {
QString latencyProblemText(const LatencyReading& r) {
  switch (r.problem) {
    case SysfsProblem::Empty: return Texts::text(TextNo::FileEmpty);
    case SysfsProblem::Garbage: return Texts::text(TextNo::NotMilliseconds).arg(r.detail);
    default: return r.detail;
  }
}
}  // namespace

QStringList describeCapabilities(const PortCapabilities& caps) {
  QStringList parts;
  if (!caps.known) return parts;
  parts << (caps.driver.isEmpty() ? Texts::text(TextNo::DriverUnknown) : Texts::text(TextNo::Driver).arg(caps.driver));
  switch (caps.modemWatch) {
    case ModemWatch::Waits: parts << Texts::text(TextNo::ModemReported); break;
    case ModemWatch::Polls: parts << Texts::text(TextNo::ModemPolled); break;
    case ModemWatch::None: parts << Texts::text(TextNo::ModemNone); break;
    case ModemWatch::Unknown: parts << Texts::text(TextNo::ModemUnknown); break;
  }
  parts << Texts::text(caps.errorCounters ? TextNo::ErrorsToldApart : TextNo::ErrorsApproximated);
  if (caps.latency.ms >= 0)
    parts << Texts::text(caps.effectiveLatencyMs() == 1 && caps.latency.ms != 1 ? TextNo::LatencyLowered : TextNo::Latency)
                 .arg(caps.latency.ms);
  else if (caps.latency.problem != SysfsProblem::Missing && caps.latency.problem != SysfsProblem::None)
    parts << Texts::text(TextNo::LatencyUnreadable).arg(latencyProblemText(caps.latency));
  parts << Texts::text(caps.lowLatency ? TextNo::LowLatencyGranted : TextNo::LowLatencyRefused);
  return parts;
}

// ---------------------------------------------------------------------------------
// sysfs

namespace {

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

// A driver name as the kernel gives them; anything else is not taken for one.
bool plausibleName(const QString& s) {
  if (s.isEmpty() || s.size() > 64) return false;
  for (QChar c : s)
    if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_') && c != QLatin1Char('-') &&
        c != QLatin1Char('.'))
      return false;
  return true;
}

QString systemWords(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

// The file's start as shown in a message: printable, cut short.
QString shownText(const QByteArray& raw) {
  QString s;
  for (char c : raw.left(16)) s += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : QLatin1Char('?');
  return raw.size() > 16 ? s + QStringLiteral("...") : s;
}

// A sysfs attribute is a small regular file; anything else (a pipe, a folder, a
// huge file put there by mistake) is read no further than a few bytes, never waited on.
LatencyReading readLatencyFile(const QString& path) {
  LatencyReading r;
  int fd;
  do fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return r;  // Missing: no such timer here
    r.problem = SysfsProblem::Unreadable;
    r.detail = systemWords(errno);
    return r;
  }
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    const int e = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    r.problem = SysfsProblem::Unreadable;
    r.detail = systemWords(e);
    return r;
  }
  char buf[32];
  ssize_t n;
  do n = ::read(fd, buf, sizeof buf);
  while (n < 0 && errno == EINTR);
  const int e = errno;
  ::close(fd);
  if (n < 0) {
    r.problem = SysfsProblem::Unreadable;
    r.detail = systemWords(e);
    return r;
  }
  const QByteArray raw(buf, int(n));
  const QByteArray text = raw.trimmed();
  if (text.isEmpty()) {
    r.problem = SysfsProblem::Empty;
    return r;
  }
  // The chip takes 0 to 255 ms; the driver prints a plain decimal number.
  bool digits = text.size() <= 3;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  const int value = digits ? text.toInt() : -1;
  if (!digits || value > 255) {
    r.problem = SysfsProblem::Garbage;
    r.detail = shownText(raw.size() > 16 ? raw : text);
    return r;
  }
  r.ms = value;
  r.problem = SysfsProblem::None;
  return r;
}

}  // namespace

QString SysfsTty::ttyName(const QString& devicePath) const {
  // By device number first: it holds whatever name or link the user gave.
  struct stat st;
  if (::stat(QFile::encodeName(devicePath).constData(), &st) == 0 && S_ISCHR(st.st_mode)) {
    const QString target =
        canonical(root_ + QStringLiteral("/dev/char/%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev)));
    if (!target.isEmpty()) return QFileInfo(target).fileName();
  }
  const QString c = canonical(devicePath);
  return QFileInfo(c.isEmpty() ? devicePath : c).fileName();
}

QString SysfsTty::deviceDir(const QString& ttyName) const {
  if (ttyName.isEmpty() || ttyName == QLatin1String(".") || ttyName == QLatin1String("..")) return {};
  return canonical(root_ + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/device"));
}

QString SysfsTty::driver(const QString& ttyName) const {
  const QString dir = deviceDir(ttyName);
  if (dir.isEmpty()) return {};
  const QString name = QFileInfo(canonical(dir + QStringLiteral("/driver"))).fileName();
  return plausibleName(name) ? name : QString();
}

LatencyReading SysfsTty::latencyTimer(const QString& ttyName) const {
  // The attribute sits on the usb-serial port device, which the tty's device link
  // names; the bus listing is the second way to it.
  const QString dir = deviceDir(ttyName);
  if (!dir.isEmpty()) {
    const LatencyReading r = readLatencyFile(dir + QStringLiteral("/latency_timer"));
    if (r.problem != SysfsProblem::Missing) return r;
  }
  if (ttyName.isEmpty() || ttyName == QLatin1String("..")) return {};
  return readLatencyFile(root_ + QStringLiteral("/bus/usb-serial/devices/") + ttyName + QStringLiteral("/latency_timer"));
}

// ---------------------------------------------------------------------------------
// Low latency

namespace {

int ioctlRetry(int fd, unsigned long request, void* arg) {
  int r;
  do r = ::ioctl(fd, request, arg);
  while (r < 0 && errno == EINTR);
  return r;
}

class SystemSerialFlags : public SerialFlagsAccess {
 public:
  int get(int fd, int* flags) override {
    serial_struct ss;
    std::memset(&ss, 0, sizeof ss);
    if (ioctlRetry(fd, TIOCGSERIAL, &ss) < 0) return errno;
    *flags = ss.flags;
    return 0;
  }
  int set(int fd, int flags) override {
    // Without privileges the driver accepts only the user flags changed, every other
    // field as it reported them.
    serial_struct ss;
    std::memset(&ss, 0, sizeof ss);
    if (ioctlRetry(fd, TIOCGSERIAL, &ss) < 0) return errno;
    ss.flags = flags;
    if (ioctlRetry(fd, TIOCSSERIAL, &ss) < 0) return errno;
    return 0;
  }
};

}  // namespace

SerialFlagsAccess& systemSerialFlags() {
  static SystemSerialFlags flags;
  return flags;
}

bool LowLatencyRequest::request(int fd) {
  changed_ = granted_ = false;
  int flags = 0;
  if (io_->get(fd, &flags) != 0) return false;
  before_ = flags;
  if (flags & kFlag) return granted_ = true;
  if (io_->set(fd, flags | kFlag) != 0) return false;
  changed_ = true;
  // Some drivers take the call and drop the flag: only the read-back counts.
  int now = 0;
  granted_ = io_->get(fd, &now) == 0 && (now & kFlag);
  return granted_;
}

void LowLatencyRequest::restore(int fd) {
  if (!changed_) return;
  changed_ = false;
  granted_ = false;
  int now = 0;
  // A device that went away cannot be asked any more; nothing is left to put back then.
  if (io_->get(fd, &now) != 0) return;
  io_->set(fd, (now & ~kFlag) | (before_ & kFlag));
}
