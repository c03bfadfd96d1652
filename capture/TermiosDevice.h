#pragma once
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/types.h>
#include <thread>

#include "capture/PortCapabilities.h"
#include "capture/PortDevice.h"
#include "capture/Termios2.h"

class QObject;

// The driver's error counters (TIOCGICOUNT), as far as marking needs them.
struct LineCounters {
  uint32_t frame = 0, parity = 0, brk = 0, overrun = 0, bufOverrun = 0;
};

// The driver's transition counters of the handshake lines (TIOCGICOUNT): each counts
// the edges seen on its line, so a pulse too short to be read as a level still shows.
struct ModemCounters {
  uint32_t cts = 0, dsr = 0, rng = 0, dcd = 0;
  bool operator==(const ModemCounters&) const = default;
};

// Splits what a tty in PARMRK mode delivers into data and line errors:
// "\377\377" is a data byte 0xFF, "\377\0X" a character X received with an error,
// anything else plain data. A sequence may be split across any number of reads.
// The kind of a marked character comes from the driver's counters: the increments
// since the previous reading are credited and each mark takes one credit (break for
// X == 0 first, then framing, then parity). Where the driver keeps no counters, a
// marked 0 is a break and any other marked character a parity error: a break is by
// far the usual cause of a marked 0, and parity is the error PARMRK exists for.
class ParmrkParser {
 public:
  // Reads the counters; false where the driver refuses.
  using CounterReader = std::function<bool(LineCounters*)>;

  explicit ParmrkParser(CounterReader reader = {});

  // One read's bytes, delivered to sink in arrival order. The counters are read at
  // most once per call, at its first mark.
  void feed(const uint8_t* data, std::size_t length, PortSink& sink);
  // Reads the counters and reports one overrun if the overrun counts went up since
  // the previous reading (overruns leave no mark in the data).
  void pollCounters(PortSink& sink);
  // Forgets a partial sequence and unused credits and takes a new counter baseline.
  void reset();
  // Stops all delivery at once: the device was closed from inside a sink call.
  void halt() { halted_ = true; }
  bool halted() const { return halted_; }

 private:
  enum class State : uint8_t { Plain, SawFF, SawFF00 };
  bool readCounters(PortSink& sink);
  void mark(uint8_t x, PortSink& sink);

  CounterReader reader_;
  State state_ = State::Plain;
  bool haveBaseline_ = false;
  bool fetchedThisFeed_ = false;
  bool countersThisFeed_ = false;
  bool halted_ = false;
  LineCounters last_;
  LineCounters credit_;  // errors counted but not yet matched to a mark
};

// A real serial device or a pseudo-terminal, through termios. A reader thread of its
// own waits for input and stamps each read the moment it returns; the bytes are
// handed to the main thread, which delivers them with that time. So the time the
// event loop takes to get to them is no part of the recorded timing.
class TermiosDevice : public PortDevice {
 public:
  explicit TermiosDevice(QString path);
  ~TermiosDevice() override;
  TermiosDevice(const TermiosDevice&) = delete;
  TermiosDevice& operator=(const TermiosDevice&) = delete;

  QString path() const override { return path_; }
  bool open(const LineSettings& settings, PortSink& sink, QString* error) override;
  void close() override;
  void flushInput() override;
  uint8_t modemStatus() override;
  void readPending() override;
  void setThreadBoost(int levels) override;
  // Known from the open on: driver, modem-line watch, error counters, latency timer, low latency.
  PortCapabilities capabilities() const override { return caps_; }
  // For tests: a sysfs tree of their own and the seam for the serial flags; before open.
  void setSystemAccess(QString sysRoot, SerialFlagsAccess* flags) {
    sysRoot_ = std::move(sysRoot);
    flagsIo_ = flags ? flags : &systemSerialFlags();
  }

  bool isOpen() const { return fd_ >= 0; }
  // The open descriptor (-1 when closed), for a relay that writes to the device.
  int handle() const { return fd_; }
  // Whether a thread watches the modem lines (not on pseudo-terminals).
  bool modemThreadRunning() const { return modemThread_.joinable(); }
  bool readerThreadRunning() const { return readerThread_.joinable(); }
  // Bytes per read() call; 16 KiB unless changed (tests use tiny reads to split sequences).
  void setReadChunkSize(std::size_t bytes) { chunkSize_ = bytes ? bytes : 1; }

 private:
  struct ReadState;
  enum class WatchMode { Wait, Poll };

  // What the reader thread has read and the main thread not yet delivered.
  struct Inbox {
    struct Piece {
      std::size_t end;  // offset in bytes after the piece's last byte
      uint64_t readAt;  // CLOCK_MONOTONIC ns
    };
    std::vector<uint8_t> bytes;
    std::vector<Piece> pieces;
    bool ended = false;  // the device hung up or failed; error 0 = hang-up
    int error = 0;
    void append(const uint8_t* data, std::size_t n, uint64_t readAt);
    void clearData() {
      bytes.clear();
      pieces.clear();
    }
  };

  // Reads until the device has nothing more; false when it ended. inboxMutex_ held.
  bool readInto(Inbox& inbox, uint8_t* scratch, uint64_t firstStamp);
  void startReaderThread();
  void stopReaderThread();
  void readerLoop();
  void deliverInbox();
  void lose(const QString& reason);
  // counts: the transition counters read with initial; none where the driver keeps none.
  void startModemThread(uint8_t initial, std::optional<ModemCounters> counts);
  void stopModemThread();
  void modemLoop(uint8_t initial, std::optional<ModemCounters> counts);
  void applyBoost(pthread_t handle, pid_t tid);
  void deliverModem(uint8_t status, uint64_t seenAt);
  bool readCounters(LineCounters* out);

  QString path_;
  int fd_ = -1;
  PortSink* sink_ = nullptr;
  tio2::Saved saved_;
  std::shared_ptr<ReadState> read_;
  std::size_t chunkSize_ = 16 * 1024;
  QObject* guard_ = nullptr;  // lives in the opening thread; receives the threads' calls
  bool lost_ = false;
  bool reading_ = false;
  bool icountRefused_ = false;
  uint8_t lastModem_ = 0;
  QString sysRoot_ = QStringLiteral("/sys");
  SerialFlagsAccess* flagsIo_ = &systemSerialFlags();
  std::optional<LowLatencyRequest> lowLatency_;
  PortCapabilities caps_;

  std::thread modemThread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> threadDone_{false};
  std::atomic<pid_t> threadTid_{0};
  std::atomic<int> boost_{0};
  std::mutex mutex_;
  std::condition_variable cv_;

  std::thread readerThread_;
  std::atomic<bool> readerStop_{false};
  std::atomic<pid_t> readerTid_{0};
  int wakeFd_ = -1;  // an eventfd that knocks the reader out of its wait
  std::mutex inboxMutex_;  // held across each read and its append, so reads stay in order
  std::condition_variable inboxDrained_;
  Inbox inbox_;
  bool deliveryPosted_ = false;
};

// Whether path is a tty that exists, can be opened and whose lock is free right now.
// Opens, tests the lock and closes again; on false, why says what is wrong.
bool probeSerialDevice(const QString& path, QString* why);

// Opens the device for a moment, as probeSerialDevice does, and asks its driver what
// a recording would get (the low-latency request is undone before closing). Unknown
// (known false) when the device cannot be opened right now.
PortCapabilities probePortCapabilities(const QString& path, const QString& sysRoot = QStringLiteral("/sys"),
                                       SerialFlagsAccess* flags = nullptr);

// Whether the driver can wait for modem-line changes (TIOCMIWAIT), asked without
// blocking: a helper thread asks and is knocked out of the wait by a signal. A
// driver that cannot wait refuses at once; one that can returns only on a change or
// when the signal ends the wait. None where the device has no modem lines at all.
ModemWatch probeModemWatch(int fd);
