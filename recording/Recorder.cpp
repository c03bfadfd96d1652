#include "recording/Recorder.h"

#include "capture/CaptureEngine.h"
#include "capture/LiveViewBuffer.h"
#include "capture/PortEventHandler.h"
#include "capture/Ports.h"
#include "capture/RecordingGate.h"
#include "capture/SerialPort.h"
#include "capture/TriggerControl.h"
#include "recording/FreeSpaceGuard.h"
#include "recording/RecordFile.h"
#include "recording/RecorderUi.h"
#include "settings/MessageSink.h"

namespace TextNo {
constexpr int SerialError = 2000;
constexpr int FileOperation = 3000, OpenError = 3001, CreateError = 3002, HeldByRecording = 3005;
constexpr int NotRecordFile = 3006;
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
  p_.file.releaseRecording();
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
  // The file is prepared only after both ports opened: a start that fails leaves it as it was.
  bool started = LoadRecorder() && recordMode_ != Abort;
  if (started && !paused_ && !openPorts()) {
    p_.file.releaseRecording();
    started = false;
  }
  if (started && !prepareRecordFile()) {
    closePorts();
    started = false;
  }
  if (!started) {
    if (recordMode_ == Abort) p_.file.releaseRecording();
    recDown_ = false;
    p_.ui.setButtons(recDown_, paused_, hold_);
  } else {
    // From here until the recorder unloads, the engine holds the triggers.
    p_.triggers.setRecorderLoaded(true);
    portLimitsTold_ = false;
    if (!paused_) StartRecorder();
  }
  p_.ui.scrollToLast();
}

bool Recorder::LoadRecorder() {
  p_.ui.startBlinkTimer();
  if (p_.file.qualifyName(p_.userPath)) p_.environmentChanged = true;

  // Taken and locked before anything else: a second recorder of this file is turned
  // away here, before it changes a byte.
  if (p_.file.acquireRecording() < 0) {
    if (p_.file.lockedByOther()) return fileFailure(TextNo::HeldByRecording);
    return fileFailure(p_.file.exists() ? TextNo::OpenError : TextNo::CreateError);
  }
  const int64_t size = p_.file.recordingSize();
  loadMode_ = kNewFile;
  if (!p_.file.createdByAcquire()) {
    if (size == 0) recordMode_ = Replace;
    else if (appendDown_) recordMode_ = Append;
    else if (replaceDown_) recordMode_ = Replace;
    loadMode_ = recordMode_;
  }
  if (loadMode_ == Append && !checkAppendable()) {
    p_.file.releaseRecording();
    return fileFailure(TextNo::NotRecordFile);
  }
  return true;
}

bool Recorder::checkAppendable() {
  const int64_t whole = p_.file.readEnds(appendFirst_, appendLast_);
  return whole > 0 && isContinuableRecording(appendFirst_, appendLast_, whole - 1);
}

bool Recorder::prepareRecordFile() {
  if (loadMode_ == Abort) return false;
  if (loadMode_ == Replace) {
    p_.file.CloseRecordFile(H::View);
    p_.ui.resetGridColumns();
    if (!p_.file.truncateRecording()) return fileFailure(TextNo::CreateError);
    if (p_.file.OpenRecordFile(H::View) < 0) return fileFailure(TextNo::OpenError);
  }
  if (loadMode_ != Append) {
    p_.handler.ResetComEvent();
    p_.engine.ResetRecordingStatistics();
  }
  setRecordOnControls();
  p_.liveView.clear();
  if (loadMode_ == Append) {
    if (!prepareAppend()) return fileFailure(TextNo::OpenError);
  } else {
    prepareNewFile();
  }
  p_.handler.clearStatusTriggers();
  p_.triggers.resetCursor();
  p_.ui.startRedrawThread();
  if (freeSpace_) freeSpace_->start(p_.file.name());
  return true;
}

bool Recorder::prepareAppend() {
  RecordFile& f = p_.file;
  // The ends were read by the check; cutting a partial tail leaves the whole records as they are.
  if (!f.cutPartialTail()) return false;
  p_.engine.InitLineActivity();
  p_.engine.RestoreCountersFromRecord(appendFirst_, CaptureEngine::RestoreFrom::FirstRecord);
  p_.engine.setPreviousRecord(appendLast_);
  p_.engine.RestoreCountersFromRecord(appendLast_, CaptureEngine::RestoreFrom::LastRecord);
  if (!f.seekRecording(f.recordingSize())) return false;
  p_.engine.setTimeBaseNow();
  // The line load of this run counts its own bytes over its own time.
  p_.engine.startLoadAveraging();
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

bool Recorder::openPorts() {
  for (SerialPort* port : {&p_.comB, &p_.comA}) {
    if (port->isOpen()) continue;
    QString why;
    if (!port->SetOpen(true, &why)) {
      const PortFailure f = portOpenFailure(port == &p_.comA, *port, why);
      VORLOG_REPORT(p_.messages, TextNo::SerialError, f.message, f.extra);
      // The other port may have opened already; it must not stay open in the examine state.
      closePorts();
      return false;
    }
    port->SetThreadBoost(port == &p_.comA ? 2 : 1);
    port->FlushInBuffer();
  }
  return true;
}

// A USB adapter's driver may not wait for modem-line changes, keep no error counters or
// hold bytes back for its latency timer: the user learns it before trusting the record.
void Recorder::tellPortLimits() {
  QStringList lines;
  for (SerialPort* port : {&p_.comA, &p_.comB}) {
    const QString name = QStringLiteral("COM%1 (%2)").arg(QString::number(port->comNumber()), port->devicePath());
    lines << recordingNoteTexts(port->capabilities(), name);
  }
  if (!lines.isEmpty()) p_.ui.showPortNotes(lines);
}

void Recorder::closePorts() {
  p_.comA.SetOpen(false);
  p_.comB.SetOpen(false);
}

bool Recorder::StartRecorder() {
  running_ = true;
  if (!openPorts()) {
    running_ = false;
    recDown_ = false;
    UnloadRecorder();
    return false;
  }
  if (!portLimitsTold_) {
    portLimitsTold_ = true;
    tellPortLimits();
  }
  // Handshake changes are recorded whatever triggers take part; the gate alone decides.
  p_.handler.ArmPortStatusTriggers();
  const bool resuming = resumePending_;
  resumePending_ = false;
  const bool controlled = resuming ? p_.triggers.resumeSequence() : p_.triggers.StartTriggerSequence();
  if (!controlled) {
    p_.gate.waiting = false;
    p_.gate.recordingSwitch = true;
  }
  p_.handler.ReadSignalStates();
  p_.engine.InitLineActivity();
  if (p_.handler.IsRecordingActive()) p_.handler.RecordComEvent(0);
  return true;
}

void Recorder::StopRecorder(bool pausing) {
  p_.ui.setStatusText(TextNo::ReadingPending);
  // What already arrived belongs to the recording: take it before the ports close.
  p_.handler.readRemainingData();
  // Called from inside a notification the batch is still open: the records go out now.
  p_.engine.flushRecords();
  running_ = false;
  // A pause keeps the armed group, to arm it again on resume.
  if (pausing) p_.triggers.pauseSequence();
  else p_.triggers.DisarmAllTriggers();
  for (SerialPort* port : {&p_.comA, &p_.comB}) {
    if (!port->isOpen()) continue;
    port->FlushInBuffer();
    port->SetOpen(false);
  }
}

void Recorder::UnloadRecorder() {
  if (freeSpace_) freeSpace_->stop();
  p_.triggers.DisarmAllTriggers();  // also what a pause kept armed
  p_.engine.writeSystemMark(Mark::UserStop);  // fails silently when no file is open
  p_.engine.flushRecords();  // everything in the file before it closes
  p_.liveView.resetLiveCount();
  p_.file.CloseRecordFile(H::Recording);
  p_.ui.stopRedrawThread();
  p_.gate.clear();
  p_.triggers.setRecorderLoaded(false);
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
    if (running_) StopRecorder(true);
    paused_ = true;
  } else {
    paused_ = false;
    if (recDown_) {
      resumePending_ = true;
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
