#include "capture/TapLink.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "capture/Termios2.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int LinkExists = 9371, LinkFailed = 9372, PtyFailed = 9373;
}  // namespace TextNo

namespace {

// Device bytes kept for an application that does not read, beyond what the
// pseudo-terminal holds itself; older ones are dropped, as an overrun would.
constexpr std::size_t kApplicationBacklog = 1 << 20;
// Above this much unwritten for the device, the application's output is not read:
// the application then waits in its write() as on a slow port.
constexpr std::size_t kDeviceBacklog = 64 * 1024;

QString systemError(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

speed_t speedConstant(int32_t baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return B9600;  // the application sees a usual rate; the device runs the one asked for
  }
}

// The application finds a raw line at the tap's settings, so that nothing it did not
// ask for (echo, line editing, CR/LF translation) touches the relayed bytes. EXTPROC
// makes the pseudo-terminal report the application's setting changes in packet mode.
bool prepareSlave(int fd, const LineSettings& s) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  if (s.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_lflag |= EXTPROC;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::cfsetspeed(&t, speedConstant(s.baud));
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

std::size_t OutQueue::trimTo(std::size_t limit) {
  const std::size_t n = size();
  if (n <= limit) return 0;
  head_ += qsizetype(n - limit);
  return n - limit;
}

int OutQueue::writeTo(int fd) {
  while (!empty()) {
    const ssize_t n = ::write(fd, data_.constData() + head_, size());
    if (n > 0) {
      head_ += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    return n < 0 ? errno : EIO;
  }
  if (head_ > 0 && (empty() || head_ > (1 << 16))) {
    data_.remove(0, head_);
    head_ = 0;
  }
  return 0;
}

// One end of a tap as a port device.
class TapEnd : public PortDevice {
 public:
  TapEnd(TapLink& link, TapLink::End end) : link_(&link), alive_(link.alive_), end_(end) {}
  ~TapEnd() override { close(); }

  QString path() const override {
    if (!*alive_) return QString();
    return end_ == TapLink::End::Device ? link_->devicePath() : link_->linkPath();
  }
  bool open(const LineSettings& settings, PortSink& sink, QString* error) override {
    if (!*alive_ || open_) return false;
    open_ = link_->openEnd(end_, settings, sink, error);
    return open_;
  }
  void close() override {
    if (open_ && *alive_) link_->closeEnd(end_);
    open_ = false;
  }
  // The application's bytes are never discarded: the device must get every one of them.
  void flushInput() override {
    if (open_ && *alive_ && end_ == TapLink::End::Device) link_->device_.flushInput();
  }
  uint8_t modemStatus() override { return open_ && *alive_ ? link_->endModemStatus(end_) : 0; }
  void readPending() override {
    if (!open_ || !*alive_) return;
    if (end_ == TapLink::End::Device) link_->device_.readPending();
    else link_->readApplication();
  }
  void setThreadBoost(int levels) override {
    if (open_ && *alive_ && end_ == TapLink::End::Device) link_->device_.setThreadBoost(levels);
  }

 private:
  TapLink* link_;
  std::shared_ptr<bool> alive_;
  TapLink::End end_;
  bool open_ = false;
};

TapLink::TapLink(QString devicePath, QString linkPath, QObject* parent)
    : QObject(parent), devicePath_(std::move(devicePath)), linkPath_(std::move(linkPath)), device_(devicePath_) {
  settingsPoll_.setInterval(200);
  connect(&settingsPoll_, &QTimer::timeout, this, &TapLink::checkSettings);
}

TapLink::~TapLink() {
  *alive_ = false;
  close();
}

std::unique_ptr<PortDevice> TapLink::createDevice(End end) { return std::make_unique<TapEnd>(*this, end); }

bool TapLink::openEnd(End end, const LineSettings& settings, PortSink& to, QString* error) {
  if (sink(end) != nullptr) return false;
  if (!isOpen() && !open(settings, error)) return false;
  sinks_[end == End::Device ? 0 : 1] = &to;
  return true;
}

void TapLink::closeEnd(End end) {
  sinks_[end == End::Device ? 0 : 1] = nullptr;
  if (!sinks_[0] && !sinks_[1]) close();
}

uint8_t TapLink::endModemStatus(End end) {
  if (end == End::Device) return device_.modemStatus();
  // The lines the tap drives for the application, on the inputs that carry DTR and RTS.
  return dtrRtsUp_ ? uint8_t(ModemBit::Dsr | ModemBit::Cts) : uint8_t(0);
}

bool TapLink::open(const LineSettings& settings, QString* error) {
  if (isOpen()) return true;
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    close();
    return false;
  };
  if (!device_.open(settings, *this, error)) return false;
  settings_ = settings;
  setDtrRts(true);

  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail(Texts::text(TextNo::PtyFailed).arg(systemError(errno)));
  char name[128] = {};
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0)
    return fail(Texts::text(TextNo::PtyFailed).arg(systemError(errno)));
  slavePath_ = QString::fromLocal8Bit(name);
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (slave_ < 0) return fail(Texts::text(TextNo::PtyFailed).arg(systemError(errno)));
  int on = 1;
  if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0 || ::ioctl(master_, TIOCPKT, &on) != 0 ||
      !prepareSlave(slave_, settings))
    return fail(Texts::text(TextNo::PtyFailed).arg(systemError(errno)));
  tio2::readFrame(slave_, &seen_);
  // Reading our own settings change would announce it as the application's.
  { uint8_t skip[64]; while (::read(master_, skip, sizeof skip) > 0) {} }
  if (!makeLink(error)) {
    const QString why = error ? *error : QString();
    return fail(why);
  }

  appRead_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
  connect(appRead_, &QSocketNotifier::activated, this, &TapLink::readApplication);
  appWrite_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
  appWrite_->setEnabled(false);
  connect(appWrite_, &QSocketNotifier::activated, this, &TapLink::flushToApplication);
  deviceWrite_ = new QSocketNotifier(device_.handle(), QSocketNotifier::Write, this);
  deviceWrite_->setEnabled(false);
  connect(deviceWrite_, &QSocketNotifier::activated, this, &TapLink::flushToDevice);
  settingsPoll_.start();
  return true;
}

void TapLink::close() {
  settingsPoll_.stop();
  // A recording may stop from inside a notifier's own delivery: off now, deleted later.
  for (QSocketNotifier* n : {appRead_, appWrite_, deviceWrite_}) {
    if (!n) continue;
    n->setEnabled(false);
    n->deleteLater();
  }
  appRead_ = appWrite_ = deviceWrite_ = nullptr;
  removeLink();
  if (device_.isOpen()) {
    // What the application wrote last still goes out, as far as the device takes it now.
    toDevice_.writeTo(device_.handle());
    setDtrRts(false);
    device_.close();
  }
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  slavePath_.clear();
  toDevice_.clear();
  toApplication_.clear();
  sinks_[0] = sinks_[1] = nullptr;
  reading_ = false;
}

bool TapLink::makeLink(QString* error) {
  const QByteArray link = QFile::encodeName(linkPath_);
  const QByteArray target = QFile::encodeName(slavePath_);
  struct stat st {};
  if (::lstat(link.constData(), &st) == 0) {
    // Only a link into /dev/pts whose terminal is gone is ours, left by a tap that was
    // killed; anything else belongs to someone and stays.
    char old[256] = {};
    const ssize_t n = S_ISLNK(st.st_mode) ? ::readlink(link.constData(), old, sizeof old - 1) : -1;
    struct stat target {};
    const bool stale = n > 0 && std::strncmp(old, "/dev/pts/", 9) == 0 && ::stat(old, &target) != 0;
    if (!stale) {
      if (error) *error = Texts::text(TextNo::LinkExists).arg(linkPath_);
      return false;
    }
    ::unlink(link.constData());
  }
  if (::symlink(target.constData(), link.constData()) != 0) {
    const int e = errno;
    if (error)
      *error = e == EEXIST ? Texts::text(TextNo::LinkExists).arg(linkPath_)
                           : Texts::text(TextNo::LinkFailed).arg(linkPath_, systemError(e));
    return false;
  }
  linkMade_ = true;
  return true;
}

void TapLink::removeLink() {
  if (!linkMade_) return;
  linkMade_ = false;
  // Only while it still points to our terminal: someone may have put another file there.
  const QByteArray link = QFile::encodeName(linkPath_);
  char now[256] = {};
  const ssize_t n = ::readlink(link.constData(), now, sizeof now - 1);
  if (n > 0 && QFile::decodeName(QByteArray(now, int(n))) == slavePath_) ::unlink(link.constData());
}

void TapLink::setDtrRts(bool up) {
  if (!device_.isOpen()) return;
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(device_.handle(), up ? TIOCMBIS : TIOCMBIC, &lines);
  dtrRtsUp_ = up;
}

void TapLink::checkSettings() {
  if (slave_ < 0 || !device_.isOpen()) return;
  LineSettings now;
  if (tio2::readFrame(slave_, &now) != 0) return;
  if (now.baud == seen_.baud && now.stopBits == seen_.stopBits) return;
  seen_ = now;
  // Baud 0 is the application hanging up: DTR and RTS drop, the rate stays.
  if (now.baud == 0) {
    setDtrRts(false);
    if (PortSink* s = sink(End::Application)) s->deviceModemChanged(0);
    return;
  }
  if (!dtrRtsUp_) {
    setDtrRts(true);
    if (PortSink* s = sink(End::Application)) s->deviceModemChanged(ModemBit::Dsr | ModemBit::Cts);
  }
  // Data bits and parity cannot be seen: a pseudo-terminal always shows 8 bits without parity.
  LineSettings wanted = settings_;
  wanted.baud = int32_t(now.baud);
  wanted.stopBits = now.stopBits;
  if (wanted == settings_) return;
  // Bytes written before the change still go out at the rate they were written for.
  toDevice_.writeTo(device_.handle());
  uint32_t in = 0, out = 0;
  const bool ok = tio2::applyRaw(device_.handle(), wanted, &in, &out) == 0;
  if (ok) {
    settings_ = wanted;
    // Both ports hear the one line: its character time is the new rate's from now on.
    for (End end : {End::Device, End::Application})
      if (PortSink* s = sink(end)) s->deviceSettingsChanged(wanted);
  } else {
    tio2::applyRaw(device_.handle(), settings_, nullptr, nullptr);
  }
  emit settingsApplied(wanted, ok);
}

void TapLink::readApplication() {
  if (master_ < 0 || reading_) return;
  std::shared_ptr<bool> alive = alive_;
  reading_ = true;
  uint8_t buffer[16 * 1024 + 1];
  std::size_t budget = 1 << 20;
  while (budget > 0 && master_ >= 0 && toDevice_.size() < kDeviceBacklog) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EAGAIN; EIO cannot come while we hold the slave open
    // In packet mode the first byte says what follows: 0 data, else a status change.
    if (buffer[0] != TIOCPKT_DATA || n == 1) {
      checkSettings();
      continue;
    }
    checkSettings();  // a change made before these bytes were written applies to them
    const uint8_t* data = buffer + 1;
    const std::size_t length = std::size_t(n - 1);
    budget -= std::min(budget, length);
    toDevice_.append(data, length);
    flushToDevice();
    if (PortSink* s = sink(End::Application)) s->deviceData(data, length);
    if (!*alive) return;
  }
  reading_ = false;
  if (appRead_) appRead_->setEnabled(toDevice_.size() < kDeviceBacklog);
}

void TapLink::flushToDevice() {
  if (!device_.isOpen()) return;
  const int e = toDevice_.writeTo(device_.handle());
  if (e != 0) {
    toDevice_.clear();  // the device went away; its read side reports that
  }
  if (deviceWrite_) deviceWrite_->setEnabled(!toDevice_.empty());
  if (appRead_ && !reading_ && toDevice_.size() < kDeviceBacklog) appRead_->setEnabled(true);
}

void TapLink::flushToApplication() {
  if (master_ < 0) return;
  if (toApplication_.writeTo(master_) != 0) toApplication_.clear();
  dropped_ += toApplication_.trimTo(kApplicationBacklog);
  if (appWrite_) appWrite_->setEnabled(!toApplication_.empty());
}

void TapLink::deviceData(const uint8_t* data, std::size_t length) {
  toApplication_.append(data, length);
  flushToApplication();
  if (PortSink* s = sink(End::Device)) s->deviceData(data, length);
}

void TapLink::deviceLineError(uint8_t errorWord, bool hasByte, uint8_t byte) {
  // The character as received goes to the application too; a break has no character
  // and a pseudo-terminal cannot pass one on.
  if (hasByte) {
    toApplication_.append(&byte, 1);
    flushToApplication();
  }
  if (PortSink* s = sink(End::Device)) s->deviceLineError(errorWord, hasByte, byte);
}

void TapLink::deviceModemChanged(uint8_t status) {
  if (PortSink* s = sink(End::Device)) s->deviceModemChanged(status);
}

void TapLink::deviceReadAt(uint64_t monotonicNs) {
  if (PortSink* s = sink(End::Device)) s->deviceReadAt(monotonicNs);
}

void TapLink::deviceLost(const QString& reason) {
  if (PortSink* s = sink(End::Device)) s->deviceLost(reason);
}
