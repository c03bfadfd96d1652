#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <vector>

#include "capture/CaptureEngine.h"
#include "capture/RecordingGate.h"
#include "capture/TriggerControl.h"
#include "triggers/TriggerActions.h"
#include "triggers/TriggerList.h"

class Clock;
class MessageSink;
class PortEventHandler;
class SerialPort;
struct RecordingGate;

// What the engine works on, owned elsewhere.
struct TriggerEngineParts {
  CaptureEngine& capture;
  PortEventHandler& handler;
  SerialPort& comA;  // line D2 and M1, M2, M5, M3
  SerialPort& comB;  // line D1 and S1, S2
  RecordingGate& gate;
  const Clock& clock;
  MessageSink& messages;
};

// Arms the active triggers group by group, recognises their firing, writes trigger
// marks, opens and closes the recording gate and runs the actions. Main thread only.
class TriggerEngine : public QObject, public TriggerControl {
  Q_OBJECT
 public:
  TriggerEngine(TriggerEngineParts parts, TriggerList& list, TriggerActions& actions, QObject* parent = nullptr);
  ~TriggerEngine() override;

  // TriggerControl
  bool StartTriggerSequence() override;
  void DisarmAllTriggers() override;
  void pauseSequence() override;
  bool resumeSequence() override;
  void resetCursor() override;
  int EvaluateTriggerEvent(SerialPort& port, int handle) override;
  void setRecorderLoaded(bool loaded) override;

  // The one-second poll of time and inactivity triggers (public for tests on an injected clock).
  void TriggerTimerTimer();
  QTimer& timer() { return timer_; }

  // "Waiting for START TRIGGER (n)" and the like; empty when nothing is awaited.
  QString statusText() const { return status_; }
  bool waiting() const;
  int armedCount() const { return int(armed_.size() + timed_.size()); }
  int cursor() const { return cursor_; }
  int activeCount() const { return int(active_.size()); }

 signals:
  void statusTextChanged(const QString& text);
  // The last stop trigger fired: the owner stops the recording (always delivered queued).
  void stopRequested();
  // A trigger mark was written for trigger number, as event eventNumber.
  void triggerMarked(int number, uint32_t eventNumber);

 private:
  struct Armed {
    int active;  // index into active_
    SerialPort* port;
    int handle;
    uint16_t mask;  // status triggers: the mask to re-activate with
    std::array<uint8_t, SignalCount> previous;  // signal triggers: the levels last seen
  };
  struct Timed {
    int active;
    double reached;  // time triggers: OLE date
    std::array<uint64_t, ActivitySlotCount> lastFired;  // inactivity: readings of its last firing per slot
  };

  void ArmNextTriggers();
  void ArmTrigger(int activeIndex);
  void fire(int activeIndex);
  void removeComponentTriggers();
  void ApplyTriggerToRecording(int type);
  void setStatus(const QString& text);
  bool edgeMet(Armed& a);
  std::array<uint8_t, SignalCount> currentLevels() const;

  TriggerEngineParts p_;
  TriggerList& list_;
  TriggerActions& actions_;
  QTimer timer_;

  std::vector<TriggerRecord> active_;  // copies taken when the recording started
  int cursor_ = 0;
  int groupStart_ = 0;  // cursor where the armed group began (for pause and resume)
  std::vector<Armed> armed_;
  std::vector<Timed> timed_;
  QString status_;
  bool loaded_ = false;
  uint64_t sequence_ = 0;  // counts recordings, so a queued stop finds its own
  bool pausedWithGroup_ = false;
  RecordingGate pausedGate_;
};
