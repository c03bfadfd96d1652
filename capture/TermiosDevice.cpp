#include "capture/TermiosDevice.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <pthread.h>
#include <sched.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "capture/Clock.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int DoesNotExist = 9530, PermissionDenied = 9531, BusyOtherProgram = 9532, NoDeviceBehind = 9533;
constexpr int NotSerial = 9534, BusyLocked = 9535, AlreadyOpen = 9536;
constexpr int InvalidBaud = 9537, InvalidDataBits = 9538, InvalidStopBits = 9539;
constexpr int RefusesSettings = 9540, BaudNotSupported = 9541, FrameNotSupported = 9542;
constexpr int FrameDataBits = 9543, FrameStopBits = 9544;
constexpr int ParityNone = 9545, ParityOdd = 9546, ParityEven = 9547, ParityMark = 9548, ParitySpace = 9549;
constexpr int HungUp = 9550, WentAway = 9551, ReadFailed = 9552;
}  // namespace TextNo

namespace {

// Some drivers let this kernel-internal "no such ioctl" through to user space.
constexpr int kENOIOCTLCMD = 515;

bool refused(int e) { return e == EINVAL || e == ENOTTY || e == kENOIOCTLCMD; }

int ioctlRetry(int fd, unsigned long request, void* arg) {
  int r;
  do r = ::ioctl(fd, request, arg);
  while (r < 0 && errno == EINTR);
  return r;
}

uint8_t mapModem(int lines) {
  uint8_t s = 0;
  if (lines & TIOCM_CTS) s |= ModemBit::Cts;
  if (lines & TIOCM_DSR) s |= ModemBit::Dsr;
  if (lines & TIOCM_RNG) s |= ModemBit::Ri;
  if (lines & TIOCM_CD) s |= ModemBit::Dcd;
  return s;
}

// The driver's counters; false (errno set) where it keeps none.
bool readIcount(int fd, serial_icounter_struct* ic) {
  std::memset(ic, 0, sizeof *ic);
  return ioctlRetry(fd, TIOCGICOUNT, ic) == 0;
}

bool readModemCounters(int fd, ModemCounters* out) {
  serial_icounter_struct ic;
  if (!readIcount(fd, &ic)) return false;
  out->cts = uint32_t(ic.cts);
  out->dsr = uint32_t(ic.dsr);
  out->rng = uint32_t(ic.rng);
  out->dcd = uint32_t(ic.dcd);
  return true;
}

// Reads the lines and, while *counting, the counters that go with them. An edge
// between the two readings would be in one and not the other and could pass for a
// pulse, so the counters are read on both sides and the pair taken once they agree.
// Clears *counting where the driver refuses the counters; false if the lines fail.
bool sampleModem(int fd, int* lines, ModemCounters* counts, bool* counting) {
  for (int tries = 0;; ++tries) {
    ModemCounters before, after;
    if (*counting && !readModemCounters(fd, &before)) *counting = false;
    if (ioctlRetry(fd, TIOCMGET, lines) < 0) return false;
    if (!*counting) return true;
    if (!readModemCounters(fd, &after)) {
      *counting = false;
      return true;
    }
    // A line that keeps moving: edges after "before" are counted in the next pass.
    if (after == before || tries == 3) {
      *counts = before;
      return true;
    }
  }
}

// The lines that pulsed since base: their counter moved but the level is back at the
// posted one. An even count is a pulse (several read as one); an odd count is an edge
// the level does not show yet, except on RI, which many UARTs count once per ring, as
// it ends.
uint8_t pulsedLines(const ModemCounters& base, const ModemCounters& now, uint8_t posted, uint8_t level) {
  const uint8_t same = uint8_t(~(posted ^ level));
  uint8_t pulsed = 0;
  auto check = [&](uint32_t was, uint32_t is, uint8_t bit, bool anyCount) {
    const uint32_t edges = is - was;  // stays right when a counter wraps
    if ((same & bit) && edges != 0 && (anyCount || edges % 2 == 0)) pulsed |= bit;
  };
  check(base.cts, now.cts, ModemBit::Cts, false);
  check(base.dsr, now.dsr, ModemBit::Dsr, false);
  check(base.rng, now.rng, ModemBit::Ri, true);
  check(base.dcd, now.dcd, ModemBit::Dcd, false);
  return pulsed;
}

// The signal that knocks the modem thread out of a blocked TIOCMIWAIT. The handler
// does nothing; installed without SA_RESTART, so the ioctl returns EINTR.
int wakeSignal() { return SIGRTMIN + 3; }

void installWakeHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = [](int) {};
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    ::sigaction(wakeSignal(), &sa, nullptr);
  });
}

QString openFailure(const QString& path, int e) {
  switch (e) {
    case ENOENT: return Texts::text(TextNo::DoesNotExist).arg(path);
    case EACCES:
    case EPERM: return Texts::text(TextNo::PermissionDenied).arg(path);
    case EBUSY: return Texts::text(TextNo::BusyOtherProgram).arg(path);
    case ENXIO:
    case ENODEV:
    case EIO: return Texts::text(TextNo::NoDeviceBehind).arg(path);
    case ENOTTY: return Texts::text(TextNo::NotSerial).arg(path);
    // The system's own words for the rest; the colon joins them to the device.
    default: return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(e)));
  }
}

QString lockedMessage(const QString& path) {
  return Texts::text(TextNo::BusyLocked).arg(path);
}

// Opens the node and takes its lock; -1 with errno set (EWOULDBLOCK for a held lock).
int openLocked(const QString& path) {
  const QByteArray native = path.toLocal8Bit();
  int fd;
  do fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (!::isatty(fd)) {
    // A tty that went away after the open answers EIO: that is no "not a serial device".
    const int e = errno == EIO || errno == ENODEV || errno == ENXIO ? errno : ENOTTY;
    ::close(fd);
    errno = e;
    return -1;
  }
  int r;
  do r = ::flock(fd, LOCK_EX | LOCK_NB);
  while (r < 0 && errno == EINTR);
  if (r < 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

QString describeOpenError(const QString& path, int e) {
  return e == EWOULDBLOCK ? lockedMessage(path) : openFailure(path, e);
}

// Unix98 pseudo-terminal slaves: the pty driver always runs 8 bits without parity,
// whatever is asked, and there is no line for a frame format to matter on.
bool isPseudoTerminal(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

// "mark parity" and the like, as the object of "does not support".
QString parityText(Parity p) {
  switch (p) {
    case Parity::None: return Texts::text(TextNo::ParityNone);
    case Parity::Odd: return Texts::text(TextNo::ParityOdd);
    case Parity::Even: return Texts::text(TextNo::ParityEven);
    case Parity::Mark: return Texts::text(TextNo::ParityMark);
    case Parity::Space: return Texts::text(TextNo::ParitySpace);
  }
  return QString();
}

void dropDtrRts(int fd) {
  // Pseudo-terminals have no modem lines (ENOTTY/EINVAL); nothing to drop there.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctlRetry(fd, TIOCMBIC, &lines);
}

// Driver, error counters, latency timer and the low-latency request, on an open fd.
// The modem-line watch is the caller's: it depends on whether the lines can be read.
void gatherCapabilities(int fd, const QString& path, const QString& sysRoot, LowLatencyRequest& lowLatency,
                        PortCapabilities* caps) {
  *caps = PortCapabilities{};
  caps->known = true;
  caps->lowLatency = lowLatency.request(fd);
  serial_icounter_struct ic;
  caps->errorCounters = readIcount(fd, &ic);
  const SysfsTty sys(sysRoot);
  const QString name = sys.ttyName(path);
  // Pseudo-terminals have no entry in sysfs; their device number says what they are.
  caps->driver = isPseudoTerminal(fd) ? QStringLiteral("pty") : sys.driver(name);
  caps->latency = sys.latencyTimer(name);
}

// After a look at a device: on a first open the kernel raised DTR/RTS. With HUPCL
// (the default) it drops them again on close; without it we must, or the monitor
// would drive the link. Returns the errno of the HUPCL query (0 when it answered).
int closeAfterLook(int fd) {
  bool hupcl = true;
  const int e = tio2::hangsUpOnClose(fd, &hupcl);
  if (e == 0 && !hupcl) dropDtrRts(fd);
  ::close(fd);
  return e;
}

}  // namespace

ModemWatch probeModemWatch(int fd) {
  int lines = 0;
  if (ioctlRetry(fd, TIOCMGET, &lines) < 0) return refused(errno) ? ModemWatch::None : ModemWatch::Unknown;
  installWakeHandler();
  std::atomic<bool> done{false};
  int result = 0;  // 0 or the errno of the wait; read after the join
  std::thread asker([&] {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, wakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    const int r = ::ioctl(fd, TIOCMIWAIT, (unsigned long)(TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD));
    result = r == 0 ? 0 : errno;
    done = true;
  });
  // A signal that comes before the wait began is lost: repeat until the thread is out.
  const pthread_t handle = asker.native_handle();
  for (;;) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    if (done) break;
    pthread_kill(handle, wakeSignal());
  }
  asker.join();
  if (result == 0 || result == EINTR) return ModemWatch::Waits;
  return refused(result) ? ModemWatch::Polls : ModemWatch::Unknown;
}

// ---------------------------------------------------------------------------------
// ParmrkParser

ParmrkParser::ParmrkParser(CounterReader reader) : reader_(std::move(reader)) {}

void ParmrkParser::reset() {
  state_ = State::Plain;
  credit_ = {};
  haveBaseline_ = false;
  LineCounters now;
  if (reader_ && reader_(&now)) {
    last_ = now;
    haveBaseline_ = true;
  }
}

bool ParmrkParser::readCounters(PortSink& sink) {
  LineCounters now;
  if (!reader_ || !reader_(&now)) return false;
  if (!haveBaseline_) {
    last_ = now;
    haveBaseline_ = true;
    return true;
  }
  // Unsigned differences stay right when a counter wraps.
  credit_.brk += now.brk - last_.brk;
  credit_.frame += now.frame - last_.frame;
  credit_.parity += now.parity - last_.parity;
  const bool overrun = now.overrun != last_.overrun || now.bufOverrun != last_.bufOverrun;
  last_ = now;
  if (overrun) sink.deviceLineError(LineErrorBit::Overrun, false, 0);
  return true;
}

void ParmrkParser::pollCounters(PortSink& sink) {
  if (!halted_) readCounters(sink);
}

void ParmrkParser::mark(uint8_t x, PortSink& sink) {
  if (!fetchedThisFeed_) {
    fetchedThisFeed_ = true;
    countersThisFeed_ = readCounters(sink);
    if (halted_) return;
  }
  if (countersThisFeed_) {
    if (x == 0 && credit_.brk) {
      --credit_.brk;
      sink.deviceLineError(LineErrorBit::Break, false, 0);
      return;
    }
    if (credit_.frame) {
      --credit_.frame;
      sink.deviceLineError(LineErrorBit::Framing, true, x);
      return;
    }
    if (credit_.parity) {
      --credit_.parity;
      sink.deviceLineError(LineErrorBit::Parity, true, x);
      return;
    }
  }
  // No counters (or none that account for this mark): see the class comment.
  if (x == 0)
    sink.deviceLineError(LineErrorBit::Break, false, 0);
  else
    sink.deviceLineError(LineErrorBit::Parity, true, x);
}

void ParmrkParser::feed(const uint8_t* data, std::size_t length, PortSink& sink) {
  if (halted_) return;
  fetchedThisFeed_ = false;
  std::size_t run = 0;  // start of the plain run not yet delivered (valid in Plain)
  for (std::size_t i = 0; i < length; ++i) {
    const uint8_t c = data[i];
    switch (state_) {
      case State::Plain:
        if (c == 0xFF) {
          if (i > run) {
            sink.deviceData(data + run, i - run);
            if (halted_) return;
          }
          state_ = State::SawFF;
        }
        break;
      case State::SawFF:
        if (c == 0xFF) {
          state_ = State::Plain;
          run = i;  // the second 0xFF is the data byte
        } else if (c == 0) {
          state_ = State::SawFF00;
        } else {
          // A 0xFF not doubled (received before PARMRK was on): keep it as data.
          static const uint8_t ff = 0xFF;
          sink.deviceData(&ff, 1);
          if (halted_) return;
          state_ = State::Plain;
          run = i;
        }
        break;
      case State::SawFF00:
        state_ = State::Plain;
        run = i + 1;
        mark(c, sink);
        if (halted_) return;
        break;
    }
  }
  if (state_ == State::Plain && length > run) sink.deviceData(data + run, length - run);
}

// ---------------------------------------------------------------------------------
// TermiosDevice

// What the read path needs to outlive the device: a sink call may close and delete
// the device while a read is being delivered.
struct TermiosDevice::ReadState {
  explicit ReadState(ParmrkParser::CounterReader reader) : parser(std::move(reader)) {}
  ParmrkParser parser;
  Inbox outbox;                  // being delivered; swapped with the reader's inbox
  std::vector<uint8_t> scratch;  // for reads on the main thread (readPending)
  bool closed = false;
};

namespace {
// The reader stops reading while this much waits for the main thread: the kernel's
// buffer then fills and an overrun is counted there, as without a thread.
constexpr std::size_t kInboxLimit = 1 << 20;
}  // namespace

void TermiosDevice::Inbox::append(const uint8_t* data, std::size_t n, uint64_t readAt) {
  bytes.insert(bytes.end(), data, data + n);
  pieces.push_back({bytes.size(), readAt});
}

TermiosDevice::TermiosDevice(QString path) : path_(std::move(path)) {}

TermiosDevice::~TermiosDevice() { close(); }

bool TermiosDevice::readCounters(LineCounters* out) {
  if (icountRefused_ || fd_ < 0) return false;
  serial_icounter_struct ic;
  if (!readIcount(fd_, &ic)) {
    if (refused(errno)) icountRefused_ = true;
    return false;
  }
  out->frame = uint32_t(ic.frame);
  out->parity = uint32_t(ic.parity);
  out->brk = uint32_t(ic.brk);
  out->overrun = uint32_t(ic.overrun);
  out->bufOverrun = uint32_t(ic.buf_overrun);
  return true;
}

bool TermiosDevice::open(const LineSettings& settings, PortSink& sink, QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  // One arg() call for all values: a '%' in the path must not take a number's place.
  if (fd_ >= 0) return fail(Texts::text(TextNo::AlreadyOpen).arg(path_));
  if (settings.baud <= 0) return fail(Texts::text(TextNo::InvalidBaud).arg(path_, QString::number(settings.baud)));
  if (settings.dataBits < 5 || settings.dataBits > 8)
    return fail(Texts::text(TextNo::InvalidDataBits).arg(path_, QString::number(settings.dataBits)));
  if (settings.stopBits != 1 && settings.stopBits != 2)
    return fail(Texts::text(TextNo::InvalidStopBits).arg(path_, QString::number(settings.stopBits)));

  const int fd = openLocked(path_);
  if (fd < 0) return fail(describeOpenError(path_, errno));
  // Keep out programs that do not use the lock. As root the kernel still lets them in.
  ioctlRetry(fd, TIOCEXCL, nullptr);
  auto abandon = [&](const QString& why) {
    ioctlRetry(fd, TIOCNXCL, nullptr);
    ::close(fd);
    return fail(why);
  };

  // The kernel raised DTR/RTS on open; a monitor must not drive the link.
  dropDtrRts(fd);

  tio2::Saved saved;
  if (const int e = tio2::save(fd, &saved)) return abandon(openFailure(path_, e == EINVAL ? ENOTTY : e));
  uint32_t inBaud = 0, outBaud = 0;
  if (const int e = tio2::applyRaw(fd, settings, &inBaud, &outBaud)) {
    tio2::restore(fd, saved);
    if (e == EINVAL)
      return abandon(Texts::text(TextNo::RefusesSettings)
                         .arg(path_, QString::number(settings.baud), QString::number(settings.dataBits)));
    return abandon(openFailure(path_, e));
  }
  if (inBaud == 0) inBaud = outBaud;  // input speed 0 means "same as output"
  const double want = settings.baud;
  auto off = [want](uint32_t got) { return std::abs(double(got) - want) > want * 0.02; };
  if (off(outBaud) || off(inBaud)) {
    tio2::restore(fd, saved);
    return abandon(Texts::text(TextNo::BaudNotSupported)
                       .arg(path_, QString::number(settings.baud), QString::number(off(outBaud) ? outBaud : inBaud)));
  }

  // A driver that cannot do the frame format adjusts it silently; recording under a
  // format the line does not run would be worse than not opening.
  LineSettings actual;
  if (!isPseudoTerminal(fd) && tio2::readFrame(fd, &actual) == 0) {
    QString what;
    bool differs = true;  // decided here, not by the text, which a table may lack
    if (actual.dataBits != settings.dataBits) what = Texts::text(TextNo::FrameDataBits).arg(settings.dataBits);
    else if (actual.parity != settings.parity) what = parityText(settings.parity);
    else if (actual.stopBits != settings.stopBits) what = Texts::text(TextNo::FrameStopBits).arg(settings.stopBits);
    else differs = false;
    if (differs) {
      tio2::restore(fd, saved);
      return abandon(Texts::text(TextNo::FrameNotSupported).arg(path_, what));
    }
  }

  // Asked for after the settings took: a request that fails changes nothing to undo.
  lowLatency_.emplace(*flagsIo_);
  gatherCapabilities(fd, path_, sysRoot_, *lowLatency_, &caps_);

  fd_ = fd;
  sink_ = &sink;
  saved_ = saved;
  lost_ = false;
  icountRefused_ = false;
  read_ = std::make_shared<ReadState>([this](LineCounters* c) { return readCounters(c); });
  read_->parser.reset();  // baseline of the error counters
  // Allocated and touched now, so the first byte of a recording costs no allocation.
  read_->scratch.assign(chunkSize_, 0);
  read_->outbox.bytes.reserve(64 * 1024);
  read_->outbox.pieces.reserve(1024);

  guard_ = new QObject;
  startReaderThread();

  // The counters are read with the lines, so that the thread counts edges from here.
  int lines = 0;
  ModemCounters counts;
  bool counting = true;
  lastModem_ = 0;  // pseudo-terminals have no modem lines: they read as inactive
  if (sampleModem(fd_, &lines, &counts, &counting)) {
    lastModem_ = mapModem(lines);
    // Asked before the thread starts, so the answer is there for the recording's start.
    caps_.modemWatch = probeModemWatch(fd_);
    startModemThread(lastModem_, counting ? std::optional<ModemCounters>(counts) : std::nullopt);
  } else {
    caps_.modemWatch = refused(errno) ? ModemWatch::None : ModemWatch::Unknown;
  }
  return true;
}

void TermiosDevice::close() {
  if (fd_ < 0) return;
  if (read_) {
    read_->closed = true;
    read_->parser.halt();
    read_.reset();
  }
  stopReaderThread();
  stopModemThread();
  // Queued modem calls die with their receiver.
  delete guard_;
  guard_ = nullptr;
  // Also after a lost device: the request fails quietly there.
  if (lowLatency_) lowLatency_->restore(fd_);
  lowLatency_.reset();
  tio2::restore(fd_, saved_);
  ioctlRetry(fd_, TIOCNXCL, nullptr);
  ::close(fd_);  // releases the lock
  fd_ = -1;
  sink_ = nullptr;
  reading_ = false;  // a close from inside a delivery ends that delivery
}

void TermiosDevice::lose(const QString& reason) {
  lost_ = true;
  PortSink* sink = sink_;
  if (sink) sink->deviceLost(reason);  // last: the handler may close and delete us
}

bool TermiosDevice::readInto(Inbox& inbox, uint8_t* scratch, uint64_t firstStamp) {
  // Bounded by the inbox limit, so a flood cannot hold readPending on the main thread for long.
  uint64_t stamp = firstStamp;
  while (inbox.bytes.size() < kInboxLimit) {
    const ssize_t n = ::read(fd_, scratch, chunkSize_);
    if (n > 0) {
      // The first read is stamped when the wait ended; later ones when they return.
      inbox.append(scratch, std::size_t(n), stamp ? stamp : monotonicNanoseconds());
      stamp = 0;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    inbox.ended = true;
    inbox.error = n == 0 ? 0 : errno;
    return false;
  }
  return true;
}

void TermiosDevice::startReaderThread() {
  readerStop_ = false;
  readerTid_ = 0;
  inbox_ = Inbox{};
  deliveryPosted_ = false;
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  readerThread_ = std::thread([this] { readerLoop(); });
}

void TermiosDevice::stopReaderThread() {
  if (!readerThread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    readerStop_ = true;
  }
  inboxDrained_.notify_all();
  // An eventfd write fails only when its counter would overflow, never after one write.
  const uint64_t one = 1;
  if (wakeFd_ >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
  }
  readerThread_.join();
  readerTid_ = 0;
  if (wakeFd_ >= 0) ::close(wakeFd_);
  wakeFd_ = -1;
}

void TermiosDevice::readerLoop() {
  readerTid_ = pid_t(::gettid());
  applyBoost(pthread_self(), readerTid_);
  std::vector<uint8_t> scratch(chunkSize_, 0);
  QObject* const guard = guard_;  // deleted only after this thread has joined
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  // Without an eventfd the wait is cut into slices so a stop is still seen.
  const int slice = wakeFd_ >= 0 ? -1 : 50;
  const nfds_t count = wakeFd_ >= 0 ? 2 : 1;
  while (!readerStop_) {
    const int r = ::poll(fds, count, slice);
    const uint64_t woke = monotonicNanoseconds();
    if (readerStop_) break;
    if (r < 0 && errno != EINTR) {
      std::lock_guard<std::mutex> lock(inboxMutex_);
      inbox_.ended = true;
      inbox_.error = errno;
    } else if (r <= 0 || !fds[0].revents) {
      continue;
    }
    bool more = false;
    {
      std::unique_lock<std::mutex> lock(inboxMutex_);
      if (!inbox_.ended) {
        bool waited = false;
        while (!readerStop_ && inbox_.bytes.size() >= kInboxLimit) {
          inboxDrained_.wait(lock);
          waited = true;
        }
        if (readerStop_) break;
        more = readInto(inbox_, scratch.data(), waited ? 0 : woke);
      }
      if ((inbox_.bytes.empty() && !inbox_.ended) || deliveryPosted_) {
        if (!more) break;
        continue;
      }
      deliveryPosted_ = true;
    }
    QMetaObject::invokeMethod(guard, [this] { deliverInbox(); }, Qt::QueuedConnection);
    if (!more) break;  // ended: the main thread reports it after the last bytes
  }
  readerTid_ = 0;  // no boost for an id the system may give to another thread
}

void TermiosDevice::deliverInbox() {
  // A sink call that asks for pending data while we deliver would reorder the
  // stream; what came in stays in the inbox and comes with the next delivery.
  if (fd_ < 0 || lost_ || reading_ || !read_) return;
  std::shared_ptr<ReadState> state = read_;  // survives a close from inside a sink call
  Inbox& box = state->outbox;
  box.clearData();
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    std::swap(box, inbox_);
    inbox_.ended = box.ended;  // an end stays an end
    inbox_.error = box.error;
    deliveryPosted_ = false;
  }
  inboxDrained_.notify_all();
  PortSink& sink = *sink_;
  reading_ = true;
  std::size_t begin = 0;
  for (const Inbox::Piece& piece : box.pieces) {
    sink.deviceReadAt(piece.readAt);
    state->parser.feed(box.bytes.data() + begin, piece.end - begin, sink);
    if (state->closed) return;  // closed by a handler: touch nothing of ours
    begin = piece.end;
  }
  sink.deviceReadAt(0);
  if (!box.ended) {
    state->parser.pollCounters(sink);
    if (state->closed) return;
  }
  reading_ = false;
  if (!box.ended) return;
  const int e = box.error;
  if (e == 0)
    lose(Texts::text(TextNo::HungUp).arg(path_));
  else if (e == EIO || e == ENXIO || e == ENODEV)
    lose(Texts::text(TextNo::WentAway).arg(path_));
  else
    lose(Texts::text(TextNo::ReadFailed).arg(path_, QString::fromLocal8Bit(std::strerror(e))));
}

void TermiosDevice::readPending() {
  if (fd_ < 0 || lost_ || reading_ || !read_) return;
  {
    // After what the reader thread holds already, so the order stays.
    std::lock_guard<std::mutex> lock(inboxMutex_);
    if (!inbox_.ended) readInto(inbox_, read_->scratch.data(), 0);
  }
  deliverInbox();
}

void TermiosDevice::flushInput() {
  if (fd_ < 0) return;
  {
    // What the reader thread took but nobody has seen yet goes with the kernel's buffer.
    std::lock_guard<std::mutex> lock(inboxMutex_);
    tio2::flushInput(fd_);
    inbox_.clearData();
  }
  if (read_) read_->parser.reset();
}

uint8_t TermiosDevice::modemStatus() {
  if (fd_ < 0) return 0;
  int lines = 0;
  // Pseudo-terminals have no modem lines: they read as inactive.
  if (ioctlRetry(fd_, TIOCMGET, &lines) < 0) return 0;
  return mapModem(lines);
}

void TermiosDevice::deliverModem(uint8_t status, uint64_t seenAt) {
  if (fd_ < 0 || status == lastModem_) return;
  lastModem_ = status;
  PortSink* sink = sink_;
  if (!sink) return;
  sink->deviceReadAt(seenAt);
  sink->deviceModemChanged(status);
  if (fd_ >= 0 && sink_ == sink) sink->deviceReadAt(0);
}

void TermiosDevice::startModemThread(uint8_t initial, std::optional<ModemCounters> counts) {
  installWakeHandler();
  stop_ = false;
  threadDone_ = false;
  threadTid_ = 0;
  modemThread_ = std::thread([this, initial, counts] {
    modemLoop(initial, counts);
    std::lock_guard<std::mutex> lock(mutex_);
    threadDone_ = true;
    cv_.notify_all();
  });
}

void TermiosDevice::modemLoop(uint8_t initial, std::optional<ModemCounters> counts) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, wakeSignal());
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  threadTid_ = ::gettid();
  applyBoost(pthread_self(), threadTid_);

  QObject* const guard = guard_;  // deleted only after this thread has joined
  const int fd = fd_;
  // Each post is its own queued call, so the port sees every transition in order.
  uint8_t posted = initial;
  auto post = [&](uint8_t status) {
    if (status == posted) return;
    posted = status;
    const uint64_t seenAt = monotonicNanoseconds();
    QMetaObject::invokeMethod(guard, [this, status, seenAt] { deliverModem(status, seenAt); }, Qt::QueuedConnection);
  };

  bool counting = counts.has_value();
  ModemCounters base = counts.value_or(ModemCounters{});  // what "posted" accounts for
  WatchMode mode = WatchMode::Wait;
  while (!stop_) {
    int lines = 0;
    ModemCounters now;
    if (!sampleModem(fd, &lines, &now, &counting)) return;  // device gone; the read side reports it
    const uint8_t level = mapModem(lines);
    if (counting) {
      // A pulse that came and went before we looked: its rise first, then its fall.
      if (const uint8_t pulsed = pulsedLines(base, now, posted, level)) post(level ^ pulsed);
      base = now;
    }
    post(level);
    if (mode == WatchMode::Wait) {
      // TIOCMIWAIT waits for the next edge; one since the sample would lie unseen until then.
      ModemCounters again;
      if (counting && !readModemCounters(fd, &again)) counting = false;
      if (counting && !(again == base)) continue;
      // Returns on a change of any of the lines, or EINTR when close wakes us.
      const int r = ::ioctl(fd, TIOCMIWAIT, (unsigned long)(TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD));
      if (r == 0 || errno == EINTR) continue;
      if (!refused(errno)) return;
      mode = WatchMode::Poll;  // driver cannot wait for changes: look every 10 ms
    }
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_.load(); });
  }
}

void TermiosDevice::stopModemThread() {
  if (!modemThread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  // A signal that lands just before the thread enters TIOCMIWAIT is lost, so repeat
  // until the thread says it is done.
  const pthread_t handle = modemThread_.native_handle();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!threadDone_) {
    pthread_kill(handle, wakeSignal());
    cv_.wait_for(lock, std::chrono::milliseconds(2), [this] { return threadDone_.load(); });
  }
  lock.unlock();
  modemThread_.join();
  threadTid_ = 0;
}

void TermiosDevice::applyBoost(pthread_t handle, pid_t tid) {
  const int levels = boost_;
  struct sched_param p;
  std::memset(&p, 0, sizeof p);
  if (levels > 0) {
    const int lo = sched_get_priority_min(SCHED_FIFO), hi = sched_get_priority_max(SCHED_FIFO);
    p.sched_priority = std::clamp(lo + levels - 1, lo, hi);
    if (pthread_setschedparam(handle, SCHED_FIFO, &p) == 0) return;
    // No real-time rights: a better nice value at least (fails quietly without rights too).
    if (tid) ::setpriority(PRIO_PROCESS, id_t(tid), -std::clamp(levels * 5, 0, 20));
  } else {
    pthread_setschedparam(handle, SCHED_OTHER, &p);
    if (tid) ::setpriority(PRIO_PROCESS, id_t(tid), 0);
  }
}

void TermiosDevice::setThreadBoost(int levels) {
  boost_ = levels;
  // The thread applies boost_ itself once it knows its id; before that there is nothing to do.
  const pid_t tid = threadTid_;
  if (modemThread_.joinable() && tid != 0 && !threadDone_) applyBoost(modemThread_.native_handle(), tid);
  // The reader's wake-up is what its stamps are worth: it gets the same boost.
  const pid_t reader = readerTid_;
  if (readerThread_.joinable() && reader != 0) applyBoost(readerThread_.native_handle(), reader);
}

// ---------------------------------------------------------------------------------

bool probeSerialDevice(const QString& path, QString* why) {
  // A device listed a moment ago may be gone by now (adapter pulled, pseudo-terminal
  // closed); whichever way the system says so, the port is listed as gone.
  auto gone = [](int e) { return e == ENOENT || e == ENODEV || e == ENXIO || e == EIO; };
  auto fail = [&](const QString& text) {
    if (why) *why = text;
    return false;
  };
  struct stat st;
  if (::stat(path.toLocal8Bit().constData(), &st) < 0)
    return fail(gone(errno) ? Texts::text(TextNo::NoDeviceBehind).arg(path) : openFailure(path, errno));
  if (!S_ISCHR(st.st_mode)) return fail(openFailure(path, ENOTTY));
  // Never waits: the open does not wait for a carrier and the lock is only tried.
  const int fd = openLocked(path);
  if (fd < 0) return fail(gone(errno) ? Texts::text(TextNo::NoDeviceBehind).arg(path) : describeOpenError(path, errno));
  const int e = closeAfterLook(fd);
  if (gone(e)) return fail(Texts::text(TextNo::NoDeviceBehind).arg(path));
  if (why) why->clear();
  return true;
}

PortCapabilities probePortCapabilities(const QString& path, const QString& sysRoot, SerialFlagsAccess* flags) {
  const int fd = openLocked(path);
  if (fd < 0) return {};
  LowLatencyRequest lowLatency(flags ? *flags : systemSerialFlags());
  PortCapabilities caps;
  gatherCapabilities(fd, path, sysRoot, lowLatency, &caps);
  caps.modemWatch = probeModemWatch(fd);
  lowLatency.restore(fd);
  closeAfterLook(fd);
  return caps;
}
