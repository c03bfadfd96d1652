#pragma once
#include <QString>

#include "capture/EventRecord.h"

class CaptureEngine;
class FreeSpaceGuard;
class LiveViewBuffer;
class MessageSink;
class PortEventHandler;
class RecordFile;
class RecorderUi;
class SerialPort;
class TriggerControl;
struct RecordingGate;

// Everything the recorder works on, owned elsewhere.
struct RecorderParts {
  CaptureEngine& engine;
  LiveViewBuffer& liveView;
  PortEventHandler& handler;
  SerialPort& comA;
  SerialPort& comB;
  RecordFile& file;
  RecordingGate& gate;
  TriggerControl& triggers;
  MessageSink& messages;
  RecorderUi& ui;
  bool& environmentChanged;
  QString userPath;
};

// The record, stop, pause and hold logic: new file, replace or append, system marks,
// opening and closing the ports.
class Recorder {
 public:
  enum RecordMode { Abort = 0, Append = 1, Replace = 2 };

  explicit Recorder(RecorderParts parts) : p_(parts) {}
  // Watches the disk while a recording is loaded; none: no watch.
  void setFreeSpaceGuard(FreeSpaceGuard* guard) { freeSpace_ = guard; }

  // User commands.
  void btnRecordClick();
  void btnStopClick();
  void btnPauseClick();
  void btnViewHoldClick();
  void btnRECappendClick();
  void btnRECreplaceClick();
  // False while recording: the program cannot close then.
  bool canClose() const { return !running_; }

  // Takes and locks the record file and decides new, replace or append; changes nothing in it.
  bool LoadRecorder();
  // Writes what starts the recording into the file taken by LoadRecorder: empties a
  // replaced file, checks and continues an appended one, sets the system marks.
  bool prepareRecordFile();
  bool StartRecorder();
  // Pausing keeps the armed trigger group for the resume.
  void StopRecorder(bool pausing = false);
  void UnloadRecorder();

  bool running() const { return running_; }
  bool paused() const { return paused_; }
  bool hold() const { return hold_; }
  bool recordDown() const { return recDown_; }
  bool appendDown() const { return appendDown_; }
  bool replaceDown() const { return replaceDown_; }
  int recordMode() const { return recordMode_; }
  void setRecordMode(int mode) { recordMode_ = mode; }
  void setHold(bool on) { hold_ = on; }

 private:
  bool fileFailure(int messageText);
  bool checkAppendable();
  bool openPorts();
  void closePorts();
  void tellPortLimits();
  bool prepareAppend();
  bool prepareNewFile();
  void setRecordOnControls();
  void setRecordOffControls();

  RecorderParts p_;
  FreeSpaceGuard* freeSpace_ = nullptr;
  bool running_ = false;
  bool paused_ = false;
  bool hold_ = false;
  bool recDown_ = false;
  bool appendDown_ = true;
  bool replaceDown_ = false;
  int recordMode_ = Append;
  int loadMode_ = 3;
  bool resumePending_ = false;  // the next start resumes a paused recording
  bool portLimitsTold_ = false;  // a resume does not tell them again
  EventRecord appendFirst_{}, appendLast_{};  // the ends of a file to be appended to, as checked
};
