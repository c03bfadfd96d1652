#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/Clock.h"
#include "capture/PortDevice.h"
#include "tools/ReplayReader.h"

class PortRegistry;

// A record file played back as a live link, so that triggers, views and statistics can
// be tried on an old recording. Its two ends are PortDevices like those of the
// simulated link: REPLAY-A hears line D2 and sees DSR, CTS, DCD and RI (used as ComA),
// REPLAY-B hears line D1 and sees DTR on its DSR input and RTS on its CTS input (ComB).
// A recording of the replay holds the same bytes, line states and errors in the same
// order as the file (see ReplayReader for what is replayed).
//
// Time: the replay starts when the first end opens, with the lines of the file's first
// event, and keeps the original spacing divided by the speed factor (or hands over
// everything as fast as the capture takes it). It waits while no end is open (a paused
// recording loses nothing). Once the file has run out, finished() follows, and the next
// open starts it from the beginning. Everything is delivered on the calling (main)
// thread from pump(), which a timer calls while an end is open.
class ReplayLink : public QObject {
  Q_OBJECT
 public:
  enum class End { A, B };
  static constexpr double kMaxSpeed = 0;  // as fast as the capture takes it

  explicit ReplayLink(const Clock& clock, QObject* parent = nullptr);
  ~ReplayLink() override;

  // "FILE.vrd", "FILE.vrd,2", "FILE.vrd,0.5" or "FILE.vrd,max"; a comma inside the file
  // name is kept when what follows the last one is no speed and the whole names a file.
  // False with error set when the speed is none.
  static bool parseArgument(const QString& text, QString* path, double* speed, QString* error);
  // A speed in words: "original speed", "2 times as fast", "as fast as possible".
  static QString speedText(double speed);

  // Opens and checks the file; false with problem() set (and the ends refuse to open,
  // naming it). speed: a factor > 0 or kMaxSpeed.
  bool load(const QString& path, double speed);
  bool loaded() const { return reader_.isOpen(); }
  QString path() const { return path_; }
  double speed() const { return speed_; }
  FileIdentity identity() const { return reader_.identity(); }
  // Why the file cannot be replayed, or why the replay broke off.
  QString problem() const { return reader_.problem().text(); }

  // A device for one end, reporting path "REPLAY-A" / "REPLAY-B". Devices may outlive the link.
  std::unique_ptr<PortDevice> createDevice(End end);
  // The registry offers the two ends as COM1 (A) and COM2 (B) and nothing else.
  void offerAsPorts(PortRegistry& registry);

  // Delivers everything due up to the clock reading now (at most a share of it at a
  // time, so that the event loop gets its turn). Nothing from inside a delivery.
  void pump();

  bool finished() const { return finished_; }
  // Records of the file handed out, and data bytes given to an open end.
  int64_t recordsPlayed() const { return reader_.position(); }
  uint64_t bytesDelivered(End end) const { return ends_[index(end)].delivered; }
  uint8_t modemStatus(End end) const { return ends_[index(end)].status; }

 signals:
  // The replay began (again) from the file's first record.
  void replayStarted();
  // The file has run out: everything in it was handed over.
  void replayFinished();
  // The file could not be read on (changed or unreadable since it was checked); the
  // replay has stopped. message in the user's language.
  void replayFailed(const QString& message);

 private:
  friend class ReplayDevice;
  struct EndState {
    const void* owner = nullptr;  // the open device, null when closed
    PortSink* sink = nullptr;
    uint8_t status = 0;
    uint64_t delivered = 0;
  };

  static int index(End end) { return end == End::A ? 0 : 1; }
  bool openEnd(End end, const void* owner, PortSink& sink, QString* error);
  void closeEnd(End end, const void* owner);
  void start();
  uint64_t dueTicks(double at) const;
  // Hands the gathered bytes to their end; false when the link changed under the call.
  bool flushBatch();
  void schedule(uint64_t now);

  const Clock& clock_;
  std::shared_ptr<ReplayLink*> self_;
  ReplayReader reader_;
  QString path_;
  double speed_ = 1;
  EndState ends_[2];  // [0] = A, [1] = B
  bool started_ = false;
  bool finished_ = false;
  bool failureSignalled_ = false;
  uint64_t start_ = 0;        // clock reading of replay time 0
  uint64_t closedSince_ = 0;  // clock reading when the last end closed
  bool inPump_ = false;
  uint64_t generation_ = 0;  // counts opens and closes of the ends
  ReplayItem pending_;
  bool hasPending_ = false;
  int batchEnd_ = -1;
  std::vector<uint8_t> batch_;
  QTimer timer_;
};
