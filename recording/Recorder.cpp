#include "recording/Recorder.h"

#include "capture/CaptureEngine.h"
#include "capture/LiveViewBuffer.h"
#include "capture/PortEventHandler.h"
#include "capture/Ports.h"
#include "capture/RecordingGate.h"
#include "capture/SerialPort.h"
#include "capture/TriggerControl.h"
#include "recording/RecordFile.h"
#include "recording/RecorderUi.h"
#include "settings/MessageSink.h"

namespace TextNo {
constexpr int SerialError = 2000;
constexpr int FileOperation = 3000, OpenError = 3001, CreateError = 3002, DeleteError = 3003;
constexpr int MonitorMode = 4273, ExamineMode = 4274, ReadingPending = 8167;
}  // namespace TextNo

namespace {
constexpr int kNewFile = 3;
}

using H = RecordFile::Handle;

bool Recorder::fileFailure(int messageText) {
  QString extra = QStringLiteral("\n\n") + p_.file.name();
  if (!p_.file.lastError().isEmpty()) extra += QStringLiteral("\n") + p_.file.lastError();
  VORLOG_REPORT(p_.messages, TextNo::FileOperation, messageText, extra);
  p_.file.CloseRecordFile(H::Recording);
  setRecordOffControls();
  return false;
}

void Recorder::setRecordOnControls() {
  p_.ui.setStatusText(TextNo::MonitorMode);
  p_.ui.setRecordOnControls();
  p_.ui.setLightsMonitoring(true);
}

void Recorder::setRecordOffControls() {
  p_.ui.setStatusText(TextNo::ExamineMode);
  p_.ui.setLightsMonitoring(false);
  p_.ui.setRecordOffControls();
}

void Recorder::btnRecordClick() {
  if (running_) return;
  recDown_ = true;
  p_.ui.setButtons(recDown_, paused_, hold_);
  // A file that cannot be prepared ends the command: no ports opened, nothing written nowhere.
  if (!LoadRecorder() || recordMode_ == Abort) {
    if (recordMode_ == Abort) UnloadRecorder();
    recDown_ = false;
    p_.ui.setButtons(recDown_, paused_, hold_);
  } else if (!paused_) {
    StartRecorder();
  }
  p_.ui.scrollToLast();
}

bool Recorder::LoadRecorder() {
  p_.ui.startBlinkTimer();
  if (p_.file.qualifyName(p_.userPath)) p_.environmentChanged = true;

  loadMode_ = kNewFile;
  if (!p_.file.exists()) {
    if (p_.file.CreateRecordFile(H::Recording) < 0) return fileFailure(TextNo::CreateError);
    p_.handler.ResetComEvent();
    p_.engine.ResetRecordingStatistics();
    setRecordOnControls();
  } else {
    if (p_.file.OpenRecordFile(H::Recording) < 0) return fileFailure(TextNo::OpenError);
    const int64_t size = p_.file.recordingSize();
    // A file without one whole record has nothing to continue from.
    if (size < int64_t(kRecordSize)) recordMode_ = Replace;
    else if (appendDown_) recordMode_ = Append;
    else if (replaceDown_) recordMode_ = Replace;
    loadMode_ = recordMode_;
    if (recordMode_ == Abort) {
      p_.file.CloseRecordFile(H::Recording);
      return true;
    }
    if (recordMode_ == Replace) {
      p_.file.CloseRecordFile(H::View);
      p_.file.CloseRecordFile(H::Recording);
      p_.ui.resetGridColumns();
      if (!p_.file.deleteFile()) return fileFailure(TextNo::DeleteError);
      if (p_.file.CreateRecordFile(H::Recording) < 0) return fileFailure(TextNo::CreateError);
      if (!p_.file.isOpen(H::View) && p_.file.OpenRecordFile(H::View) < 0) return fileFailure(TextNo::OpenError);
      p_.handler.ResetComEvent();
      p_.engine.ResetRecordingStatistics();
    }
    setRecordOnControls();
  }

  p_.liveView.clear();
  if (loadMode_ == Append) {
    if (!prepareAppend()) return fileFailure(TextNo::OpenError);
  } else {
    prepareNewFile();
  }
  p_.handler.clearStatusTriggers();
  p_.triggers.resetCursor();
  p_.ui.startRedrawThread();
  return true;
}

bool Recorder::prepareAppend() {
  RecordFile& f = p_.file;
  if (!f.cutPartialTail()) return false;
  const int64_t size = f.recordingSize();
  p_.engine.InitLineActivity();
  EventRecord first = zeroRecord(), last = zeroRecord();
  if (!f.seekRecording(0) || !f.readRecording(first)) return false;
  p_.engine.RestoreCountersFromRecord(first, CaptureEngine::RestoreFrom::FirstRecord);
  if (!f.seekRecording(size - int64_t(kRecordSize)) || !f.readRecording(last)) return false;
  // Numbers follow the records' places, so the appended mark lands at its own index
  // even in a file whose stored numbers were not written by us.
  last.eventNumber = uint32_t(size / int64_t(kRecordSize) - 1);
  p_.engine.setPreviousRecord(last);
  p_.engine.RestoreCountersFromRecord(last, CaptureEngine::RestoreFrom::LastRecord);
  if (!f.seekRecording(size)) return false;
  p_.engine.setTimeBaseNow();
  p_.ui.clearGrid();
  p_.engine.writeSystemMark(Mark::Appended);
  return true;
}

bool Recorder::prepareNewFile() {
  p_.file.seekRecording(0);
  p_.engine.ResetRecordingStatistics();
  p_.engine.writeSystemMark(Mark::Plain, true);
  p_.engine.writeSystemMark(Mark::UserStart);
  p_.engine.reanchorOnLastRecord();
  return true;
}

bool Recorder::StartRecorder() {
  running_ = true;
  for (SerialPort* port : {&p_.comB, &p_.comA}) {
    if (port->isOpen()) continue;
    QString why;
    if (!port->SetOpen(true, &why)) {
      const PortFailure f = portOpenFailure(port == &p_.comA, *port, why);
      VORLOG_REPORT(p_.messages, TextNo::SerialError, f.message, f.extra);
      running_ = false;
      recDown_ = false;
      // The other port may have opened already; it must not stay open in the examine state.
      p_.comA.SetOpen(false);
      p_.comB.SetOpen(false);
      UnloadRecorder();
      return false;
    }
    port->SetThreadBoost(port == &p_.comA ? 2 : 1);
    port->FlushInBuffer();
  }
  if (!p_.triggers.hasActiveTriggers()) {
    p_.handler.ArmPortStatusTriggers();
    p_.gate.waiting = false;
    p_.gate.recordingSwitch = true;
    p_.engine.InitLineActivity();
  } else {
    p_.triggers.armFirstGroup();
  }
  p_.handler.ReadSignalStates();
  p_.engine.InitLineActivity();
  if (p_.handler.IsRecordingActive()) p_.handler.RecordComEvent(0);
  return true;
}

void Recorder::StopRecorder() {
  p_.ui.setStatusText(TextNo::ReadingPending);
  // What already arrived belongs to the recording: take it before the ports close.
  p_.handler.readRemainingData();
  running_ = false;
  p_.triggers.disarm();
  for (SerialPort* port : {&p_.comA, &p_.comB}) {
    if (!port->isOpen()) continue;
    port->FlushInBuffer();
    port->SetOpen(false);
  }
  p_.triggers.stopTimer();
}

void Recorder::UnloadRecorder() {
  p_.engine.writeSystemMark(Mark::UserStop);  // fails silently when no file is open
  p_.liveView.resetLiveCount();
  p_.file.CloseRecordFile(H::Recording);
  p_.ui.stopRedrawThread();
  p_.gate.clear();
  setRecordOffControls();
  p_.ui.refreshFileLine();
  p_.liveView.clear();
  p_.ui.clearGrid();
  p_.ui.redrawGridFromFile();
}

void Recorder::btnStopClick() {
  recDown_ = false;
  p_.ui.setButtons(recDown_, paused_, hold_);
  if (!paused_) StopRecorder();
  UnloadRecorder();
  if (paused_) btnPauseClick();
  p_.ui.scrollToLast();
}

void Recorder::btnPauseClick() {
  if (!paused_) {
    if (running_) StopRecorder();
    paused_ = true;
  } else {
    paused_ = false;
    if (recDown_) {
      StartRecorder();
      p_.ui.setLightsMonitoring(true);
    }
  }
  p_.ui.setButtons(recDown_, paused_, hold_);
}

void Recorder::btnViewHoldClick() {
  hold_ = !hold_;
  if (hold_) p_.ui.startBlinkTimer();
  p_.ui.setButtons(recDown_, paused_, hold_);
}

// The two buttons form a group in which both may be up; then the last mode holds.
void Recorder::btnRECappendClick() {
  appendDown_ = !appendDown_;
  if (appendDown_) replaceDown_ = false;
}

void Recorder::btnRECreplaceClick() {
  replaceDown_ = !replaceDown_;
  if (replaceDown_) appendDown_ = false;
}
