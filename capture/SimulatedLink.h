#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/Clock.h"
#include "capture/LineSettings.h"
#include "capture/PortDevice.h"

struct Scenario;
class SimulatedDevice;

// A simulated RS-232 link between a terminal (DTE) and a modem (DCE), played from a
// scenario (the file format is in the README), so that the program runs without serial hardware.
//
// Its two ends are PortDevices: SIM-A hears line D2 (from the DCE) and sees DSR, CTS,
// DCD and RI; SIM-B hears line D1 (from the DTE) and sees DTR on its DSR input and
// RTS on its CTS input. Scenario time 0 is the clock reading when the first end is
// opened; from then on time runs whether or not the ends are open, and what is sent
// to a closed end is lost. Everything is delivered on the calling (main) thread from
// pump(), driven by a 1 ms timer in real-time mode or by the caller (tests).
class SimulatedLink : public QObject {
  Q_OBJECT
 public:
  // A = "SIM-A" (D2 data, DSR/CTS/DCD/RI inputs; used as ComA),
  // B = "SIM-B" (D1 data, DTR->DSR, RTS->CTS; used as ComB)
  enum class End { A, B };

  // Starts with the built-in scenario.
  explicit SimulatedLink(const Clock& clock, QObject* parent = nullptr);
  ~SimulatedLink() override;

  // Replace the scenario and start it again (at once when an end is open, else at
  // the next open). On failure the current scenario stays and error holds
  // "FILE:LINE: message".
  bool loadScenarioFile(const QString& path, QString* error);
  bool loadScenarioText(const QString& text, const QString& sourceName, QString* error);
  void useDefaultScenario();
  // Random bytes (seeded, all 256 values) on both lines back to back; baud <= 0: the
  // port's baud; seconds <= 0: forever.
  void useStress(int32_t baud, double seconds, uint32_t seed);

  // A device for one end; the device reports path "SIM-A" / "SIM-B". Any number may
  // exist; one per end can be open at a time. Devices may outlive the link.
  std::unique_ptr<PortDevice> createDevice(End end);

  // On: a QTimer (1 ms, Qt::PreciseTimer) calls pump() while any device is open.
  void setRealTime(bool on);
  bool realTime() const { return realTime_; }

  // Delivers everything due up to clock.ticks(). Does nothing when called from
  // inside a delivery (a sink callback).
  void pump();

  // Data bytes the scenario put on that end's line so far (as of the last pump;
  // characters with a parity or framing error included), and of those the ones
  // handed to an open device.
  uint64_t bytesSent(End end) const;
  uint64_t bytesDelivered(End end) const;
  // A scenario without `repeat forever` has run out (its last event is delivered and
  // its last wait is over).
  bool finished() const { return finished_; }
  // The current input lines of an end (ModemBit values), open or not.
  uint8_t modemStatus(End end) const;

 signals:
  void scenarioFinished();

 private:
  friend class SimulatedDevice;
  struct Run;
  struct EndState {
    const void* owner = nullptr;  // the open device, null when closed
    PortSink* sink = nullptr;
    LineSettings settings;
    bool known = false;  // settings hold what the end was last opened with
    uint8_t status = 0;
    bool statusReset = false;  // status went to 0 by a scenario change; tell the device
    uint64_t sent = 0, delivered = 0;
    std::vector<uint8_t> buffer;
  };

  void install(Scenario&& scenario);
  bool installParsed(const QByteArray& text, const QString& sourceName, QString* error);
  bool openEnd(End end, const void* owner, const LineSettings& settings, PortSink& sink, QString* error);
  void closeEnd(End end, const void* owner);
  // Delivers what is due up to the clock reading now; dropEnd (0 = A, 1 = B, -1 none)
  // loses its data and errors instead (a flushed input), and the pump stops at the
  // first event due for the other end, which stays for that end's own next pump.
  void pumpInternal(int dropEnd, uint64_t now);
  void latchTiming();
  bool flushBuffers(uint64_t generation);
  void updateTimer();
  EndState& state(End end) { return ends_[end == End::A ? 0 : 1]; }
  const EndState& state(End end) const { return ends_[end == End::A ? 0 : 1]; }

  const Clock& clock_;
  std::shared_ptr<SimulatedLink*> self_;
  std::unique_ptr<Run> run_;
  EndState ends_[2];  // [0] = A, [1] = B
  bool started_ = false;
  uint64_t start_ = 0;
  bool inPump_ = false;
  uint64_t generation_ = 0;
  int firstBuffered_ = -1;
  bool finished_ = false;
  bool finishSignalled_ = false;
  bool realTime_ = false;
  QTimer timer_;
};
