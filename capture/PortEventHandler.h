#pragma once
#include <QObject>
#include <cstdint>

class CaptureEngine;
class SerialPort;
class TriggerControl;
class ViewLock;
struct RecordingGate;

// Turns the two ports' notifications into records. ComB carries line D1 with DTR
// and RTS on its DSR and CTS inputs; ComA carries line D2 with DSR, CTS, DCD and RI.
class PortEventHandler : public QObject {
  Q_OBJECT
 public:
  PortEventHandler(CaptureEngine& engine, SerialPort& comA, SerialPort& comB, RecordingGate& gate, ViewLock& viewLock,
                   TriggerControl& triggers, QObject* parent = nullptr);

  // Notification handlers.
  void ComATriggerAvail(int count) { onAvail(count); }
  void ComBTriggerAvail(int count) { onAvail(count); }
  void ComATriggerData(int handle);
  void ComBTriggerData(int handle);
  void ComATriggerStatus(int handle) { onStatus(comA_, handle); }
  void ComBTriggerStatus(int handle) { onStatus(comB_, handle); }
  void ComALineError(int errorWord);
  void ComBLineError(int errorWord);

  void ComRecordAvailData(int count);
  // Drains both ports completely into records whatever the gate says (before a trigger stop).
  void ComReadAllPendingData();
  // Drains both ports through the gate, as the data handler does (before the ports close).
  void readRemainingData();
  int RecordComEvent(uint16_t burstIndex);
  void ResetComEvent();
  bool IsRecordingActive() const;
  bool ReadSignalStates();
  void ArmPortStatusTriggers();
  // Removes the base status triggers from the ports and forgets their handles.
  void clearStatusTriggers();

  // At most n more records from the ports (0: no limit); then the gate stays shut.
  void setRecordLimit(int64_t n) { limit_ = n > 0, remaining_ = n; }
  bool recordLimitReached() const { return limit_ && remaining_ <= 0; }

  // Line errors seen since the program started, per side, whatever the gate said.
  uint64_t lineErrorCount(bool d1Side) const { return d1Side ? errorsD1_ : errorsD2_; }

 private:
  void onAvail(int count);
  uint64_t readAt() const;
  void onStatus(SerialPort& port, int handle);
  void onLineError(SerialPort& port, int errorWord, bool d1Side);
  bool takeOneEach();
  void drain(bool gated);

  CaptureEngine& engine_;
  SerialPort& comA_;
  SerialPort& comB_;
  RecordingGate& gate_;
  ViewLock& viewLock_;
  TriggerControl& triggers_;
  bool dataTaken_ = false;
  // Base status triggers: line status and modem status of each port; 0 = not created.
  int lineHandleA_ = 0, modemHandleA_ = 0, lineHandleB_ = 0, modemHandleB_ = 0;
  uint64_t errorsD1_ = 0, errorsD2_ = 0;
  bool limit_ = false;
  int64_t remaining_ = 0;
};
