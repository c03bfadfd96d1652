#include "capture/PortEventHandler.h"

#include <algorithm>

#include "capture/CaptureEngine.h"
#include "capture/RecordingGate.h"
#include "capture/SerialPort.h"
#include "capture/TriggerControl.h"
#include "capture/ViewLock.h"

PortEventHandler::PortEventHandler(CaptureEngine& engine, SerialPort& comA, SerialPort& comB, RecordingGate& gate,
                                   ViewLock& viewLock, TriggerControl& triggers, QObject* parent)
    : QObject(parent),
      engine_(engine),
      comA_(comA),
      comB_(comB),
      gate_(gate),
      viewLock_(viewLock),
      triggers_(triggers) {
  connect(&comA, &SerialPort::triggerAvail, this, &PortEventHandler::ComATriggerAvail);
  connect(&comB, &SerialPort::triggerAvail, this, &PortEventHandler::ComBTriggerAvail);
  connect(&comA, &SerialPort::triggerData, this, &PortEventHandler::ComATriggerData);
  connect(&comB, &SerialPort::triggerData, this, &PortEventHandler::ComBTriggerData);
  connect(&comA, &SerialPort::triggerStatus, this, &PortEventHandler::ComATriggerStatus);
  connect(&comB, &SerialPort::triggerStatus, this, &PortEventHandler::ComBTriggerStatus);
  connect(&comA, &SerialPort::lineError, this, &PortEventHandler::ComALineError);
  connect(&comB, &SerialPort::lineError, this, &PortEventHandler::ComBLineError);
  // Burst layout and line load count in ComA's character time: a new rate on the line
  // (set through a tap) must not lay characters out at the old one.
  connect(&comA, &SerialPort::settingsChanged, this, [this] { engine_.UpdateCharacterTime(comA_.settings()); });
}

// Only the port whose device is delivering right now knows when its bytes were read.
uint64_t PortEventHandler::readAt() const { return std::max(comA_.readAt(), comB_.readAt()); }

bool PortEventHandler::IsRecordingActive() const { return gate_.IsRecordingActive() && !recordLimitReached(); }

int PortEventHandler::RecordComEvent(uint16_t burstIndex) {
  if (limit_) {
    if (remaining_ <= 0) return 0;  // the recording has all it asked for
    --remaining_;
  }
  return engine_.WriteEventRecord(burstIndex, false);
}

void PortEventHandler::ResetComEvent() { engine_.pending().clearAll(); }

// Every handler writes its records in one go before it returns to the event loop.
void PortEventHandler::onAvail(int count) {
  viewLock_.waitAndTake();
  {
    ArrivalScope arrival(engine_, readAt());
    RecordBatch batch(engine_);
    ComRecordAvailData(count);
  }
  viewLock_.release();
}

bool PortEventHandler::takeOneEach() {
  PendingEvent& p = engine_.pending();
  if (comB_.isOpen() && comB_.CharReady()) {
    p.d1Byte = comB_.GetChar();
    p.d1Flag = 1;
    dataTaken_ = true;
  }
  if (comA_.isOpen() && comA_.CharReady()) {
    p.d2Byte = comA_.GetChar();
    p.d2Flag = 1;
    dataTaken_ = true;
  }
  return dataTaken_;
}

void PortEventHandler::ComRecordAvailData(int count) {
  PendingEvent& p = engine_.pending();
  p.clearDataAndErrors();
  for (int i = 0; i < count; ++i) {
    if (!takeOneEach()) continue;
    if (IsRecordingActive()) {
      RecordComEvent(uint16_t(i > 0xFFFF ? 0xFFFF : i));
      p.clearDataAndErrors();
    }
    dataTaken_ = false;
  }
}

void PortEventHandler::drain(bool gated) {
  PendingEvent& p = engine_.pending();
  p.clearDataAndErrors();
  while ((comA_.isOpen() && comA_.CharReady()) || (comB_.isOpen() && comB_.CharReady())) {
    if (takeOneEach() && (!gated || IsRecordingActive())) RecordComEvent(0);
    p.clearDataAndErrors();
    dataTaken_ = false;
  }
}

void PortEventHandler::ComReadAllPendingData() { drain(false); }

void PortEventHandler::readRemainingData() {
  viewLock_.waitAndTake();
  {
    RecordBatch batch(engine_);
    comB_.readPending();
    comA_.readPending();
    drain(true);
  }
  viewLock_.release();
}

void PortEventHandler::ComATriggerData(int handle) {
  ArrivalScope arrival(engine_, readAt());
  RecordBatch batch(engine_);
  triggers_.EvaluateTriggerEvent(comA_, handle);
}

void PortEventHandler::ComBTriggerData(int handle) {
  ArrivalScope arrival(engine_, readAt());
  RecordBatch batch(engine_);
  triggers_.EvaluateTriggerEvent(comB_, handle);
}

bool PortEventHandler::ReadSignalStates() {
  if (!comA_.isOpen() || !comB_.isOpen()) return false;
  const uint8_t a = comA_.GetModemStatus();
  const uint8_t b = comB_.GetModemStatus();
  uint8_t* s = engine_.pending().signalBytes;
  s[SigS1Dtr] = (b & ModemBit::Dsr) ? 1 : 0;
  s[SigS2Rts] = (b & ModemBit::Cts) ? 1 : 0;
  s[SigM1Dsr] = (a & ModemBit::Dsr) ? 1 : 0;
  s[SigM2Cts] = (a & ModemBit::Cts) ? 1 : 0;
  s[SigM5Dcd] = (a & ModemBit::Dcd) ? 1 : 0;
  s[SigM3Rng] = (a & ModemBit::Ri) ? 1 : 0;
  // A change that leaves every line inactive (DTR falling last) is a change all the same.
  return true;
}

void PortEventHandler::onStatus(SerialPort& port, int handle) {
  ArrivalScope arrival(engine_, readAt());
  RecordBatch batch(engine_);
  // A line error on the base trigger has already been recorded by the line-error
  // handler; recording it again as a status event would count it twice.
  const bool baseLineTrigger =
      (&port == &comA_ && handle == lineHandleA_) || (&port == &comB_ && handle == lineHandleB_);
  if (baseLineTrigger) {
    port.SetStatusTrigger(handle, LineDelta::All, true);
    return;
  }
  if (!ReadSignalStates()) return;
  const bool baseModemTrigger =
      (&port == &comA_ && handle == modemHandleA_) || (&port == &comB_ && handle == modemHandleB_);
  if (baseModemTrigger) {
    // Every handshake change is recorded through the gate, whatever the triggers make of it.
    if (IsRecordingActive()) RecordComEvent(0);
    port.SetStatusTrigger(handle, ModemDelta::All, true);
    return;
  }
  triggers_.EvaluateTriggerEvent(port, handle);
}

void PortEventHandler::onLineError(SerialPort& port, int errorWord, bool d1Side) {
  ArrivalScope arrival(engine_, readAt());
  RecordBatch batch(engine_);
  PendingEvent& p = engine_.pending();
  const uint8_t pe = (errorWord & LineErrorBit::Parity) ? 1 : 0;
  const uint8_t fe = (errorWord & LineErrorBit::Framing) ? 1 : 0;
  const uint8_t le = (errorWord & (LineErrorBit::Overrun | LineErrorBit::Break)) ? 1 : 0;
  p.clearDataAndErrors();
  p.errors[d1Side ? ErrPe1 : ErrPe2] = pe;
  p.errors[d1Side ? ErrFe1 : ErrFe2] = fe;
  p.errors[d1Side ? ErrLe1 : ErrLe2] = le;
  (d1Side ? errorsD1_ : errorsD2_) += uint64_t(pe + fe + le);
  if (IsRecordingActive()) RecordComEvent(0);
  // The error is in its record; it must not ride along on the next one.
  p.clearDataAndErrors();
  const int handle = d1Side ? lineHandleB_ : lineHandleA_;
  if (handle) port.SetStatusTrigger(handle, LineDelta::All, true);
}

void PortEventHandler::ComALineError(int errorWord) { onLineError(comA_, errorWord, false); }
void PortEventHandler::ComBLineError(int errorWord) { onLineError(comB_, errorWord, true); }

void PortEventHandler::ArmPortStatusTriggers() {
  auto arm = [](SerialPort& port, int& lineHandle, int& modemHandle) {
    if (!port.isOpen()) return;
    if (!lineHandle) lineHandle = port.AddStatusTrigger(StatusKind::Line);
    if (!modemHandle) modemHandle = port.AddStatusTrigger(StatusKind::Modem);
    port.SetStatusTrigger(lineHandle, LineDelta::All, true);
    port.SetStatusTrigger(modemHandle, ModemDelta::All, true);
  };
  arm(comA_, lineHandleA_, modemHandleA_);
  arm(comB_, lineHandleB_, modemHandleB_);
}

void PortEventHandler::clearStatusTriggers() {
  for (auto [port, handle] : {std::pair{&comA_, &lineHandleA_}, std::pair{&comA_, &modemHandleA_},
                              std::pair{&comB_, &lineHandleB_}, std::pair{&comB_, &modemHandleB_}}) {
    if (*handle) port->RemoveTrigger(*handle);
    *handle = 0;
  }
}
