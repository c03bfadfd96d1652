#pragma once
// What a serial driver can tell us, and what a recording on it will miss or only
// approximate. USB adapters differ here from built-in UARTs: some cannot wait for
// modem-line changes, some keep no error counters, and FTDI chips hold received
// bytes back until their latency timer runs out.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// How modem-line changes reach us.
enum class ModemWatch : uint8_t {
  Unknown,  // not looked at (device not opened, or the driver answered oddly)
  Waits,    // the driver wakes us on every change (TIOCMIWAIT)
  Polls,    // the driver cannot wait: the lines are read every 10 ms
  None,     // no modem lines at all (pseudo-terminals)
};

// Why the latency timer could not be read; Missing means the device has none.
enum class SysfsProblem : uint8_t { None, Missing, Unreadable, Empty, Garbage };

struct LatencyReading {
  int ms = -1;  // -1: none or unknown
  SysfsProblem problem = SysfsProblem::Missing;
  QString detail;  // the system's words, or the file's text as found (cut short, printable)
};

struct PortCapabilities {
  bool known = false;  // false for devices that are no driver (the simulated link)
  QString driver;      // the kernel driver's name; "pty" for pseudo-terminals; empty unknown
  ModemWatch modemWatch = ModemWatch::Unknown;
  bool errorCounters = false;  // TIOCGICOUNT answers: parity, framing and break told apart
  LatencyReading latency;
  bool lowLatency = false;  // the driver took ASYNC_LOW_LATENCY

  // The delay the driver's timer adds to a time stamp at worst, in ms; -1 unknown.
  // ftdi_sio runs its timer at 1 ms while low latency is on, whatever sysfs says.
  int effectiveLatencyMs() const;
};

// What a recording on a port will miss or only approximate, as numbers for the texts.
enum class PortNote : uint8_t { ModemPolled, ModemNotSeen, ErrorKindsApproximated, LatencySmear };
std::vector<PortNote> recordingNotes(const PortCapabilities& caps);

// One line of words per note, led by the port's name ("COM3 (/dev/ttyUSB0)").
QStringList recordingNoteTexts(const PortCapabilities& caps, const QString& portName);
// The capabilities as short phrases ("driver: ftdi_sio", "latency timer: 16 ms", ...).
QStringList describeCapabilities(const PortCapabilities& caps);

// Reads the driver name and the latency timer of a tty from sysfs. The root is
// "/sys" except in tests, which build a tree of their own.
class SysfsTty {
 public:
  explicit SysfsTty(QString root = QStringLiteral("/sys")) : root_(std::move(root)) {}

  // The kernel's name of the tty behind a device path ("ttyUSB0"), following links
  // such as /dev/serial/by-id/...; empty when none can be found.
  QString ttyName(const QString& devicePath) const;
  // The name of the driver bound to the tty's device; empty when there is none.
  QString driver(const QString& ttyName) const;
  LatencyReading latencyTimer(const QString& ttyName) const;

 private:
  QString deviceDir(const QString& ttyName) const;
  QString root_;
};

// The driver's serial flags (TIOCGSERIAL/TIOCSSERIAL), behind a seam so the low-latency
// request can be tried without such a driver. Both return 0 or the errno of the call.
class SerialFlagsAccess {
 public:
  virtual ~SerialFlagsAccess() = default;
  virtual int get(int fd, int* flags) = 0;
  // Sets the flags and leaves every other field as the driver reported it.
  virtual int set(int fd, int flags) = 0;
};
SerialFlagsAccess& systemSerialFlags();

// Asks the driver for low latency on open and puts the flag back on close. Drivers
// let users change this flag without privileges where they support it at all; a
// refusal is no error, only something to tell.
class LowLatencyRequest {
 public:
  static constexpr int kFlag = 0x2000;  // ASYNC_LOW_LATENCY

  explicit LowLatencyRequest(SerialFlagsAccess& io) : io_(&io) {}
  // True when the flag is on afterwards (it may have been on already).
  bool request(int fd);
  // Puts back the flag as request() found it, where request() changed it.
  void restore(int fd);
  bool granted() const { return granted_; }

 private:
  SerialFlagsAccess* io_;
  bool changed_ = false;
  bool granted_ = false;
  int before_ = 0;
};
